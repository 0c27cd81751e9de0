#include "platform/ui/StringDrawing.h"

#include <cmath>
#include <limits>
#include <optional>

#include "platform/text/TextLayout.h"
#include "platform/ui/Color.h"
#include "platform/ui/Font.h"
#include "platform/ui/GraphicsContext.h"

namespace ql::ui {

namespace {

constexpr double NoLimit = std::numeric_limits<double>::infinity();

double limit(double side) { return side > 0 ? side : NoLimit; }

cg::Size roundedUp(cg::Size size) { return {std::ceil(size.width), std::ceil(size.height)}; }

ct::LineBreakMode textLayoutMode(LineBreakMode mode) {
    auto value = static_cast<std::int64_t>(mode);
    // The two enumerations share their values; anything else wraps by words.
    if (value < 0 || value > static_cast<std::int64_t>(ct::LineBreakMode::TruncatingMiddle))
        return ct::LineBreakMode::WordWrapping;
    return static_cast<ct::LineBreakMode>(value);
}

// Text drawn with a font alone takes the context's fill colour.
ct::TextStyle fontStyle(const Font& font) { return {font.ctFont(), std::nullopt}; }

ct::TextStyle attributeStyle(const ns::Dictionary& attributes) {
    auto font = attributes[FontAttributeName].asObject<Font>();
    auto color = attributes[ForegroundColorAttributeName].asObject<Color>();
    return {font ? font->ctFont() : ct::Font::withName("Helvetica", 12), color ? color->CGColor() : cg::Color::gray(0)};
}

ct::LayoutBox boxForOptions(cg::Size size, unsigned options) {
    ct::LayoutBox box;
    box.usesFontLeading = options & StringDrawingUsesFontLeading;
    box.truncatesLastVisibleLine = options & StringDrawingTruncatesLastVisibleLine;
    if (options & StringDrawingUsesLineFragmentOrigin) {
        box.width = limit(size.width);
        box.height = limit(size.height);
    } else {
        box.maximumNumberOfLines = 1;
        if (box.truncatesLastVisibleLine) box.width = limit(size.width);
    }
    return box;
}

ct::TextLayout layOut(std::string_view text, const ct::TextStyle& style, const ct::ParagraphStyle& paragraph,
                      const ct::LayoutBox& box) {
    return ct::TextLayout(ct::Typesetter(ct::StyledText(text, style)), paragraph, box);
}

// Where the box's top left goes so that the first baseline starts at `baseline`.
cg::Point topLeftForBaseline(const ct::TextLayout& layout, cg::Point baseline) {
    if (layout.lines().empty()) return baseline;
    return {baseline.x, baseline.y - layout.lines().front().origin.y};
}

void draw(const ct::TextLayout& layout, cg::Point topLeft) {
    if (cg::Context* context = GraphicsGetCurrentContext()) layout.draw(*context, topLeft);
}

}  // namespace

ct::TextAlignment textLayoutAlignment(TextAlignment alignment) {
    switch (alignment) {
    case TextAlignment::Center: return ct::TextAlignment::Center;
    case TextAlignment::Right: return ct::TextAlignment::Right;
    case TextAlignment::Justified: return ct::TextAlignment::Justified;
    case TextAlignment::Natural: return ct::TextAlignment::Natural;
    case TextAlignment::Left: break;
    }
    return ct::TextAlignment::Left;
}

ct::TextLayout layoutWithFont(std::string_view text, const Font& font, cg::Size size, LineBreakMode lineBreakMode,
                              TextAlignment alignment, std::uint64_t maximumNumberOfLines) {
    ct::ParagraphStyle paragraph{textLayoutAlignment(alignment), textLayoutMode(lineBreakMode)};
    ct::LayoutBox box{limit(size.width), limit(size.height), maximumNumberOfLines};
    return layOut(text, fontStyle(font), paragraph, box);
}

cg::Size sizeWithFont(std::string_view text, const Font& font) {
    return roundedUp(layOut(text, fontStyle(font), {}, {}).size());
}

cg::Size sizeWithFont(std::string_view text, const Font& font, cg::Size size, LineBreakMode lineBreakMode) {
    return roundedUp(layoutWithFont(text, font, size, lineBreakMode, TextAlignment::Left).size());
}

cg::Size sizeWithAttributes(std::string_view text, const ns::Dictionary& attributes) {
    return layOut(text, attributeStyle(attributes), {}, {}).size();
}

cg::Rect boundingRectWithSize(std::string_view text, cg::Size size, unsigned options,
                              const ns::Dictionary& attributes) {
    ct::TextLayout layout = layOut(text, attributeStyle(attributes), {}, boxForOptions(size, options));
    if (options & StringDrawingUsesLineFragmentOrigin) return {{0, 0}, layout.size()};
    cg::Point topLeft = topLeftForBaseline(layout, {0, 0});
    return {topLeft, layout.size()};
}

cg::Size drawAtPoint(std::string_view text, cg::Point point, const Font& font) {
    ct::TextLayout layout = layOut(text, fontStyle(font), {}, {});
    draw(layout, point);
    return roundedUp(layout.size());
}

cg::Size drawInRect(std::string_view text, const cg::Rect& rect, const Font& font, LineBreakMode lineBreakMode,
                    TextAlignment alignment) {
    ct::TextLayout layout = layoutWithFont(text, font, rect.size, lineBreakMode, alignment);
    draw(layout, rect.origin);
    return roundedUp(layout.size());
}

void drawAtPoint(std::string_view text, cg::Point point, const ns::Dictionary& attributes) {
    draw(layOut(text, attributeStyle(attributes), {}, {}), point);
}

void drawInRect(std::string_view text, const cg::Rect& rect, const ns::Dictionary& attributes) {
    drawWithRect(text, rect, StringDrawingUsesLineFragmentOrigin, attributes);
}

void drawWithRect(std::string_view text, const cg::Rect& rect, unsigned options, const ns::Dictionary& attributes) {
    ct::TextLayout layout = layOut(text, attributeStyle(attributes), {}, boxForOptions(rect.size, options));
    draw(layout, options & StringDrawingUsesLineFragmentOrigin ? rect.origin : topLeftForBaseline(layout, rect.origin));
}

}  // namespace ql::ui
