#include "web/browser/ActivityIcons.h"

#include <cmath>
#include <numbers>

#include "platform/ui/Device.h"
#include "web/browser/GlyphPath.h"

namespace ql {

namespace {

constexpr double kPi = std::numbers::pi;

// Each glyph is designed on a canvas of this side and scaled to the one asked for.
constexpr double kChromeDesignSide = 53;
constexpr double kSafariDesignSide = 39;

// Three straight blades from the inner ring to the rim, a third of a turn apart; the first runs right from
// the top of the ring. `reach` is how far from the centre a blade runs along its length.
void chromeBlades(ui::BezierPath& path, cg::Point c, double reach, Turning turning) {
    const std::vector<cg::Point> blade{{c.x, c.y - 12.5}, {c.x + reach, c.y - 12.5}, {c.x + reach, c.y - 11.5}, {c.x, c.y - 11.5}};
    for (int i = 0; i < 3; ++i) addPolygon(path, turned(blade, c, i * 2 * kPi / 3), turning);
}

void chromeFlat(ui::BezierPath& path) {
    const cg::Point c{26.5, 26.5};
    addRing(path, c, 26.5, 25.5);
    addRing(path, c, 10.5, 9.5);
    addRing(path, c, 12.5, 11.5);
    chromeBlades(path, c, 23.2, Turning::Clockwise);
}

// A solid disc with the emblem cut out: a ring-shaped gap around the middle and three gaps to the rim.
void chromeSolid(ui::BezierPath& path) {
    const cg::Point c{26.5, 26.5};
    addCircle(path, c, 26.5);
    addCircle(path, c, 11.5, Turning::CounterClockwise);
    addCircle(path, c, 9.5);
    chromeBlades(path, c, 23.2, Turning::CounterClockwise);
}

void safariNeedleHalves(ui::BezierPath& path, cg::Point c, double length, double halfWidth) {
    // Along the diagonal from lower left to upper right.
    const double d = length / std::numbers::sqrt2, w = halfWidth / std::numbers::sqrt2;
    const cg::Point tip{c.x + d, c.y - d}, tail{c.x - d, c.y + d}, side1{c.x - w, c.y - w}, side2{c.x + w, c.y + w};
    addPolygon(path, {tip, side2, side1});
    // The lower half in outline: the triangle less a smaller one inside it.
    addPolygon(path, {tail, side1, side2});
    const auto inset = [&](cg::Point p) { return cg::Point{c.x + (p.x - c.x) * 0.55 - 0.35, c.y + (p.y - c.y) * 0.55 + 0.35}; };
    addPolygon(path, {inset(tail), inset(side1), inset(side2)}, Turning::CounterClockwise);
}

void safariFlat(ui::BezierPath& path) {
    const cg::Point c{19.5, 19.5};
    addRing(path, c, 19.5, 18.5);
    for (int i = 0; i < 24; ++i) {
        const double length = i % 6 == 0 ? 4 : 2;
        const std::vector<cg::Point> tick{{c.x - 0.4, c.y - 17.5}, {c.x + 0.4, c.y - 17.5}, {c.x + 0.4, c.y - 17.5 + length},
                                          {c.x - 0.4, c.y - 17.5 + length}};
        addPolygon(path, turned(tick, c, i * kPi / 12));
    }
    safariNeedleHalves(path, c, 12, 2.5);
}

// A compass rose: four long points to the edges, four short diagonal ones, a ring and a long diagonal
// needle with a small hole at the centre.
void safariSolid(ui::BezierPath& path) {
    const cg::Point c{19.5, 19.5};
    for (int i = 0; i < 4; ++i) {
        addPolygon(path, turned({{c.x - 2.5, c.y - 3}, {c.x, c.y - 19.5}, {c.x + 2.5, c.y - 3}}, c, i * kPi / 2));
        addPolygon(path, turned({{c.x - 2, c.y - 3}, {c.x, c.y - 11}, {c.x + 2, c.y - 3}}, c, kPi / 4 + i * kPi / 2));
    }
    addRing(path, c, 14.5, 12.5);
    const double d = 15 / std::numbers::sqrt2, w = 2.5 / std::numbers::sqrt2;
    addPolygon(path, {{c.x + d, c.y - d}, {c.x + w, c.y + w}, {c.x - d, c.y + d}, {c.x - w, c.y - w}});
    addCircle(path, c, 1.5, Turning::CounterClockwise);
}

}  // namespace

double activityIconSide(ActivityIcon icon, WebViewControllerIconLook look, bool pad) {
    const bool flat = look == WebViewControllerIconLook::Flat;
    if (icon == ActivityIcon::Chrome) return pad ? (flat ? 53 : 50) : 40;
    return pad ? (flat ? 53 : 56) : (flat ? 39 : 40);
}

std::shared_ptr<ui::Image> drawActivityIcon(ActivityIcon icon) {
    return drawActivityIcon(icon, WebViewControllerIconLookOfPlatform(),
                            ui::Device::currentDevice().userInterfaceIdiom() == ui::UserInterfaceIdiom::Pad);
}

std::shared_ptr<ui::Image> drawActivityIcon(ActivityIcon icon, WebViewControllerIconLook look, bool pad) {
    const double side = activityIconSide(icon, look, pad);
    const bool flat = look == WebViewControllerIconLook::Flat;
    ui::BezierPath path;
    if (icon == ActivityIcon::Chrome) flat ? chromeFlat(path) : chromeSolid(path);
    else flat ? safariFlat(path) : safariSolid(path);
    const double design = icon == ActivityIcon::Chrome ? kChromeDesignSide : kSafariDesignSide;
    path.applyTransform(cg::AffineTransform::makeScale(side / design, side / design));
    return glyphImage({side, side}, path);
}

}  // namespace ql
