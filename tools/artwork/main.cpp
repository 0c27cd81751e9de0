// artwork DIR: draws the app's own pictures (backgrounds, buttons, icons, the first-run guide pages for
// every device size) and writes them as PNG files into DIR, normally the repository's resources/. The
// pictures are simple on purpose: soft skies, clouds, hills, books and rounded plates in the app's
// colours, so that the screens look finished without borrowed artwork. Run it again after a change and
// commit what it writes.

#include <cmath>
#include <cstdio>
#include <exception>
#include <functional>
#include <numbers>
#include <string>
#include <vector>

#include "platform/foundation/FileManager.h"
#include "platform/graphics/Context.h"
#include "platform/graphics/Gradient.h"
#include "platform/graphics/ImageEncoding.h"
#include "platform/ui/Font.h"
#include "platform/ui/GraphicsContext.h"
#include "platform/ui/Image.h"
#include "platform/ui/Screen.h"
#include "platform/ui/StringDrawing.h"

using namespace ql;

namespace {

using Draw = std::function<void(cg::Context&, cg::Size)>;

struct DeviceSize {
    const char* suffix;
    cg::Size size;
};

const std::vector<DeviceSize> kDevices = {{"iphone4", {320, 480}},
                                          {"iphone5", {320, 568}},
                                          {"iphone6", {375, 667}},
                                          {"iphone6p", {414, 736}},
                                          {"ipad", {768, 1024}}};

cg::Color rgb(unsigned hex, double alpha = 1) {
    return cg::Color::rgb(((hex >> 16) & 0xFF) / 255.0, ((hex >> 8) & 0xFF) / 255.0, (hex & 0xFF) / 255.0, alpha);
}

std::string outputDirectory;
int written = 0;

// Renders at `scale` pixels per point and writes name (with "@2x" and the like for scales above 1).
void write(const std::string& name, cg::Size size, double scale, const Draw& draw) {
    ui::GraphicsBeginImageContextWithOptions(size, false, scale);
    cg::Context& context = *ui::GraphicsGetCurrentContext();
    draw(context, size);
    auto image = ui::GraphicsGetImageFromCurrentImageContext();
    ui::GraphicsEndImageContext();
    const std::string suffix = scale > 1 ? "@" + std::to_string(int(scale)) + "x" : "";
    const auto png = cg::encodePNG(*image->CGImage());
    const std::string path = outputDirectory + "/" + name + suffix + ".png";
    if (!png || !ns::FileManager::defaultManager().createFileAtPath(path, *png)) {
        throw std::runtime_error("cannot write " + path);
    }
    ++written;
}

void verticalGradient(cg::Context& c, const cg::Rect& rect, const std::vector<cg::Color>& colors) {
    c.saveGState();
    c.clipToRect(rect);
    c.drawLinearGradient(cg::Gradient(cg::ColorSpace::deviceRGB(), colors), {rect.origin.x, rect.origin.y},
                         {rect.origin.x, rect.origin.y + rect.size.height}, 0);
    c.restoreGState();
}

void roundedRect(cg::Context& c, const cg::Rect& r, double radius) {
    const double x = r.origin.x, y = r.origin.y, w = r.size.width, h = r.size.height;
    radius = std::min(radius, std::min(w, h) / 2);
    c.beginPath();
    c.moveToPoint(x + radius, y);
    c.addArcToPoint(x + w, y, x + w, y + h, radius);
    c.addArcToPoint(x + w, y + h, x, y + h, radius);
    c.addArcToPoint(x, y + h, x, y, radius);
    c.addArcToPoint(x, y, x + w, y, radius);
    c.closePath();
}

// A cloud of four puffs, `width` wide with its flat bottom at `bottom`.
void cloud(cg::Context& c, double x, double bottom, double width, double alpha = 0.95) {
    // Drawn as one layer, so the puffs do not darken where they overlap.
    c.saveGState();
    c.setAlpha(alpha);
    c.beginTransparencyLayer();
    c.setFillColor(cg::Color::rgb(1, 1, 1, 1));
    const double u = width / 10;
    c.fillEllipseInRect({x, bottom - 3 * u, 4 * u, 3 * u});
    c.fillEllipseInRect({x + 2 * u, bottom - 5 * u, 4 * u, 4.4 * u});
    c.fillEllipseInRect({x + 4.6 * u, bottom - 4 * u, 3.6 * u, 3.6 * u});
    c.fillEllipseInRect({x + 6.6 * u, bottom - 2.8 * u, 3.4 * u, 2.8 * u});
    roundedRect(c, {x + 1.2 * u, bottom - 2 * u, 7.8 * u, 2 * u}, u);
    c.fillPath();
    c.endTransparencyLayer();
    c.restoreGState();
}

// Rolling hills along the bottom.
void hills(cg::Context& c, cg::Size size, double height, unsigned back, unsigned front) {
    const double w = size.width, h = size.height;
    c.setFillColor(rgb(back));
    c.beginPath();
    c.moveToPoint(0, h - height * 0.8);
    c.addCurveToPoint(w * 0.3, h - height * 1.25, w * 0.55, h - height * 0.5, w, h - height * 1.05);
    c.addLineToPoint(w, h);
    c.addLineToPoint(0, h);
    c.closePath();
    c.fillPath();
    c.setFillColor(rgb(front));
    c.beginPath();
    c.moveToPoint(0, h - height * 0.45);
    c.addCurveToPoint(w * 0.35, h - height * 0.2, w * 0.6, h - height * 0.85, w, h - height * 0.4);
    c.addLineToPoint(w, h);
    c.addLineToPoint(0, h);
    c.closePath();
    c.fillPath();
}

void sun(cg::Context& c, cg::Point centre, double radius) {
    c.setFillColor(rgb(0xFFD54F, 0.35));
    c.fillEllipseInRect({centre.x - radius * 1.5, centre.y - radius * 1.5, radius * 3, radius * 3});
    c.setFillColor(rgb(0xFFC107));
    c.fillEllipseInRect({centre.x - radius, centre.y - radius, radius * 2, radius * 2});
}

// An open book seen from the front, `width` wide, its spine's foot at `foot`.
void openBook(cg::Context& c, cg::Point foot, double width, unsigned cover) {
    const double half = width / 2, h = width * 0.42;
    for (int side : {-1, 1}) {
        c.setFillColor(rgb(cover));
        c.beginPath();
        c.moveToPoint(foot.x, foot.y + 6);
        c.addCurveToPoint(foot.x + side * half * 0.4, foot.y - 6, foot.x + side * half * 0.8, foot.y - 2,
                          foot.x + side * (half + 6), foot.y + 4);
        c.addLineToPoint(foot.x + side * (half + 6), foot.y - h + 4);
        c.addLineToPoint(foot.x, foot.y - h + 6);
        c.closePath();
        c.fillPath();
        c.setFillColor(rgb(0xFFFDF5));
        c.beginPath();
        c.moveToPoint(foot.x, foot.y);
        c.addCurveToPoint(foot.x + side * half * 0.4, foot.y - 12, foot.x + side * half * 0.8, foot.y - 8,
                          foot.x + side * half, foot.y - 2);
        c.addLineToPoint(foot.x + side * half, foot.y - h);
        c.addCurveToPoint(foot.x + side * half * 0.8, foot.y - h - 8, foot.x + side * half * 0.4, foot.y - h - 12,
                          foot.x, foot.y - h);
        c.closePath();
        c.fillPath();
        c.setStrokeColor(rgb(0xD7CCC8));
        c.setLineWidth(std::max(1.0, width / 160));
        for (int line = 1; line <= 5; ++line) {
            const double y = foot.y - h + line * h / 6.5;
            c.beginPath();
            c.moveToPoint(foot.x + side * half * 0.12, y);
            c.addLineToPoint(foot.x + side * half * 0.85, y - 3);
            c.strokePath();
        }
    }
}

void star(cg::Context& c, cg::Point centre, double radius, unsigned colour) {
    c.setFillColor(rgb(colour));
    c.beginPath();
    for (int i = 0; i < 10; ++i) {
        const double angle = -std::numbers::pi / 2 + i * std::numbers::pi / 5;
        const double r = i % 2 ? radius * 0.45 : radius;
        const double x = centre.x + r * std::cos(angle), y = centre.y + r * std::sin(angle);
        if (i == 0) c.moveToPoint(x, y);
        else c.addLineToPoint(x, y);
    }
    c.closePath();
    c.fillPath();
}

void text(std::string_view words, const cg::Rect& rect, double fontSize, unsigned colour, bool bold = true) {
    ui::GraphicsGetCurrentContext()->setFillColor(rgb(colour));
    auto font = bold ? ui::Font::boldSystemFontOfSize(fontSize) : ui::Font::systemFontOfSize(fontSize);
    ui::drawInRect(words, rect, *font, ui::LineBreakMode::WordWrapping, ui::TextAlignment::Center);
}

// ---- Screen backgrounds ----

void homeBackground(cg::Context& c, cg::Size s) {
    verticalGradient(c, {{0, 0}, s}, {rgb(0x8FD3F4), rgb(0xD8F1FB), rgb(0xFFF8E1)});
    cloud(c, s.width * 0.62, s.height * 0.2, s.width * 0.3, 0.8);
    cloud(c, s.width * 0.05, s.height * 0.42, s.width * 0.24, 0.7);
    hills(c, s, s.height * 0.16, 0xC5E1A5, 0xAED581);
}

void loginBackground(cg::Context& c, cg::Size s) {
    verticalGradient(c, {{0, 0}, s}, {rgb(0x81D4FA), rgb(0xE1F5FE), rgb(0xFFF3E0)});
    sun(c, {s.width * 0.8, s.height * 0.1}, s.width * 0.07);
    cloud(c, s.width * 0.06, s.height * 0.14, s.width * 0.34);
    cloud(c, s.width * 0.58, s.height * 0.27, s.width * 0.28, 0.85);
    openBook(c, {s.width / 2, s.height * 0.37}, std::min(s.width * 0.5, 260.0), 0xE8833A);
    star(c, {s.width * 0.24, s.height * 0.24}, 9, 0xFFCA28);
    star(c, {s.width * 0.76, s.height * 0.33}, 7, 0xFFCA28);
    hills(c, s, s.height * 0.13, 0xC5E1A5, 0x9CCC65);
}

void forgetBackground(cg::Context& c, cg::Size s) {
    verticalGradient(c, {{0, 0}, s}, {rgb(0xB3E5FC), rgb(0xF1F8E9), rgb(0xFFFDE7)});
    cloud(c, s.width * 0.55, s.height * 0.56, s.width * 0.36, 0.8);
    cloud(c, s.width * 0.04, s.height * 0.7, s.width * 0.26, 0.7);
    hills(c, s, s.height * 0.14, 0xDCEDC8, 0xAED581);
}

// Clouds along the top and bottom edges; the middle row stretches to any screen height.
void cloudBand(cg::Context& c, cg::Size s) {
    cloud(c, -10, 120, 150, 0.9);
    cloud(c, 250, 104, 130, 0.8);
    cloud(c, 200, s.height - 150, 170, 0.75);
    cloud(c, 10, s.height - 90, 120, 0.65);
}

// ---- Guide pages ----

struct GuidePage {
    const char* title;
    const char* line;
    unsigned top, bottom, accent;
};
const GuidePage kGuide[] = {
    {"海量好书", "按年级挑选适合你的书", 0x80DEEA, 0xFFF8E1, 0xE8833A},
    {"读完就测", "读完一本书，做一次阅读测试", 0xA5D6A7, 0xFFFDE7, 0x7E57C2},
    {"读书笔记", "写下感受，和同学一起进步", 0xFFCC80, 0xFFF3E0, 0x42A5F5},
};

void guidePage(cg::Context& c, cg::Size s, const GuidePage& page, int index) {
    verticalGradient(c, {{0, 0}, s}, {rgb(page.top), rgb(0xFFFFFF), rgb(page.bottom)});
    cloud(c, s.width * 0.08, s.height * 0.16, s.width * 0.3);
    cloud(c, s.width * 0.6, s.height * 0.1, s.width * 0.26, 0.8);
    const double art = std::min(s.width * 0.62, 380.0);
    const cg::Point middle{s.width / 2, s.height * 0.42};
    c.setFillColor(cg::Color::rgb(1, 1, 1, 0.75));
    c.fillEllipseInRect({middle.x - art * 0.62, middle.y - art * 0.62, art * 1.24, art * 1.24});
    if (index == 0) {
        // A stack of books.
        const unsigned covers[] = {0xEF5350, 0x42A5F5, 0x66BB6A, 0xFFCA28};
        for (int i = 0; i < 4; ++i) {
            const double w = art * (0.78 - i * 0.08), h = art * 0.13;
            const cg::Rect book{middle.x - w / 2 + (i % 2 ? 6 : -6), middle.y + art * 0.3 - (i + 1) * h, w, h - 4};
            c.setFillColor(rgb(covers[i]));
            roundedRect(c, book, 6);
            c.fillPath();
            c.setFillColor(rgb(0xFFFFFF, 0.7));
            c.fillRect({book.origin.x + 10, book.origin.y + book.size.height / 2 - 2, w * 0.4, 4});
        }
    } else if (index == 1) {
        // A test sheet with ticks and a star.
        const cg::Rect sheet{middle.x - art * 0.3, middle.y - art * 0.4, art * 0.6, art * 0.78};
        c.setFillColor(rgb(0xFFFFFF));
        roundedRect(c, sheet, 10);
        c.fillPath();
        c.setStrokeColor(rgb(0x66BB6A));
        c.setLineWidth(art / 40);
        for (int i = 0; i < 4; ++i) {
            const double y = sheet.origin.y + art * (0.14 + i * 0.15);
            c.beginPath();
            c.moveToPoint(sheet.origin.x + art * 0.06, y);
            c.addLineToPoint(sheet.origin.x + art * 0.09, y + art * 0.03);
            c.addLineToPoint(sheet.origin.x + art * 0.15, y - art * 0.03);
            c.strokePath();
            c.setFillColor(rgb(0xCFD8DC));
            c.fillRect({sheet.origin.x + art * 0.2, y - 3, art * 0.32, 6});
        }
        star(c, {sheet.origin.x + sheet.size.width, sheet.origin.y + 6}, art * 0.12, 0xFFCA28);
    } else {
        openBook(c, {middle.x, middle.y + art * 0.22}, art * 0.9, page.accent);
        c.setStrokeColor(rgb(0xE8833A));
        c.setLineWidth(art / 30);
        c.beginPath();
        c.moveToPoint(middle.x + art * 0.1, middle.y - art * 0.3);
        c.addLineToPoint(middle.x + art * 0.32, middle.y - art * 0.02);
        c.strokePath();
    }
    text(page.title, {0, s.height * 0.68, s.width, 44}, std::min(32.0, s.width / 11), page.accent);
    text(page.line, {20, s.height * 0.68 + 48, s.width - 40, 30}, std::min(18.0, s.width / 20), 0x6D6D6D, false);
}

// ---- Buttons, plates and icons ----

void pill(cg::Context& c, cg::Size s, unsigned top, unsigned bottom) {
    c.saveGState();
    roundedRect(c, {{1, 1}, {s.width - 2, s.height - 2}}, s.height / 2);
    c.clip();
    verticalGradient(c, {{0, 0}, s}, {rgb(top), rgb(bottom)});
    c.restoreGState();
}

void backArrow(cg::Context& c, cg::Size s) {
    c.setFillColor(rgb(0x000000, 0.18));
    c.fillEllipseInRect({2, 1, s.height - 2, s.height - 2});
    c.setStrokeColor(rgb(0xFFFFFF));
    c.setLineWidth(3);
    c.setLineCap(cg::LineCap::Round);
    c.setLineJoin(cg::LineJoin::Round);
    const double mid = s.height / 2;
    c.beginPath();
    c.moveToPoint(mid + 3, mid - 7);
    c.addLineToPoint(mid - 4, mid);
    c.addLineToPoint(mid + 3, mid + 7);
    c.strokePath();
}

void titlePlate(cg::Context& c, cg::Size s) {
    c.setFillColor(rgb(0x000000, 0.12));
    roundedRect(c, {{2, 4}, {s.width - 4, s.height - 8}}, 18);
    c.fillPath();
    c.saveGState();
    roundedRect(c, {{2, 2}, {s.width - 4, s.height - 9}}, 18);
    c.clip();
    verticalGradient(c, {{0, 0}, s}, {rgb(0x9CCC65), rgb(0x689F38)});
    c.restoreGState();
}

// A small paper plane trailing a dotted line: the plate's decoration.
void titleAir(cg::Context& c, cg::Size s) {
    c.setFillColor(rgb(0xFFFFFF, 0.9));
    for (int i = 0; i < 5; ++i) c.fillEllipseInRect({4 + i * 11.0, s.height * 0.62 - i * 3.0, 4, 4});
    c.setFillColor(rgb(0xFFFFFF));
    c.beginPath();
    c.moveToPoint(s.width - 8, s.height * 0.22);
    c.addLineToPoint(s.width - 52, s.height * 0.42);
    c.addLineToPoint(s.width - 36, s.height * 0.5);
    c.addLineToPoint(s.width - 30, s.height * 0.7);
    c.closePath();
    c.fillPath();
    c.setFillColor(rgb(0xE0E0E0));
    c.beginPath();
    c.moveToPoint(s.width - 8, s.height * 0.22);
    c.addLineToPoint(s.width - 36, s.height * 0.5);
    c.addLineToPoint(s.width - 30, s.height * 0.7);
    c.closePath();
    c.fillPath();
}

void magnifier(cg::Context& c, cg::Size s) {
    c.setStrokeColor(rgb(0xFFFFFF));
    c.setLineWidth(3);
    const double r = s.height * 0.22;
    const cg::Point centre{s.width * 0.55, s.height * 0.45};
    c.strokeEllipseInRect({centre.x - r, centre.y - r, 2 * r, 2 * r});
    c.setLineCap(cg::LineCap::Round);
    c.beginPath();
    c.moveToPoint(centre.x + r * 0.7, centre.y + r * 0.7);
    c.addLineToPoint(centre.x + r * 1.5, centre.y + r * 1.5);
    c.strokePath();
}

void homeIcon(cg::Context& c, cg::Size s) {
    c.setFillColor(rgb(0xE8833A));
    c.beginPath();
    c.moveToPoint(s.width / 2, 3);
    c.addLineToPoint(s.width - 2, s.height * 0.48);
    c.addLineToPoint(2, s.height * 0.48);
    c.closePath();
    c.fillPath();
    c.setFillColor(rgb(0xFFB74D));
    c.fillRect({s.width * 0.18, s.height * 0.46, s.width * 0.64, s.height * 0.48});
    c.setFillColor(rgb(0xFFFFFF));
    roundedRect(c, {s.width * 0.42, s.height * 0.62, s.width * 0.16, s.height * 0.32}, 2);
    c.fillPath();
}

void booksIcon(cg::Context& c, cg::Size s) {
    const unsigned covers[] = {0x42A5F5, 0x66BB6A, 0xEF5350};
    for (int i = 0; i < 3; ++i) {
        c.setFillColor(rgb(covers[i]));
        roundedRect(c, {3 + i * s.width * 0.29, s.height * (0.2 + (i == 1 ? 0.08 : 0)), s.width * 0.24,
                        s.height * (0.74 - (i == 1 ? 0.08 : 0))}, 2);
        c.fillPath();
    }
    c.setFillColor(rgb(0x8D6E63));
    c.fillRect({1, s.height - 4, s.width - 2, 3});
}

void meIcon(cg::Context& c, cg::Size s) {
    c.setFillColor(rgb(0x7E57C2));
    c.fillEllipseInRect({s.width * 0.3, 2, s.width * 0.4, s.width * 0.4});
    c.beginPath();
    c.moveToPoint(3, s.height - 2);
    c.addCurveToPoint(3, s.height * 0.5, s.width - 3, s.height * 0.5, s.width - 3, s.height - 2);
    c.closePath();
    c.fillPath();
}

// What a book list shows while a cover loads or when a book has none: a plain grey book.
void coverPlaceholder(cg::Context& c, cg::Size s) {
    c.setFillColor(rgb(0xE0E0E0));
    roundedRect(c, {{0, 0}, s}, 3);
    c.fillPath();
    c.setFillColor(rgb(0xBDBDBD));
    c.fillRect({0, 0, s.width * 0.14, s.height});
    c.fillRect({s.width * 0.3, s.height * 0.2, s.width * 0.55, s.height * 0.08});
    c.fillRect({s.width * 0.3, s.height * 0.34, s.width * 0.4, s.height * 0.06});
}

// The student's photo before it loads or when there is none: a grey figure on a light disc.
void photoPlaceholder(cg::Context& c, cg::Size s) {
    c.setFillColor(rgb(0xECEFF1));
    c.fillEllipseInRect({{0, 0}, s});
    c.setFillColor(rgb(0xB0BEC5));
    c.fillEllipseInRect({s.width * 0.33, s.height * 0.18, s.width * 0.34, s.height * 0.34});
    c.beginPath();
    c.moveToPoint(s.width * 0.16, s.height * 0.86);
    c.addCurveToPoint(s.width * 0.2, s.height * 0.5, s.width * 0.8, s.height * 0.5, s.width * 0.84, s.height * 0.86);
    c.closePath();
    c.fillPath();
}

void heart(cg::Context& c, cg::Size s, unsigned fill, bool outline) {
    const double w = s.width, h = s.height;
    c.beginPath();
    c.moveToPoint(w / 2, h * 0.88);
    c.addCurveToPoint(w * 0.05, h * 0.55, w * 0.05, h * 0.12, w / 2, h * 0.3);
    c.addCurveToPoint(w * 0.95, h * 0.12, w * 0.95, h * 0.55, w / 2, h * 0.88);
    c.closePath();
    if (outline) {
        c.setStrokeColor(rgb(fill));
        c.setLineWidth(2.5);
        c.strokePath();
    } else {
        c.setFillColor(rgb(fill));
        c.fillPath();
    }
}

void radio(cg::Context& c, cg::Size s, bool selected) {
    c.setFillColor(rgb(0xFFFFFF));
    roundedRect(c, {{1, 1}, {s.width - 2, s.height - 2}}, 8);
    c.fillPath();
    c.setStrokeColor(rgb(selected ? 0x7CB342 : 0xCFD8DC));
    c.setLineWidth(2);
    roundedRect(c, {{1, 1}, {s.width - 2, s.height - 2}}, 8);
    c.strokePath();
}

// ---- The photo picker's pictures ----

void checkMark(cg::Context& c, cg::Point a, cg::Point b, cg::Point d, double width, unsigned colour) {
    c.beginPath();
    c.moveToPoint(a.x, a.y);
    c.addLineToPoint(b.x, b.y);
    c.addLineToPoint(d.x, d.y);
    c.setStrokeColor(rgb(colour));
    c.setLineWidth(width);
    c.setLineCap(cg::LineCap::Round);
    c.strokePath();
}

// A round check box: an empty ring over a dim disc, or a filled disc with a white tick.
void checkCircle(cg::Context& c, cg::Size s, bool checked, unsigned fill) {
    const cg::Rect disc{{s.width * 0.08, s.height * 0.08}, {s.width * 0.84, s.height * 0.84}};
    c.setFillColor(checked ? rgb(fill) : rgb(0x000000, 0.25));
    c.fillEllipseInRect(disc);
    c.setStrokeColor(rgb(0xFFFFFF));
    c.setLineWidth(s.width * 0.07);
    c.strokeEllipseInRect(disc);
    if (checked) {
        checkMark(c, {s.width * 0.3, s.height * 0.52}, {s.width * 0.45, s.height * 0.66}, {s.width * 0.71, s.height * 0.37},
                  s.width * 0.09, 0xFFFFFF);
    }
}

void cameraGlyph(cg::Context& c, cg::Size s, unsigned colour) {
    c.setFillColor(rgb(colour));
    roundedRect(c, {{s.width * 0.1, s.height * 0.28}, {s.width * 0.8, s.height * 0.58}}, s.width * 0.08);
    c.fillPath();
    c.fillRect({{s.width * 0.36, s.height * 0.16}, {s.width * 0.28, s.height * 0.16}});
    c.setFillColor(rgb(0xFFFFFF));
    c.fillEllipseInRect({{s.width * 0.35, s.height * 0.38}, {s.width * 0.3, s.width * 0.3}});
    c.setFillColor(rgb(colour));
    c.fillEllipseInRect({{s.width * 0.41, s.height * 0.38 + s.width * 0.06}, {s.width * 0.18, s.width * 0.18}});
}

void placeholderPicture(cg::Context& c, cg::Size s) {
    c.setFillColor(rgb(0xE0E3E8));
    c.fillRect({{0, 0}, s});
    c.setFillColor(rgb(0xB8BEC7));
    c.beginPath();
    c.moveToPoint(s.width * 0.12, s.height * 0.78);
    c.addLineToPoint(s.width * 0.4, s.height * 0.42);
    c.addLineToPoint(s.width * 0.58, s.height * 0.64);
    c.addLineToPoint(s.width * 0.7, s.height * 0.52);
    c.addLineToPoint(s.width * 0.88, s.height * 0.78);
    c.closePath();
    c.fillPath();
    c.fillEllipseInRect({{s.width * 0.64, s.height * 0.2}, {s.width * 0.14, s.width * 0.14}});
}

void arrowHead(cg::Context& c, cg::Size s, bool up) {
    c.setFillColor(rgb(0x5F6368));
    c.beginPath();
    c.moveToPoint(0, up ? s.height : 0);
    c.addLineToPoint(s.width, up ? s.height : 0);
    c.addLineToPoint(s.width / 2, up ? 0 : s.height);
    c.closePath();
    c.fillPath();
}

void plate(cg::Context& c, cg::Size s, unsigned fill, double radius) {
    c.setFillColor(rgb(fill));
    roundedRect(c, {{0, 0}, s}, radius);
    c.fillPath();
}

void outlinedPlate(cg::Context& c, cg::Size s, unsigned fill, unsigned line) {
    plate(c, s, fill, 4);
    c.setStrokeColor(rgb(line));
    c.setLineWidth(1);
    roundedRect(c, {{0.5, 0.5}, {s.width - 1, s.height - 1}}, 4);
    c.strokePath();
}

void cross(cg::Context& c, cg::Size s, unsigned colour) {
    c.setStrokeColor(rgb(colour));
    c.setLineWidth(2.5);
    c.setLineCap(cg::LineCap::Round);
    c.beginPath();
    c.moveToPoint(s.width * 0.28, s.height * 0.28);
    c.addLineToPoint(s.width * 0.72, s.height * 0.72);
    c.moveToPoint(s.width * 0.72, s.height * 0.28);
    c.addLineToPoint(s.width * 0.28, s.height * 0.72);
    c.strokePath();
}

void alertSigh(cg::Context& c, cg::Size s) {
    c.setStrokeColor(rgb(0xFFFFFF));
    c.setLineWidth(2.5);
    c.strokeEllipseInRect({{2, 2}, {s.width - 4, s.height - 4}});
    c.setFillColor(rgb(0xFFFFFF));
    roundedRect(c, {{s.width / 2 - 1.75, s.height * 0.22}, {3.5, s.height * 0.38}}, 1.75);
    c.fillPath();
    c.fillEllipseInRect({{s.width / 2 - 2.25, s.height * 0.66}, {4.5, 4.5}});
}

void writePickerArtwork() {
    write("picker_alert_sigh", {40, 40}, 2, alertSigh);
    write("photo_check_default", {27, 27}, 2, [](cg::Context& c, cg::Size s) { checkCircle(c, s, false, 0); });
    write("photo_check_selected", {27, 27}, 2, [](cg::Context& c, cg::Size s) { checkCircle(c, s, true, 0x1AB20A); });
    write("picker_photo_filter_checked", {20, 20}, 2, [](cg::Context& c, cg::Size s) { checkCircle(c, s, true, 0x1AB20A); });
    write("compose_photograph_background", {75, 75}, 2, [](cg::Context& c, cg::Size s) {
        c.setFillColor(rgb(0xEEF0F3));
        c.fillRect({{0, 0}, s});
    });
    write("compose_photograph", {40, 40}, 2, [](cg::Context& c, cg::Size s) { cameraGlyph(c, s, 0x9AA0A6); });
    write("compose_photograph_highlighted", {40, 40}, 2, [](cg::Context& c, cg::Size s) { cameraGlyph(c, s, 0x5F6368); });
    write("assets_placeholder_picture", {70, 70}, 2, placeholderPicture);
    write("navigationbar_title_highlighted", {12, 30}, 2, [](cg::Context& c, cg::Size s) { plate(c, s, 0xE3E6EA, 3); });
    write("navigationbar_arrow_down", {10, 6}, 2, [](cg::Context& c, cg::Size s) { arrowHead(c, s, false); });
    write("navigationbar_arrow_up", {10, 6}, 2, [](cg::Context& c, cg::Size s) { arrowHead(c, s, true); });
    write("compose_photo_original", {58, 30}, 2, [](cg::Context& c, cg::Size s) { outlinedPlate(c, s, 0xFFFFFF, 0xC8CCD0); });
    write("compose_photo_original_highlighted", {58, 30}, 2,
          [](cg::Context& c, cg::Size s) { outlinedPlate(c, s, 0xE8EAED, 0xA8ADB3); });
    write("picker_button_orange", {12, 30}, 2, [](cg::Context& c, cg::Size s) { plate(c, s, 0xFF8A00, 4); });
    write("picker_button_orange_highlighted", {12, 30}, 2, [](cg::Context& c, cg::Size s) { plate(c, s, 0xD97400, 4); });
    write("camera_edit_cut_cancel", {30, 30}, 2, [](cg::Context& c, cg::Size s) { cross(c, s, 0xFFFFFF); });
    write("camera_edit_cut_cancel_highlighted", {30, 30}, 2, [](cg::Context& c, cg::Size s) { cross(c, s, 0x9AA0A6); });
    ns::FileManager::defaultManager().createDirectoryAtPath(outputDirectory + "/ImageResources.bundle", true);
    write("ImageResources.bundle/FriendsSendsPicturesSelectBigNIcon", {56, 56}, 1,
          [](cg::Context& c, cg::Size s) { checkCircle(c, s, false, 0); });
    write("ImageResources.bundle/FriendsSendsPicturesSelectBigYIcon", {56, 56}, 1,
          [](cg::Context& c, cg::Size s) { checkCircle(c, s, true, 0x1AB20A); });
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: artwork RESOURCES_DIR\n");
        return 2;
    }
    outputDirectory = argv[1];
    try {
        ui::Screen::mainScreen().setScale(2);
        for (const DeviceSize& device : kDevices) {
            const std::string suffix = std::string("_") + device.suffix;
            write("home_bg" + suffix, device.size, 1, homeBackground);
            write("login_bg" + suffix, device.size, 1, loginBackground);
            write("forget_pwd" + suffix, device.size, 1, forgetBackground);
            for (int page = 0; page < 3; ++page) {
                write("guide" + suffix + "_" + std::to_string(page + 1), device.size, 2,
                      [page](cg::Context& c, cg::Size s) { guidePage(c, s, kGuide[page], page); });
            }
        }
        write("baiyun_bg", {375, 1024}, 1, cloudBand);
        write("login_login_bg", {300, 46}, 2, [](cg::Context& c, cg::Size s) { pill(c, s, 0xFFB74D, 0xF57C00); });
        write("go_intoApp_btn", {218, 40}, 2, [](cg::Context& c, cg::Size s) { pill(c, s, 0xFFF176, 0xFFCA28); });
        write("back", {44, 30}, 2, backArrow);
        write("title_bg", {160, 47}, 2, titlePlate);
        write("title_air", {110, 50}, 2, titleAir);
        write("serach", {77, 49}, 2, magnifier);
        write("indent_navigation", {149, 47}, 2, titlePlate);
        write("tab_home", {30, 30}, 2, homeIcon);
        write("tab_books", {30, 30}, 2, booksIcon);
        write("tab_me", {30, 30}, 2, meIcon);
        write("book_cover_placeholder", {36, 48}, 2, coverPlaceholder);
        write("photo_placeholder", {72, 72}, 2, photoPlaceholder);
        write("book_like", {35, 35}, 2, [](cg::Context& c, cg::Size s) { heart(c, s, 0xBDBDBD, true); });
        write("book_like_d", {35, 35}, 2, [](cg::Context& c, cg::Size s) { heart(c, s, 0xEF5350, false); });
        write("EffectImage", {8, 8}, 2, [](cg::Context& c, cg::Size s) {
            c.setFillColor(rgb(0xFF7043));
            c.fillEllipseInRect({{0, 0}, s});
        });
        write("test_button_unselect", {80, 40}, 2, [](cg::Context& c, cg::Size s) { radio(c, s, false); });
        write("test_button_selected", {80, 40}, 2, [](cg::Context& c, cg::Size s) { radio(c, s, true); });
        writePickerArtwork();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "artwork: %s\n", error.what());
        return 1;
    }
    std::printf("%d pictures in %s\n", written, outputDirectory.c_str());
    return 0;
}
