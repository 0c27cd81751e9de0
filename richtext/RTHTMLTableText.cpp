#include "richtext/RTHTMLTableText.h"

#include "platform/foundation/Text.h"

namespace ql {

void RTHTMLTableText::begin(std::size_t at) {
    moving_ = true;
    start_ = elements_.moveStart();
    edits_.divert(elements_.tablePlace(), at);
}

void RTHTMLTableText::end(std::size_t at) {
    written_.clear();
    for (auto name = open_.rbegin(); name != open_.rend(); ++name) RTHTMLAppendEndTag(written_, *name);
    edits_.insert(at, written_);
    open_.clear();
    elements_.endMove(start_, at);
    edits_.resume(at);
    moving_ = false;
}

void RTHTMLTableText::startTag(std::uint8_t tag, std::string_view name, RTHTMLOpenElements::StartTagTraits traits,
                               std::size_t from, bool opensElement, bool html, bool inForeignElement) {
    if (moving_ && traits.endsTableText && html) {
        end(from);
        return;
    }
    if (!moving_) {
        if (traits.staysInTable || inForeignElement || !elements_.inTableBody()) return;
        begin(from);
    }
    if (opensElement && !RTHTMLOpenElements::isFormattingTag(tag)) open_.push_back(name);
}

bool RTHTMLTableText::endTag(std::uint8_t tag, std::string_view name, RTHTMLOpenElements::StartTagTraits traits,
                             std::size_t from) {
    if (traits.endsTableText) {
        // A table's end tag ends what was moved, as does that of a row or row group open in it; a browser ignores
        // the others there (a cell's, a caption's, a column group's).
        if (!elements_.endTagReaches(tag)) return false;
        end(from);
        return true;
    }
    for (std::size_t at = open_.size(); at-- > 0;) {
        if (ns::equalsIgnoringASCIICase(open_[at], name)) {
            open_.resize(at);
            return true;
        }
    }
    // "</p>" with no p open makes an empty paragraph, moved with the rest, as in a browser.
    return traits.isParagraph || (RTHTMLOpenElements::isFormattingTag(tag) && elements_.openSince(start_, tag));
}

}  // namespace ql
