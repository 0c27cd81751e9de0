#include "platform/ui/AttributedStringDrawing.h"

#include <cmath>
#include <limits>

#include "platform/text/TextLayout.h"
#include "platform/text/Typesetter.h"
#include "platform/ui/Color.h"
#include "platform/ui/Font.h"
#include "platform/ui/GraphicsContext.h"
#include "platform/ui/TextTypes.h"

namespace ql::ui {

namespace {

ct::TextLayout layOut(const ct::AttributedString& text, double width, const Font& defaultFont,
                      const std::shared_ptr<Color>& defaultColor) {
    ct::LayoutBox box;
    if (width > 0) box.width = width;
    return ct::TextLayout(ct::Typesetter(styledText(text, defaultFont, defaultColor)), ct::ParagraphStyle{}, box);
}

}  // namespace

ct::StyledText styledText(const ct::AttributedString& text, const Font& defaultFont,
                          const std::shared_ptr<Color>& defaultColor) {
    const auto styleOf = [&](const ns::Dictionary& attributes) {
        auto font = attributes[FontAttributeName].asObject<Font>();
        auto color = attributes[ForegroundColorAttributeName].asObject<Color>();
        if (!color) color = defaultColor;
        return ct::TextStyle{font ? font->ctFont() : defaultFont.ctFont(),
                             color ? std::optional(color->CGColor()) : std::nullopt};
    };
    std::vector<ct::StyleRun> runs;
    text.enumerateAttributes({0, text.length()}, [&](const ns::Dictionary& attributes, ns::Range range, bool&) {
        runs.push_back({range, styleOf(attributes)});
    });
    if (runs.empty()) runs.push_back({{0, 0}, styleOf({})});
    return ct::StyledText(text.u16string(), std::move(runs));
}

cg::Size sizeOfAttributedString(const ct::AttributedString& text, double width, const Font& defaultFont) {
    const cg::Size size = layOut(text, width, defaultFont, nullptr).size();
    return {std::ceil(size.width), std::ceil(size.height)};
}

void drawAttributedStringInRect(const ct::AttributedString& text, const cg::Rect& rect, const Font& defaultFont,
                                const std::shared_ptr<Color>& defaultColor) {
    if (cg::Context* context = GraphicsGetCurrentContext())
        layOut(text, rect.size.width, defaultFont, defaultColor).draw(*context, rect.origin);
}

}  // namespace ql::ui
