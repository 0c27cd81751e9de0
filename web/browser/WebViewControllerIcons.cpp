#include "web/browser/WebViewControllerIcons.h"

#include <cmath>
#include <functional>
#include <numbers>

#include "platform/foundation/FoundationVersion.h"
#include "platform/ui/BezierPath.h"
#include "platform/ui/Device.h"
#include "platform/ui/GraphicsContext.h"
#include "web/browser/GlyphPath.h"

namespace ql {

namespace {

constexpr float kLightSaturationBelow = 0.3f;
constexpr float kLightBrightnessAbove = 0.85f;

bool isPad() { return ui::Device::currentDevice().userInterfaceIdiom() == ui::UserInterfaceIdiom::Pad; }

// Builds the glyph and fills it in the look: flat black, or the attributes' colour with its bevel.
std::shared_ptr<ui::Image> drawGlyph(const ns::Dictionary& attributes, WebViewControllerIconLook look, cg::Size canvas,
                                     const std::function<void(ui::BezierPath&)>& build) {
    ui::BezierPath path;
    build(path);
    if (look == WebViewControllerIconLook::Flat) return glyphImage(canvas, path);
    return glyphImage(canvas, path, [&attributes] {
        const auto fill = fillColorFromAttributes(attributes);
        fill->setFill();
        drawBevelFromFillColor(*fill, bevelOpacityFromAttributes(attributes));
    });
}

void backChevron(ui::BezierPath& path, bool mirrored) {
    const double width = 12;
    const auto x = [&](double value) { return mirrored ? width - value : value; };
    addPolygon(path, {{x(10.9), 0}, {x(12), 1.1}, {x(2.59), 10.51}, {x(11.98), 19.9}, {x(10.88), 21}, {x(0.41), 10.5}});
}

// Three quarters of a ring, from 3 o'clock clockwise through the bottom and the left to 12 o'clock.
void threeQuarterRing(ui::BezierPath& path, cg::Point centre, double outer, double inner) {
    path.moveToPoint({centre.x + outer, centre.y});
    path.addArcWithCenter(centre, outer, 0, 1.5 * std::numbers::pi, true);
    path.addLineToPoint({centre.x, centre.y - inner});
    path.addArcWithCenter(centre, inner, 1.5 * std::numbers::pi, 0, false);
    path.closePath();
}

// A bar from one corner of a square canvas to the opposite one, ends cut square at the canvas edges.
void cornerBar(ui::BezierPath& path, double side, double thickness, bool rising) {
    const double h = thickness / 2 / std::numbers::sqrt2;
    const auto at = [&](double x, double y) { return rising ? cg::Point{x, side - y} : cg::Point{x, y}; };
    addPolygon(path, {at(2 * h, 0), at(side, side - 2 * h), at(side - 2 * h, side), at(0, 2 * h)});
}

// A bar with round ends, centred on `centre`, turned by `angle`.
void roundedBar(ui::BezierPath& path, cg::Point centre, double length, double thickness, double angle) {
    auto bar = ui::BezierPath::bezierPathWithRoundedRect(
        {centre.x - length / 2, centre.y - thickness / 2, length, thickness}, thickness / 2);
    const cg::AffineTransform turn =
        cg::concat(cg::concat(cg::AffineTransform::makeTranslation(-centre.x, -centre.y),
                              cg::AffineTransform::makeRotation(angle)),
                   cg::AffineTransform::makeTranslation(centre.x, centre.y));
    bar->applyTransform(turn);
    path.appendPath(*bar);
}

}  // namespace

WebViewControllerIconLook WebViewControllerIconLookOfPlatform() {
    return ns::FoundationVersionNumber > ns::FoundationVersionNumberBeforeFlatLook ? WebViewControllerIconLook::Flat
                                                                                   : WebViewControllerIconLook::Embossed;
}

std::shared_ptr<ui::Color> fillColorFromAttributes(const ns::Dictionary& attributes) {
    if (const ns::Value* value = attributes.find(WebViewControllerButtonFillColor)) {
        if (auto color = value->asObject<ui::Color>()) return color;
    }
    if (isPad()) return ui::Color::colorWithRed(0.35f, 0.35f, 0.35f, 1);
    return ui::Color::colorWithWhite(1, 1);
}

double bevelOpacityFromAttributes(const ns::Dictionary& attributes) {
    if (const ns::Value* value = attributes.find(WebViewControllerButtonBevelOpacity); value && value->isNumber()) {
        return static_cast<float>(value->doubleValue());
    }
    return isPad() ? 0.9 : 0.5;
}

void drawBevelFromFillColor(const ui::Color& fillColor, double opacity) {
    cg::Context* context = ui::GraphicsGetCurrentContext();
    if (!context) return;
    double hue = 0, saturation = 0, brightness = 0, alpha = 0;
    fillColor.getHue(&hue, &saturation, &brightness, &alpha);
    const bool light = saturation < kLightSaturationBelow && brightness > kLightBrightnessAbove;
    if (light) {
        context->setShadowWithColor({0, -1}, 0, cg::Color::rgb(0, 0, 0, opacity));
        context->translateCTM(0, 1);
    } else {
        context->setShadowWithColor({0, 1}, 0, cg::Color::rgb(1, 1, 1, opacity));
    }
}

std::shared_ptr<ui::Image> WebViewControllerIcon_backButtonWithAttributes(const ns::Dictionary& attributes,
                                                                       WebViewControllerIconLook look) {
    if (look == WebViewControllerIconLook::Flat) {
        return drawGlyph(attributes, look, {12, 21}, [](ui::BezierPath& path) { backChevron(path, false); });
    }
    return drawGlyph(attributes, look, {15, 18},
                     [](ui::BezierPath& path) { addPolygon(path, {{15, 0}, {15, 17}, {0, 8.5}}); });
}

std::shared_ptr<ui::Image> WebViewControllerIcon_forwardButtonWithAttributes(const ns::Dictionary& attributes,
                                                                          WebViewControllerIconLook look) {
    if (look == WebViewControllerIconLook::Flat) {
        return drawGlyph(attributes, look, {12, 21}, [](ui::BezierPath& path) { backChevron(path, true); });
    }
    return drawGlyph(attributes, look, {15, 18},
                     [](ui::BezierPath& path) { addPolygon(path, {{0, 0}, {15, 8.5}, {0, 17}}); });
}

std::shared_ptr<ui::Image> WebViewControllerIcon_refreshButtonWithAttributes(const ns::Dictionary& attributes,
                                                                          WebViewControllerIconLook look) {
    if (look == WebViewControllerIconLook::Flat) {
        return drawGlyph(attributes, look, {19, 22}, [](ui::BezierPath& path) {
            threeQuarterRing(path, {9.5, 12.8}, 9.5, 7.8);
            addPolygon(path, {{10, 0}, {17.35, 4.62}, {10, 9.13}});
        });
    }
    return drawGlyph(attributes, look, {17, 20}, [](ui::BezierPath& path) {
        threeQuarterRing(path, {8.5, 10.9}, 8.5, 5.7);
        addPolygon(path, {{8, 0}, {14.17, 4.1}, {8, 8.44}});
    });
}

std::shared_ptr<ui::Image> WebViewControllerIcon_stopButtonWithAttributes(const ns::Dictionary& attributes,
                                                                       WebViewControllerIconLook look) {
    if (look == WebViewControllerIconLook::Flat) {
        return drawGlyph(attributes, look, {19, 19}, [](ui::BezierPath& path) {
            cornerBar(path, 19, 1.7, false);
            cornerBar(path, 19, 1.7, true);
        });
    }
    return drawGlyph(attributes, look, {15, 16}, [](ui::BezierPath& path) {
        const double length = 12 * std::numbers::sqrt2 + 3;
        roundedBar(path, {7.5, 7.5}, length, 3, std::numbers::pi / 4);
        roundedBar(path, {7.5, 7.5}, length, 3, -std::numbers::pi / 4);
    });
}

std::shared_ptr<ui::Image> WebViewControllerIcon_actionButtonWithAttributes(const ns::Dictionary& attributes,
                                                                         WebViewControllerIconLook look) {
    if (look == WebViewControllerIconLook::Flat) {
        return drawGlyph(attributes, look, {19, 30}, [](ui::BezierPath& path) {
            // The box, open at the top between x 7 and 12.
            addRect(path, {0, 8, 1, 19});
            addRect(path, {18, 8, 1, 19});
            addRect(path, {0, 26, 19, 1});
            addRect(path, {0, 8, 7, 1});
            addRect(path, {12, 8, 7, 1});
            // The shaft and the two strokes of its head.
            addRect(path, {9, 1, 1, 16});
            addPolygon(path, {{9.5, 0.3}, {10.2, 1}, {6.2, 5}, {5.5, 4.3}});
            addPolygon(path, {{9.5, 0.3}, {13.5, 4.3}, {12.8, 5}, {8.8, 1}});
        });
    }
    return drawGlyph(attributes, look, {23, 19}, [](ui::BezierPath& path) {
        // The tray, open along the top but for its leftmost 7 points, and on the right above y 12.5.
        addRect(path, {0, 4, 2, 14});
        addRect(path, {0, 16, 19, 2});
        addRect(path, {17, 12.5, 2, 5.5});
        addRect(path, {0, 4, 7, 2});
        // The arrow: its head, and a tail sweeping down to the left.
        addPolygon(path, {{15, 0}, {23, 6.5}, {15, 13}});
        ui::BezierPath tail;
        tail.moveToPoint({15, 9.5});
        tail.addQuadCurveToPoint({9.5, 13}, {10, 9.5});
        tail.addLineToPoint({5, 13});
        tail.addQuadCurveToPoint({15, 3.5}, {5.5, 3.5});
        tail.closePath();
        path.appendPath(tail);
    });
}

}  // namespace ql
