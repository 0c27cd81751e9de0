#pragma once
// What the link label's tests share: fonts, attributed text in the label's attribute values, and the
// label's pixels.

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "platform/graphics/BitmapContext.h"
#include "platform/text/AttributeNames.h"
#include "platform/text/AttributedString.h"
#include "platform/ui/Color.h"
#include "platform/ui/Font.h"
#include "platform/ui/GraphicsContext.h"
#include "web/label/AttributedLabel.h"

namespace ql::test {

inline std::shared_ptr<ui::Font> helvetica(double size) { return ui::Font::fontWithName("Helvetica", size); }

inline ns::Dictionary textAttributes(const std::shared_ptr<ui::Font>& font,
                                     const std::shared_ptr<ui::Color>& color = ui::Color::blackColor()) {
    ns::Dictionary attributes;
    attributes[ct::FontAttributeName] = ns::Value(font);
    attributes[ct::ForegroundColorAttributeName] = ns::Value(color);
    return attributes;
}

inline ct::AttributedString attributed(std::string_view text, const std::shared_ptr<ui::Font>& font = helvetica(17)) {
    return ct::AttributedString(text, textAttributes(font));
}

// The label drawn alone on white, at one pixel per point unless asked.
inline std::shared_ptr<const cg::Image> drawLabel(AttributedLabel& label, double scale = 1) {
    const cg::Size size = label.bounds().size;
    auto context = cg::BitmapContext::createForImage(size, true, scale);
    context->setFillColor(cg::Color::gray(1));
    context->fillRect({{0, 0}, size});
    context->setFillColor(cg::Color::gray(0));
    ui::GraphicsPushContext(*context);
    label.drawTextInRect(label.bounds());
    ui::GraphicsPopContext();
    return context->makeImage();
}

// Pixels in the area whose colour is near `target` (every channel within `tolerance`).
inline int pixelsNear(const cg::Image& image, const cg::Rect& area, cg::RGBA target, int tolerance = 60) {
    int count = 0;
    for (int y = static_cast<int>(area.origin.y); y < static_cast<int>(area.origin.y + area.size.height); ++y) {
        for (int x = static_cast<int>(area.origin.x); x < static_cast<int>(area.origin.x + area.size.width); ++x) {
            const auto p = image.pixel(x, y);
            auto near = [&](int channel, double wanted) { return std::abs(channel - static_cast<int>(wanted * 255)) <= tolerance; };
            if (near(p.r, target.r) && near(p.g, target.g) && near(p.b, target.b)) ++count;
        }
    }
    return count;
}

// The rows (top to bottom) and columns (left to right) holding pixels darker than mid-grey.
struct InkBounds {
    int top = -1, bottom = -1, left = -1, right = -1;
    bool empty() const { return top < 0; }
};

inline InkBounds inkBounds(const cg::Image& image) {
    InkBounds ink;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const auto p = image.pixel(x, y);
            if (p.r + p.g + p.b > 3 * 128) continue;
            if (ink.top < 0) ink.top = y;
            ink.bottom = y;
            if (ink.left < 0 || x < ink.left) ink.left = x;
            ink.right = std::max(ink.right, x);
        }
    }
    return ink;
}

}  // namespace ql::test
