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

double TextViewLayout::height(std::string_view text) {
    double y = 0;
    std::size_t start = 0;
    for (Paragraph& paragraph : paragraphs_) {
        for (const auto& placed : laidOut(text, paragraph, start).lines()) y += placed.line.height();
        start += paragraph.bytes;
    }
    return y;
}

std::optional<cg::Rect> TextViewLayout::caretRect(std::string_view text, std::uint64_t position) {
    double y = 0;
    std::uint64_t at = 0;
    std::size_t start = 0;
    for (std::size_t index = 0; index < paragraphs_.size(); ++index) {
        Paragraph& paragraph = paragraphs_[index];
        const ct::TextLayout& layout = laidOut(text, paragraph, start);
        const bool last = index + 1 == paragraphs_.size();
        if (position >= at + paragraph.units && !last) {
            for (const auto& placed : layout.lines()) y += placed.line.height();
            at += paragraph.units;
            start += paragraph.bytes;
            continue;
        }
        const auto& lines = layout.lines();
        if (lines.empty()) return std::nullopt;
        const std::uint64_t local = position - at;
        const std::size_t line = layout.lineIndexForStringIndex(local);
        for (std::size_t before = 0; before < line; ++before) y += lines[before].line.height();
        const auto& placed = lines[line];
        const double height = placed.line.height();
        if (last && local >= paragraph.units && paragraph.endsWithLineFeed) return cg::Rect{0, y + height, 2, height};
        return cg::Rect{placed.caretOffset(local), y, 2, height};
    }
    return std::nullopt;
}

std::uint64_t TextViewLayout::positionAt(std::string_view text, cg::Point point) {
    double y = 0;
    std::uint64_t at = 0;
    std::size_t start = 0;
    for (std::size_t index = 0; index < paragraphs_.size(); ++index) {
        Paragraph& paragraph = paragraphs_[index];
        const ct::TextLayout& layout = laidOut(text, paragraph, start);
        double bottom = y;
        for (const auto& placed : layout.lines()) bottom += placed.line.height();
        const bool last = index + 1 == paragraphs_.size();
        // Below a final line feed lies the empty line after it.
        if (last && paragraph.endsWithLineFeed && point.y >= bottom) return at + paragraph.units;
        if (point.y < bottom || last) {
            const auto& lines = layout.lines();
            if (lines.empty()) return at;
            return at + lines[layout.lineIndexAtHeight(point.y - y)].stringIndexAt(point.x);
        }
        y = bottom;
        at += paragraph.units;
        start += paragraph.bytes;
    }
    return at;
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
