#include "platform/ui/TextViewLayout.h"

#include <cstring>
#include <limits>

#include "platform/foundation/Text.h"
#include "platform/text/Typesetter.h"

namespace ql::ui {

void TextViewLayout::reset(std::string_view text, const ct::Font& font, double width, ct::TextAlignment alignment) {
    style_ = ct::TextStyle{font, std::nullopt};
    width_ = width > 0 ? width : std::numeric_limits<double>::infinity();
    alignment_ = alignment;
    paragraphs_ = split(text);
}

std::vector<TextViewLayout::Paragraph> TextViewLayout::split(std::string_view text) {
    std::vector<Paragraph> paragraphs;
    for (std::size_t start = 0; start < text.size();) {
        const void* feed = std::memchr(text.data() + start, '\n', text.size() - start);
        const std::size_t end = feed ? static_cast<std::size_t>(static_cast<const char*>(feed) - text.data()) + 1 : text.size();
        Paragraph paragraph;
        paragraph.bytes = end - start;
        paragraph.units = ns::utf16Length(text.substr(start, paragraph.bytes));
        paragraph.endsWithLineFeed = feed != nullptr;
        paragraphs.push_back(std::move(paragraph));
        start = end;
    }
    return paragraphs;
}

void TextViewLayout::textDidReplace(std::string_view text, ns::Range replaced) {
    if (!style_) return;
    std::uint64_t units = 0;
    std::size_t bytes = 0;
    for (const Paragraph& paragraph : paragraphs_) {
        units += paragraph.units;
        bytes += paragraph.bytes;
    }
    if (replaced.location > units || replaced.length > units - replaced.location) {
        paragraphs_ = split(text);
        return;
    }
    // The paragraphs from the one that holds the change's start to the one that holds the unit after its
    // end are made again from the new text; the text around them is the same, only shifted.
    const std::uint64_t end = replaced.end();
    std::size_t first = paragraphs_.size();
    std::size_t last = paragraphs_.size();
    std::size_t regionStart = bytes;
    std::size_t regionEnd = bytes;
    std::uint64_t at = 0;
    std::size_t byte = 0;
    for (std::size_t index = 0; index < paragraphs_.size(); ++index) {
        const Paragraph& paragraph = paragraphs_[index];
        // A change at the very end belongs to a last paragraph without a line feed, which it lengthens.
        const bool holdsStart = replaced.location < at + paragraph.units ||
                                (index + 1 == paragraphs_.size() && !paragraph.endsWithLineFeed && replaced.location == units);
        if (first == paragraphs_.size() && holdsStart) {
            first = index;
            regionStart = byte;
        }
        at += paragraph.units;
        byte += paragraph.bytes;
        if (first != paragraphs_.size() && end < at) {
            last = index;
            regionEnd = byte;
            break;
        }
    }
    if (first == paragraphs_.size()) last = first;  // an addition after a final line feed
    else if (last == paragraphs_.size()) last = paragraphs_.size() - 1;  // the change runs to the end
    const std::size_t newRegionEnd = regionEnd + text.size() - bytes;
    std::vector<Paragraph> made = split(text.substr(regionStart, newRegionEnd - regionStart));
    const auto from = paragraphs_.begin() + static_cast<std::ptrdiff_t>(first);
    const auto to = first == paragraphs_.size() ? from : paragraphs_.begin() + static_cast<std::ptrdiff_t>(last) + 1;
    paragraphs_.insert(paragraphs_.erase(from, to), std::make_move_iterator(made.begin()), std::make_move_iterator(made.end()));
}

const ct::TextLayout& TextViewLayout::laidOut(std::string_view text, Paragraph& paragraph, std::size_t start) {
    if (!paragraph.layout) {
        const ct::Typesetter typesetter(ct::StyledText(text.substr(start, paragraph.bytes), *style_));
        ct::LayoutBox box;
        box.width = width_;
        paragraph.layout = std::make_shared<const ct::TextLayout>(
            typesetter, ct::ParagraphStyle{alignment_, ct::LineBreakMode::WordWrapping}, box);
    }
    return *paragraph.layout;
}

template <class Visit>
void TextViewLayout::walk(std::string_view text, Visit&& visit) {
    double top = 0;
    std::uint64_t at = 0;
    std::size_t start = 0;
    for (std::size_t index = 0; index < paragraphs_.size(); ++index) {
        Paragraph& paragraph = paragraphs_[index];
        const ct::TextLayout& layout = laidOut(text, paragraph, start);
        double bottom = top;
        for (const auto& placed : layout.lines()) bottom += placed.line.height();
        if (visit(Placed{paragraph, layout, top, bottom, at, index + 1 == paragraphs_.size()})) return;
        top = bottom;
        at += paragraph.units;
        start += paragraph.bytes;
    }
}

double TextViewLayout::height(std::string_view text) {
    double height = 0;
    walk(text, [&](const Placed& placed) {
        height = placed.bottom;
        return false;
    });
    return height;
}

std::optional<cg::Rect> TextViewLayout::caretRect(std::string_view text, std::uint64_t position) {
    std::optional<cg::Rect> caret;
    walk(text, [&](const Placed& placed) {
        if (position >= placed.at + placed.paragraph.units && !placed.last) return false;
        const auto& lines = placed.layout.lines();
        if (lines.empty()) return true;
        const std::uint64_t local = position - placed.at;
        const std::size_t line = placed.layout.lineIndexForStringIndex(local);
        double y = placed.top;
        for (std::size_t before = 0; before < line; ++before) y += lines[before].line.height();
        const double height = lines[line].line.height();
        if (placed.last && local >= placed.paragraph.units && placed.paragraph.endsWithLineFeed)
            caret = cg::Rect{0, y + height, 2, height};
        else
            caret = cg::Rect{lines[line].caretOffset(local), y, 2, height};
        return true;
    });
    return caret;
}

std::uint64_t TextViewLayout::positionAt(std::string_view text, cg::Point point) {
    std::uint64_t position = 0;
    walk(text, [&](const Placed& placed) {
        // Below a final line feed lies the empty line after it.
        if (placed.last && placed.paragraph.endsWithLineFeed && point.y >= placed.bottom) {
            position = placed.at + placed.paragraph.units;
            return true;
        }
        if (point.y >= placed.bottom && !placed.last) return false;
        const auto& lines = placed.layout.lines();
        position = placed.at;
        if (!lines.empty()) position += lines[placed.layout.lineIndexAtHeight(point.y - placed.top)].stringIndexAt(point.x);
        return true;
    });
    return position;
}

void TextViewLayout::draw(std::string_view text, cg::Context& context, cg::Point origin, const cg::Rect& area) {
    double y = 0;
    std::size_t start = 0;
    for (Paragraph& paragraph : paragraphs_) {
        if (y > cg::maxY(area)) break;
        const ct::TextLayout& layout = laidOut(text, paragraph, start);
        double bottom = y;
        for (const auto& placed : layout.lines()) bottom += placed.line.height();
        if (bottom >= cg::minY(area)) layout.draw(context, {origin.x, origin.y + y});
        y = bottom;
        start += paragraph.bytes;
    }
}

}  // namespace ql::ui
