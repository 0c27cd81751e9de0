#include "platform/graphics/Context.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "platform/graphics/Blur.h"

namespace ql::cg {

namespace {

void setMatrix(cairo_t* cr, const AffineTransform& t) {
    const cairo_matrix_t m{t.a, t.b, t.c, t.d, t.tx, t.ty};
    cairo_set_matrix(cr, &m);
}

bool usable(const AffineTransform& t) {
    return isInvertible(t) && std::isfinite(t.a) && std::isfinite(t.b) && std::isfinite(t.c) && std::isfinite(t.d) &&
           std::isfinite(t.tx) && std::isfinite(t.ty);
}

bool finite(Point p) { return std::isfinite(p.x) && std::isfinite(p.y); }

// Cairo takes colour components in [0, 1] only.
RGBA clamped(const RGBA& c) {
    return {std::clamp(c.r, 0.0, 1.0), std::clamp(c.g, 0.0, 1.0), std::clamp(c.b, 0.0, 1.0), std::clamp(c.a, 0.0, 1.0)};
}

void setSourceRGBA(cairo_t* cr, const RGBA& color, double alpha = 1) {
    const RGBA c = clamped(color);
    cairo_set_source_rgba(cr, c.r, c.g, c.b, c.a * alpha);
}

// The platform's placement of an image in a rectangle: the image fills it with its first row at the
// rectangle's max y.
AffineTransform imageToUserIn(const Rect& rect, const Image& image) {
    return concat(AffineTransform::makeScale(rect.size.width / image.width(), -rect.size.height / image.height()),
                  AffineTransform::makeTranslation(rect.origin.x, rect.origin.y + rect.size.height));
}

// Puts `path` (device pixels) on `cr`, whose matrix must be the identity.
void replay(cairo_t* cr, const Path& path) {
    cairo_new_path(cr);
    for (const PathElement& e : path.elements()) {
        const auto& p = e.points;
        switch (e.type) {
        case PathElementType::MoveToPoint:
            if (finite(p[0])) cairo_move_to(cr, p[0].x, p[0].y);
            break;
        case PathElementType::AddLineToPoint:
            if (finite(p[0])) cairo_line_to(cr, p[0].x, p[0].y);
            break;
        case PathElementType::AddQuadCurveToPoint: {
            double x0 = p[0].x, y0 = p[0].y;
            if (!finite(p[0]) || !finite(p[1])) break;
            if (cairo_has_current_point(cr)) cairo_get_current_point(cr, &x0, &y0);
            cairo_curve_to(cr, x0 + 2.0 / 3.0 * (p[0].x - x0), y0 + 2.0 / 3.0 * (p[0].y - y0),
                           p[1].x + 2.0 / 3.0 * (p[0].x - p[1].x), p[1].y + 2.0 / 3.0 * (p[0].y - p[1].y), p[1].x,
                           p[1].y);
            break;
        }
        case PathElementType::AddCurveToPoint:
            if (finite(p[0]) && finite(p[1]) && finite(p[2]))
                cairo_curve_to(cr, p[0].x, p[0].y, p[1].x, p[1].y, p[2].x, p[2].y);
            break;
        case PathElementType::CloseSubpath: cairo_close_path(cr); break;
        }
    }
}

cairo_fill_rule_t cairoRule(FillRule rule) {
    return rule == FillRule::EvenOdd ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING;
}

cairo_operator_t cairoOperator(BlendMode mode) {
    switch (mode) {
    case BlendMode::Normal: return CAIRO_OPERATOR_OVER;
    case BlendMode::Multiply: return CAIRO_OPERATOR_MULTIPLY;
    case BlendMode::Screen: return CAIRO_OPERATOR_SCREEN;
    case BlendMode::Overlay: return CAIRO_OPERATOR_OVERLAY;
    case BlendMode::Darken: return CAIRO_OPERATOR_DARKEN;
    case BlendMode::Lighten: return CAIRO_OPERATOR_LIGHTEN;
    case BlendMode::ColorDodge: return CAIRO_OPERATOR_COLOR_DODGE;
    case BlendMode::ColorBurn: return CAIRO_OPERATOR_COLOR_BURN;
    case BlendMode::SoftLight: return CAIRO_OPERATOR_SOFT_LIGHT;
    case BlendMode::HardLight: return CAIRO_OPERATOR_HARD_LIGHT;
    case BlendMode::Difference: return CAIRO_OPERATOR_DIFFERENCE;
    case BlendMode::Exclusion: return CAIRO_OPERATOR_EXCLUSION;
    case BlendMode::Hue: return CAIRO_OPERATOR_HSL_HUE;
    case BlendMode::Saturation: return CAIRO_OPERATOR_HSL_SATURATION;
    case BlendMode::Color: return CAIRO_OPERATOR_HSL_COLOR;
    case BlendMode::Luminosity: return CAIRO_OPERATOR_HSL_LUMINOSITY;
    case BlendMode::Clear: return CAIRO_OPERATOR_CLEAR;
    case BlendMode::Copy: return CAIRO_OPERATOR_SOURCE;
    case BlendMode::SourceIn: return CAIRO_OPERATOR_IN;
    case BlendMode::SourceOut: return CAIRO_OPERATOR_OUT;
    case BlendMode::SourceAtop: return CAIRO_OPERATOR_ATOP;
    case BlendMode::DestinationOver: return CAIRO_OPERATOR_DEST_OVER;
    case BlendMode::DestinationIn: return CAIRO_OPERATOR_DEST_IN;
    case BlendMode::DestinationOut: return CAIRO_OPERATOR_DEST_OUT;
    case BlendMode::DestinationAtop: return CAIRO_OPERATOR_DEST_ATOP;
    case BlendMode::XOR: return CAIRO_OPERATOR_XOR;
    case BlendMode::PlusLighter: return CAIRO_OPERATOR_ADD;
    // No compositing operator subtracts; the darker sum is drawn as a multiply, its nearest relative.
    case BlendMode::PlusDarker: return CAIRO_OPERATOR_MULTIPLY;
    }
    return CAIRO_OPERATOR_OVER;
}

// Operators that change the destination where the source is transparent. The platform applies a blend
// mode only inside the shape drawn, so these are clipped to the shape first.
bool unbounded(cairo_operator_t op) {
    return op == CAIRO_OPERATOR_IN || op == CAIRO_OPERATOR_OUT || op == CAIRO_OPERATOR_DEST_IN ||
           op == CAIRO_OPERATOR_DEST_ATOP;
}

using SurfacePtr = std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)>;

// A Cairo view of the image's pixels, valid while the image lives.
SurfacePtr surfaceFor(const Image& image) {
    return {cairo_image_surface_create_for_data(
                reinterpret_cast<unsigned char*>(const_cast<std::uint32_t*>(image.pixels())), CAIRO_FORMAT_ARGB32,
                image.width(), image.height(), image.bytesPerRow()),
            &cairo_surface_destroy};
}

// An alpha-only copy of the image: its alpha, or its lightness when it has none.
SurfacePtr maskSurfaceFor(const Image& image) {
    SurfacePtr mask(cairo_image_surface_create(CAIRO_FORMAT_A8, image.width(), image.height()), &cairo_surface_destroy);
    cairo_surface_flush(mask.get());
    unsigned char* data = cairo_image_surface_get_data(mask.get());
    const int stride = cairo_image_surface_get_stride(mask.get());
    const bool alpha = image.hasAlpha();
    for (int y = 0; y < image.height(); ++y) {
        const std::uint32_t* row = image.pixels() + static_cast<std::size_t>(y) * static_cast<std::size_t>(image.width());
        for (int x = 0; x < image.width(); ++x) {
            const std::uint32_t p = row[x];
            const unsigned r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
            data[y * stride + x] = alpha ? static_cast<unsigned char>(p >> 24)
                                         : static_cast<unsigned char>((r * 77 + g * 150 + b * 29 + 128) >> 8);
        }
    }
    cairo_surface_mark_dirty(mask.get());
    return mask;
}

// The image as the source of `cr`, its pixel grid taken through `imageToDevice`.
void setImageSource(cairo_t* cr, cairo_surface_t* image, const AffineTransform& imageToDevice, cairo_extend_t extend,
                    cairo_filter_t filter) {
    setMatrix(cr, imageToDevice);
    cairo_set_source_surface(cr, image, 0, 0);
    cairo_pattern_set_extend(cairo_get_source(cr), extend);
    cairo_pattern_set_filter(cairo_get_source(cr), filter);
}

Path devicePathOf(const Rect& rect, const AffineTransform& ctm) {
    Path p;
    p.addRect(rect);
    return p.transformed(ctm);
}

}  // namespace

struct Context::Layer {
    std::size_t depth;
};

Context::Context(cairo_surface_t* surface, const AffineTransform& base)
    : surface_(cairo_surface_reference(surface)), cr_(cairo_create(surface)), base_(base) {
    states_.emplace_back();
    states_.back().ctm = base;
    cairo_set_line_width(cr_, 1);
    cairo_set_miter_limit(cr_, 10);
    if (usable(base)) setMatrix(cr_, base);
}

Context::~Context() {
    cairo_destroy(cr_);
    cairo_surface_destroy(surface_);
}

void Context::saveGState() {
    cairo_save(cr_);
    states_.push_back(state());
}

void Context::restoreGState() {
    const std::size_t floor = layers_.empty() ? 1 : layers_.back()->depth;
    if (states_.size() <= floor) return;
    cairo_restore(cr_);
    states_.pop_back();
}

AffineTransform Context::getCTM() const { return state().ctm; }

void Context::concatCTM(const AffineTransform& t) {
    state().ctm = concat(t, state().ctm);
    if (usable(state().ctm)) setMatrix(cr_, state().ctm);
}

void Context::translateCTM(double tx, double ty) { concatCTM(AffineTransform::makeTranslation(tx, ty)); }
void Context::scaleCTM(double sx, double sy) { concatCTM(AffineTransform::makeScale(sx, sy)); }
void Context::rotateCTM(double radians) { concatCTM(AffineTransform::makeRotation(radians)); }

// ---- current path ----

void Context::beginPath() { path_ = Path(); }

void Context::moveToPoint(double x, double y) { path_.moveTo(applyToPoint(state().ctm, {x, y})); }

void Context::addLineToPoint(double x, double y) { path_.lineTo(applyToPoint(state().ctm, {x, y})); }

void Context::addCurveToPoint(double cp1x, double cp1y, double cp2x, double cp2y, double x, double y) {
    const AffineTransform& t = state().ctm;
    path_.curveTo(applyToPoint(t, {cp1x, cp1y}), applyToPoint(t, {cp2x, cp2y}), applyToPoint(t, {x, y}));
}

void Context::addQuadCurveToPoint(double cpx, double cpy, double x, double y) {
    path_.quadCurveTo(applyToPoint(state().ctm, {cpx, cpy}), applyToPoint(state().ctm, {x, y}));
}

void Context::closePath() { path_.closeSubpath(); }

void Context::addUserPath(const std::function<void(Path&)>& build) {
    Path user;
    const bool continuing = path_.currentPoint().has_value();
    if (continuing) user.moveTo(applyToPoint(invert(state().ctm), *path_.currentPoint()));
    build(user);
    const auto& elements = user.elements();
    for (std::size_t i = continuing ? 1 : 0; i < elements.size(); ++i) {
        const PathElement& e = elements[i];
        const AffineTransform& t = state().ctm;
        switch (e.type) {
        case PathElementType::MoveToPoint: path_.moveTo(applyToPoint(t, e.points[0])); break;
        case PathElementType::AddLineToPoint: path_.lineTo(applyToPoint(t, e.points[0])); break;
        case PathElementType::AddQuadCurveToPoint:
            path_.quadCurveTo(applyToPoint(t, e.points[0]), applyToPoint(t, e.points[1]));
            break;
        case PathElementType::AddCurveToPoint:
            path_.curveTo(applyToPoint(t, e.points[0]), applyToPoint(t, e.points[1]), applyToPoint(t, e.points[2]));
            break;
        case PathElementType::CloseSubpath: path_.closeSubpath(); break;
        }
    }
}

void Context::addRect(const Rect& rect) {
    addUserPath([&](Path& p) { p.addRect(rect); });
}

void Context::addRects(const std::vector<Rect>& rects) {
    for (const Rect& r : rects) addRect(r);
}

void Context::addLines(const std::vector<Point>& points) {
    addUserPath([&](Path& p) { p.addLines(points); });
}

void Context::addEllipseInRect(const Rect& rect) {
    addUserPath([&](Path& p) { p.addEllipseInRect(rect); });
}

void Context::addArc(double x, double y, double radius, double startAngle, double endAngle, bool clockwise) {
    addUserPath([&](Path& p) { p.addArc({x, y}, radius, startAngle, endAngle, clockwise); });
}

void Context::addArcToPoint(double x1, double y1, double x2, double y2, double radius) {
    addUserPath([&](Path& p) { p.addArcToPoint({x1, y1}, {x2, y2}, radius); });
}

void Context::addPath(const Path& path) { path_.addPath(path, state().ctm); }

bool Context::isPathEmpty() const { return path_.isEmpty(); }

Point Context::getPathCurrentPoint() const {
    const auto current = path_.currentPoint();
    return current ? applyToPoint(invert(state().ctm), *current) : Point{};
}

Rect Context::getPathBoundingBox() const {
    if (path_.isEmpty()) return Rect::null();
    return applyToRect(invert(state().ctm), path_.boundingBox());
}

Path Context::copyPath() const { return path_.transformed(invert(state().ctm)); }

bool Context::pathContainsPoint(Point p, PathDrawingMode mode) const {
    const Point device = applyToPoint(state().ctm, p);
    const bool evenOdd = mode == PathDrawingMode::EOFill || mode == PathDrawingMode::EOFillStroke;
    if (mode != PathDrawingMode::Stroke && path_.containsPoint(device, evenOdd ? FillRule::EvenOdd : FillRule::Winding))
        return true;
    if (mode == PathDrawingMode::Fill || mode == PathDrawingMode::EOFill || !usable(state().ctm)) return false;
    cairo_save(cr_);
    cairo_identity_matrix(cr_);
    replay(cr_, path_);
    setMatrix(cr_, state().ctm);
    const bool inside = cairo_in_stroke(cr_, p.x, p.y);
    cairo_new_path(cr_);
    cairo_restore(cr_);
    return inside;
}

// ---- painting ----

void Context::setSource(const Color& color, double alpha) const {
    if (!color.isPattern() || !color.patternImage()) return setSourceRGBA(cr_, color.rgba(), alpha);
    // Tiles sit upright in device space, starting at the base space's origin.
    const Image& image = *color.patternImage();
    const Size tile = applyToSize(base_, color.patternTile());
    const double tw = std::fabs(tile.width), th = std::fabs(tile.height);
    if (tw <= 0 || th <= 0) {
        cairo_set_source_rgba(cr_, 0, 0, 0, 0);
        return;
    }
    const Point origin = applyToPoint(base_, {});
    const double top = tile.height < 0 ? origin.y - th : origin.y;
    SurfacePtr surface = surfaceFor(image);
    cairo_pattern_t* pattern = cairo_pattern_create_for_surface(surface.get());
    cairo_pattern_set_extend(pattern, CAIRO_EXTEND_REPEAT);
    cairo_matrix_t m;
    cairo_matrix_init_scale(&m, image.width() / tw, image.height() / th);
    cairo_matrix_translate(&m, -origin.x, -top);
    cairo_pattern_set_matrix(pattern, &m);
    cairo_set_source(cr_, pattern);
    cairo_pattern_destroy(pattern);
}

bool Context::hasShadow() const {
    const Shadow& s = state().shadow;
    return s.color && s.color->alpha() > 0;
}

void Context::render(const std::function<void(cairo_t*, double)>& draw, const Path* shape, FillRule rule,
                     bool drawAppliesAlpha) {
    const State& s = state();
    const cairo_operator_t op = cairoOperator(s.blend);
    const bool direct = !hasShadow() && !s.mask && (drawAppliesAlpha || s.alpha >= 1);
    cairo_save(cr_);
    if (unbounded(op) && shape) {
        cairo_identity_matrix(cr_);
        replay(cr_, *shape);
        cairo_set_fill_rule(cr_, cairoRule(rule));
        cairo_clip(cr_);
    }
    if (usable(s.ctm)) setMatrix(cr_, s.ctm);
    if (direct) {
        cairo_set_operator(cr_, op);
        draw(cr_, s.alpha);
        cairo_restore(cr_);
        return;
    }
    // A popped group's pattern maps the user space current at its push; pushing with the identity makes
    // that device space, which composite relies on.
    cairo_identity_matrix(cr_);
    cairo_push_group(cr_);
    if (usable(s.ctm)) setMatrix(cr_, s.ctm);
    cairo_set_operator(cr_, CAIRO_OPERATOR_OVER);
    draw(cr_, 1.0);
    cairo_pattern_t* content = cairo_pop_group(cr_);
    cairo_set_operator(cr_, op);
    composite(content);
    cairo_pattern_destroy(content);
    cairo_restore(cr_);
}

void Context::composite(cairo_pattern_t* content) {
    const State& s = state();
    cairo_pattern_t* source = content;
    cairo_pattern_t* combined = nullptr;
    if (hasShadow()) {
        const cairo_operator_t op = cairo_get_operator(cr_);
        cairo_push_group(cr_);
        cairo_set_operator(cr_, CAIRO_OPERATOR_OVER);
        drawShadow(content);
        cairo_set_source(cr_, content);
        cairo_paint(cr_);
        combined = cairo_pop_group(cr_);
        cairo_set_operator(cr_, op);
        source = combined;
    }
    if (s.mask) {
        if (s.alpha < 1) {
            cairo_push_group(cr_);
            cairo_set_source(cr_, source);
            cairo_paint_with_alpha(cr_, s.alpha);
            cairo_pattern_t* faded = cairo_pop_group(cr_);
            if (combined) cairo_pattern_destroy(combined);
            combined = faded;
            source = faded;
        }
        cairo_set_source(cr_, source);
        cairo_mask_surface(cr_, s.mask.get(), 0, 0);
    } else {
        cairo_set_source(cr_, source);
        cairo_paint_with_alpha(cr_, s.alpha);
    }
    if (combined) cairo_pattern_destroy(combined);
}

void Context::drawShadow(cairo_pattern_t* content) {
    const Shadow& shadow = state().shadow;
    const Size offset = applyToSize(base_, shadow.offset);
    const double scale = std::sqrt(std::fabs(base_.a * base_.d - base_.b * base_.c));
    const int radius = boxBlurRadius(shadow.blur * scale / 2);
    double x1, y1, x2, y2;
    cairo_clip_extents(cr_, &x1, &y1, &x2, &y2);
    // The shadow of content clipped away can fall inside the clip; the content is drawn whole beyond it by
    // the blur's reach and the offset.
    const int pad = 3 * radius + 1;
    const int left = static_cast<int>(std::floor(x1 - offset.width)) - pad;
    const int top = static_cast<int>(std::floor(y1 - offset.height)) - pad;
    const int w = static_cast<int>(std::ceil(x2 - x1)) + 2 * pad + 1;
    const int h = static_cast<int>(std::ceil(y2 - y1)) + 2 * pad + 1;
    if (w <= 0 || h <= 0 || !imageSizeAllowed(static_cast<std::size_t>(w), static_cast<std::size_t>(h))) return;
    SurfacePtr alpha(cairo_image_surface_create(CAIRO_FORMAT_A8, w, h), &cairo_surface_destroy);
    cairo_t* c = cairo_create(alpha.get());
    cairo_translate(c, -left, -top);
    cairo_set_source(c, content);
    cairo_paint(c);
    cairo_destroy(c);
    boxBlurAlpha(alpha.get(), radius);
    setSourceRGBA(cr_, shadow.color->rgba());
    cairo_mask_surface(cr_, alpha.get(), left + offset.width, top + offset.height);
}

void Context::fillCurrent(FillRule rule) {
    const Path shape = std::exchange(path_, Path());
    const Color fill = state().fill;
    render(
        [&](cairo_t* cr, double alpha) {
            cairo_identity_matrix(cr);
            setSource(fill, alpha);
            replay(cr, shape);
            cairo_set_fill_rule(cr, cairoRule(rule));
            if (fill.isPattern() && alpha < 1) {
                cairo_clip(cr);
                cairo_paint_with_alpha(cr, alpha);
            } else {
                cairo_fill(cr);
            }
        },
        &shape, rule);
}

void Context::strokeCurrent() {
    const Path shape = std::exchange(path_, Path());
    if (!usable(state().ctm)) return;
    const Color stroke = state().stroke;
    const AffineTransform ctm = state().ctm;
    render(
        [&](cairo_t* cr, double alpha) {
            cairo_identity_matrix(cr);
            setSource(stroke, alpha);
            replay(cr, shape);
            setMatrix(cr, ctm);
            cairo_stroke(cr);
        },
        nullptr, FillRule::Winding, !stroke.isPattern());
}

void Context::fillPath() { fillCurrent(FillRule::Winding); }
void Context::eoFillPath() { fillCurrent(FillRule::EvenOdd); }
void Context::strokePath() { strokeCurrent(); }

void Context::drawPath(PathDrawingMode mode) {
    if (mode == PathDrawingMode::Fill) return fillPath();
    if (mode == PathDrawingMode::EOFill) return eoFillPath();
    if (mode == PathDrawingMode::Stroke) return strokePath();
    // Fill and stroke paint as one piece, so that a shadow falls once behind both.
    const Path shape = std::exchange(path_, Path());
    const FillRule rule = mode == PathDrawingMode::EOFillStroke ? FillRule::EvenOdd : FillRule::Winding;
    const Color fill = state().fill;
    const Color stroke = state().stroke;
    const AffineTransform ctm = state().ctm;
    render(
        [&](cairo_t* cr, double alpha) {
            cairo_identity_matrix(cr);
            setSource(fill, alpha);
            replay(cr, shape);
            cairo_set_fill_rule(cr, cairoRule(rule));
            cairo_fill_preserve(cr);
            if (!usable(ctm)) return cairo_new_path(cr);
            setSource(stroke, alpha);
            setMatrix(cr, ctm);
            cairo_stroke(cr);
        },
        nullptr, rule, !fill.isPattern() && !stroke.isPattern());
}

void Context::drawAside(PathDrawingMode mode, const std::function<void()>& addShape) {
    Path kept = std::exchange(path_, Path());
    addShape();
    drawPath(mode);
    path_ = std::move(kept);
}

void Context::fillRect(const Rect& rect) { fillRects({rect}); }

void Context::fillRects(const std::vector<Rect>& rects) {
    drawAside(PathDrawingMode::Fill, [&] { addRects(rects); });
}

void Context::strokeRect(const Rect& rect) {
    drawAside(PathDrawingMode::Stroke, [&] { addRect(rect); });
}

void Context::strokeRectWithWidth(const Rect& rect, double width) {
    const double old = lineWidth();
    setLineWidth(width);
    strokeRect(rect);
    setLineWidth(old);
}

void Context::clearRect(const Rect& rect) {
    cairo_save(cr_);
    cairo_identity_matrix(cr_);
    replay(cr_, devicePathOf(rect, state().ctm));
    cairo_set_operator(cr_, CAIRO_OPERATOR_CLEAR);
    cairo_fill(cr_);
    cairo_restore(cr_);
}

void Context::fillEllipseInRect(const Rect& rect) {
    drawAside(PathDrawingMode::Fill, [&] { addEllipseInRect(rect); });
}

void Context::strokeEllipseInRect(const Rect& rect) {
    drawAside(PathDrawingMode::Stroke, [&] { addEllipseInRect(rect); });
}

void Context::strokeLineSegments(const std::vector<Point>& points) {
    beginPath();
    for (std::size_t i = 0; i + 1 < points.size(); i += 2) {
        moveToPoint(points[i].x, points[i].y);
        addLineToPoint(points[i + 1].x, points[i + 1].y);
    }
    strokeCurrent();
}

// ---- clipping ----

void Context::clip() { clipDevicePath(std::exchange(path_, Path()), FillRule::Winding); }

void Context::eoClip() { clipDevicePath(std::exchange(path_, Path()), FillRule::EvenOdd); }

void Context::clipDevicePath(const Path& devicePath, FillRule rule) {
    // cairo_clip works in device space whatever the matrix, so the path goes in with the identity.
    cairo_matrix_t kept;
    cairo_get_matrix(cr_, &kept);
    cairo_identity_matrix(cr_);
    replay(cr_, devicePath);
    cairo_set_fill_rule(cr_, cairoRule(rule));
    cairo_clip(cr_);
    cairo_set_matrix(cr_, &kept);
}

void Context::clipToRect(const Rect& rect) { clipToRects({rect}); }

void Context::clipToRects(const std::vector<Rect>& rects) {
    Path p;
    for (const Rect& r : rects) p.addRect(r);
    clipDevicePath(p.transformed(state().ctm), FillRule::Winding);
}

void Context::clipToMask(const Rect& rect, const Image& mask) {
    const int width = cairo_image_surface_get_width(surface_);
    const int height = cairo_image_surface_get_height(surface_);
    SurfacePtr combined(cairo_image_surface_create(CAIRO_FORMAT_A8, width, height), &cairo_surface_destroy);
    const AffineTransform imageToDevice = concat(imageToUserIn(rect, mask), state().ctm);
    if (usable(imageToDevice)) {
        SurfacePtr source = maskSurfaceFor(mask);
        cairo_t* c = cairo_create(combined.get());
        setImageSource(c, source.get(), imageToDevice, CAIRO_EXTEND_PAD, filter());
        cairo_rectangle(c, 0, 0, mask.width(), mask.height());
        cairo_fill(c);
        if (state().mask) {
            cairo_identity_matrix(c);
            cairo_set_operator(c, CAIRO_OPERATOR_DEST_IN);
            cairo_set_source_surface(c, state().mask.get(), 0, 0);
            cairo_paint(c);
        }
        cairo_destroy(c);
    }
    cairo_surface_t* raw = combined.release();
    state().mask = std::shared_ptr<cairo_surface_t>(raw, &cairo_surface_destroy);
    // Nothing outside the mask's rectangle can show any more.
    clipToRect(rect);
}

Rect Context::getClipBoundingBox() const {
    double x1, y1, x2, y2;
    cairo_save(cr_);
    cairo_identity_matrix(cr_);
    cairo_clip_extents(cr_, &x1, &y1, &x2, &y2);
    cairo_restore(cr_);
    if (x2 <= x1 || y2 <= y1) return Rect::null();
    return applyToRect(invert(state().ctm), {x1, y1, x2 - x1, y2 - y1});
}

// ---- state ----

void Context::setLineWidth(double width) {
    if (std::isfinite(width) && width >= 0) cairo_set_line_width(cr_, width);
}

void Context::setLineCap(LineCap cap) {
    cairo_set_line_cap(cr_, cap == LineCap::Round    ? CAIRO_LINE_CAP_ROUND
                            : cap == LineCap::Square ? CAIRO_LINE_CAP_SQUARE
                                                     : CAIRO_LINE_CAP_BUTT);
}

void Context::setLineJoin(LineJoin join) {
    cairo_set_line_join(cr_, join == LineJoin::Round   ? CAIRO_LINE_JOIN_ROUND
                             : join == LineJoin::Bevel ? CAIRO_LINE_JOIN_BEVEL
                                                       : CAIRO_LINE_JOIN_MITER);
}

void Context::setMiterLimit(double limit) {
    if (std::isfinite(limit) && limit >= 1) cairo_set_miter_limit(cr_, limit);
}

void Context::setLineDash(double phase, const std::vector<double>& lengths) {
    const bool valid = std::all_of(lengths.begin(), lengths.end(), [](double l) { return std::isfinite(l) && l >= 0; });
    const bool any = std::any_of(lengths.begin(), lengths.end(), [](double l) { return l > 0; });
    if (!valid || !any || !std::isfinite(phase)) return cairo_set_dash(cr_, nullptr, 0, 0);
    cairo_set_dash(cr_, lengths.data(), static_cast<int>(lengths.size()), phase);
}

double Context::lineWidth() const { return cairo_get_line_width(cr_); }

void Context::setFillColor(const Color& color) { state().fill = color; }
void Context::setStrokeColor(const Color& color) { state().stroke = color; }
const Color& Context::fillColor() const { return state().fill; }
const Color& Context::strokeColor() const { return state().stroke; }
void Context::setAlpha(double alpha) { state().alpha = std::clamp(std::isfinite(alpha) ? alpha : 1.0, 0.0, 1.0); }
double Context::alpha() const { return state().alpha; }
void Context::setBlendMode(BlendMode mode) { state().blend = mode; }
BlendMode Context::blendMode() const { return state().blend; }

void Context::setShouldAntialias(bool antialias) {
    cairo_set_antialias(cr_, antialias ? CAIRO_ANTIALIAS_DEFAULT : CAIRO_ANTIALIAS_NONE);
}

void Context::setInterpolationQuality(InterpolationQuality quality) { state().interpolation = quality; }

cairo_filter_t Context::filter() const {
    switch (state().interpolation) {
    case InterpolationQuality::None: return CAIRO_FILTER_NEAREST;
    case InterpolationQuality::Low: return CAIRO_FILTER_FAST;
    case InterpolationQuality::High: return CAIRO_FILTER_BEST;
    default: return CAIRO_FILTER_GOOD;
    }
}

void Context::setShadow(Size offset, double blur) { setShadowWithColor(offset, blur, Color::gray(0, 1.0 / 3.0)); }

void Context::setShadowWithColor(Size offset, double blur, const std::optional<Color>& color) {
    state().shadow = {offset, std::max(0.0, std::isfinite(blur) ? blur : 0.0), color};
}

// ---- layers ----

void Context::beginTransparencyLayer() {
    saveGState();
    State& s = state();
    s.alpha = 1;
    s.blend = BlendMode::Normal;
    s.shadow = {};
    s.mask.reset();
    cairo_identity_matrix(cr_);
    cairo_push_group(cr_);
    if (usable(s.ctm)) setMatrix(cr_, s.ctm);
    layers_.push_back(std::make_unique<Layer>(Layer{states_.size()}));
}

void Context::endTransparencyLayer() {
    if (layers_.empty()) return;
    const std::size_t depth = layers_.back()->depth;
    while (states_.size() > depth) {
        cairo_restore(cr_);
        states_.pop_back();
    }
    cairo_pattern_t* content = cairo_pop_group(cr_);
    layers_.pop_back();
    restoreGState();
    cairo_save(cr_);
    cairo_identity_matrix(cr_);
    cairo_set_operator(cr_, cairoOperator(state().blend));
    if (hasShadow() || state().mask || state().alpha < 1 || state().blend != BlendMode::Normal) {
        composite(content);
    } else {
        cairo_set_source(cr_, content);
        cairo_paint(cr_);
    }
    cairo_restore(cr_);
    cairo_pattern_destroy(content);
}

// ---- effects ----

void Context::blurDrawnPixels(const Rect& rect, double sigma, double saturation, const Color& tint) {
    const AffineTransform& t = state().ctm;
    if (!usable(t) || rectIsEmpty(rect)) return;
    cairo_surface_t* target = cairo_get_group_target(cr_);
    if (cairo_surface_get_type(target) != CAIRO_SURFACE_TYPE_IMAGE) return;
    const cairo_format_t format = cairo_image_surface_get_format(target);
    if (format != CAIRO_FORMAT_ARGB32 && format != CAIRO_FORMAT_RGB24) return;
    // The rectangle's corners in device pixels, and the target's pixels around them.
    const Point corners[4] = {applyToPoint(t, {minX(rect), minY(rect)}), applyToPoint(t, {maxX(rect), minY(rect)}),
                              applyToPoint(t, {maxX(rect), maxY(rect)}), applyToPoint(t, {minX(rect), maxY(rect)})};
    double ox = 0, oy = 0;
    cairo_surface_get_device_offset(target, &ox, &oy);
    double left = corners[0].x, right = left, top = corners[0].y, bottom = top;
    for (const Point& p : corners) {
        left = std::min(left, p.x), right = std::max(right, p.x), top = std::min(top, p.y), bottom = std::max(bottom, p.y);
    }
    const int surfaceWidth = cairo_image_surface_get_width(target), surfaceHeight = cairo_image_surface_get_height(target);
    const int x0 = std::clamp(static_cast<int>(std::floor(left + ox)), 0, surfaceWidth);
    const int x1 = std::clamp(static_cast<int>(std::ceil(right + ox)), 0, surfaceWidth);
    const int y0 = std::clamp(static_cast<int>(std::floor(top + oy)), 0, surfaceHeight);
    const int y1 = std::clamp(static_cast<int>(std::ceil(bottom + oy)), 0, surfaceHeight);
    const int w = x1 - x0, h = y1 - y0;
    if (w <= 0 || h <= 0) return;
    cairo_surface_flush(target);
    const unsigned char* data = cairo_image_surface_get_data(target);
    const int stride = cairo_image_surface_get_stride(target);
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
    for (int y = 0; y < h; ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y0 + y) * stride) + x0;
        std::uint32_t* out = pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(w);
        for (int x = 0; x < w; ++x) out[x] = format == CAIRO_FORMAT_RGB24 ? row[x] | 0xFF000000u : row[x];
    }
    const double scale = std::sqrt(std::abs(t.a * t.d - t.b * t.c));
    backdropEffect(pixels.data(), w, h, boxBlurRadius(sigma * scale), saturation, tint);
    cairo_surface_t* effect = cairo_image_surface_create_for_data(reinterpret_cast<unsigned char*>(pixels.data()),
                                                                  CAIRO_FORMAT_ARGB32, w, h, w * 4);
    // In place of what was there, inside the rectangle and the clip.
    cairo_save(cr_);
    cairo_identity_matrix(cr_);
    cairo_new_path(cr_);
    cairo_move_to(cr_, corners[0].x, corners[0].y);
    for (int i = 1; i < 4; ++i) cairo_line_to(cr_, corners[i].x, corners[i].y);
    cairo_close_path(cr_);
    cairo_clip(cr_);
    cairo_set_operator(cr_, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_surface(cr_, effect, x0 - ox, y0 - oy);
    cairo_paint(cr_);
    cairo_restore(cr_);
    cairo_surface_destroy(effect);
}

// ---- gradients and images ----

namespace {

// Builds Cairo stops for the part [lo, hi] of a gradient's parameter, so that areas outside the platform's
// drawn range get nothing (EXTEND_NONE) while its extended ranges keep the end colours.
void addStops(cairo_pattern_t* pattern, const Gradient& gradient, double lo, double hi) {
    auto addStop = [pattern](double offset, const RGBA& color) {
        const RGBA c = clamped(color);
        cairo_pattern_add_color_stop_rgba(pattern, offset, c.r, c.g, c.b, c.a);
    };
    const double span = hi - lo;
    const auto& stops = gradient.stops();
    for (const Gradient::Stop& stop : stops) addStop((stop.location - lo) / span, stop.color);
    addStop(0, stops.front().color);
    addStop(1, stops.back().color);
    cairo_pattern_set_extend(pattern, CAIRO_EXTEND_NONE);
}

std::array<Point, 4> userClipCorners(cairo_t* cr) {
    double x1, y1, x2, y2;
    cairo_clip_extents(cr, &x1, &y1, &x2, &y2);
    return {Point{x1, y1}, Point{x2, y1}, Point{x1, y2}, Point{x2, y2}};
}

}  // namespace

void Context::drawLinearGradient(const Gradient& gradient, Point start, Point end, unsigned options) {
    if (gradient.stops().empty() || !usable(state().ctm)) return;
    const double dx = end.x - start.x, dy = end.y - start.y;
    const double len2 = dx * dx + dy * dy;
    if (len2 == 0 || !std::isfinite(len2)) return;
    render([&](cairo_t* cr, double alpha) {
        double lo = 0, hi = 1;
        for (const Point& p : userClipCorners(cr)) {
            const double t = ((p.x - start.x) * dx + (p.y - start.y) * dy) / len2;
            if (options & GradientDrawsBeforeStartLocation) lo = std::min(lo, t);
            if (options & GradientDrawsAfterEndLocation) hi = std::max(hi, t);
        }
        cairo_pattern_t* pattern =
            cairo_pattern_create_linear(start.x + lo * dx, start.y + lo * dy, start.x + hi * dx, start.y + hi * dy);
        addStops(pattern, gradient, lo, hi);
        cairo_set_source(cr, pattern);
        cairo_paint_with_alpha(cr, alpha);
        cairo_pattern_destroy(pattern);
    });
}

void Context::drawRadialGradient(const Gradient& gradient, Point startCenter, double startRadius, Point endCenter,
                                 double endRadius, unsigned options) {
    if (gradient.stops().empty() || !usable(state().ctm)) return;
    startRadius = std::fabs(startRadius);
    endRadius = std::fabs(endRadius);
    const double dcx = endCenter.x - startCenter.x, dcy = endCenter.y - startCenter.y, dr = endRadius - startRadius;
    render([&](cairo_t* cr, double alpha) {
        const auto corners = userClipCorners(cr);
        struct Circle {
            Point center;
            double radius;
        };
        auto circleAt = [&](double t) {
            return Circle{{startCenter.x + t * dcx, startCenter.y + t * dcy}, startRadius + t * dr};
        };
        // Whether the circle at t covers the whole clip, beyond which extending changes nothing.
        auto covers = [&](double t) {
            const Circle c = circleAt(t);
            return std::all_of(corners.begin(), corners.end(), [&](const Point& p) {
                return std::hypot(p.x - c.center.x, p.y - c.center.y) <= c.radius;
            });
        };
        // How far to extend in one direction: until the circles cover the clip or their radius reaches zero.
        auto reach = [&](double sign) {
            if (sign * dr < 0) return -startRadius / dr;
            double t = sign;
            for (int i = 0; i < 24 && !covers(t); ++i) t *= 2;
            return t;
        };
        const double lo = (options & GradientDrawsBeforeStartLocation) ? std::min(0.0, reach(-1)) : 0.0;
        const double hi = (options & GradientDrawsAfterEndLocation) ? std::max(1.0, reach(1)) : 1.0;
        const Circle from = circleAt(lo), to = circleAt(hi);
        cairo_pattern_t* pattern = cairo_pattern_create_radial(from.center.x, from.center.y, std::max(0.0, from.radius),
                                                               to.center.x, to.center.y, std::max(0.0, to.radius));
        addStops(pattern, gradient, lo, hi);
        cairo_set_source(cr, pattern);
        cairo_paint_with_alpha(cr, alpha);
        cairo_pattern_destroy(pattern);
    });
}

void Context::drawImage(const Rect& rect, const Image& image) { drawImage(image, imageToUserIn(rect, image)); }

void Context::drawImage(const Image& image, const AffineTransform& imageToUser) {
    const AffineTransform imageToDevice = concat(imageToUser, state().ctm);
    if (!usable(imageToDevice)) return;
    SurfacePtr surface = surfaceFor(image);
    const cairo_filter_t f = filter();
    const Path shape = devicePathOf({0, 0, static_cast<double>(image.width()), static_cast<double>(image.height())},
                                    imageToDevice);
    render(
        [&](cairo_t* cr, double alpha) {
            // Padding keeps the edges crisp when the image is scaled; the rectangle bounds it.
            setImageSource(cr, surface.get(), imageToDevice, CAIRO_EXTEND_PAD, f);
            cairo_rectangle(cr, 0, 0, image.width(), image.height());
            cairo_clip(cr);
            cairo_paint_with_alpha(cr, alpha);
        },
        &shape);
    cairo_surface_finish(surface.get());
}

void Context::drawTiledImage(const Rect& rect, const Image& image) {
    if (rect.size.width == 0 || rect.size.height == 0) return;
    const AffineTransform imageToDevice = concat(imageToUserIn(rect, image), state().ctm);
    if (!usable(imageToDevice)) return;
    SurfacePtr surface = surfaceFor(image);
    const cairo_filter_t f = filter();
    render([&](cairo_t* cr, double alpha) {
        setImageSource(cr, surface.get(), imageToDevice, CAIRO_EXTEND_REPEAT, f);
        cairo_paint_with_alpha(cr, alpha);
    });
    cairo_surface_finish(surface.get());
}

void Context::paint(const std::function<void(cairo_t*, double)>& draw) { render(draw); }

void Context::flush() { cairo_surface_flush(surface_); }

}  // namespace ql::cg
