#pragma once
// cg::Context: a drawing context on a Cairo surface with the platform's drawing model: a current path built
// in user space, a graphics-state stack (transform, clip, colours, line style, alpha, blend mode, shadow),
// gradients, images and transparency layers. A context's base space is fixed when it is made: the
// platform's bitmap contexts have their origin at the bottom left with y up; contexts for the view layer
// have it at the top left with y down, in points, scaled to pixels. Shadow offsets and blur are measured in
// base space, as on the platform.

#include <cairo.h>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "platform/graphics/Color.h"
#include "platform/graphics/Geometry.h"
#include "platform/graphics/Gradient.h"
#include "platform/graphics/Image.h"
#include "platform/graphics/Path.h"

namespace ql::cg {

enum class LineCap { Butt, Round, Square };
enum class LineJoin { Miter, Round, Bevel };
enum class PathDrawingMode { Fill, EOFill, Stroke, FillStroke, EOFillStroke };
enum class InterpolationQuality { Default, None, Low, Medium, High };

// The platform's blend modes, with its numbering.
enum class BlendMode {
    Normal, Multiply, Screen, Overlay, Darken, Lighten, ColorDodge, ColorBurn, SoftLight, HardLight, Difference,
    Exclusion, Hue, Saturation, Color, Luminosity, Clear, Copy, SourceIn, SourceOut, SourceAtop, DestinationOver,
    DestinationIn, DestinationOut, DestinationAtop, XOR, PlusDarker, PlusLighter,
};

class Context {
public:
    // Draws on `surface` (an image surface; the context holds a reference), with `base` mapping base space
    // to the surface's pixels.
    Context(cairo_surface_t* surface, const AffineTransform& base);
    virtual ~Context();
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;

    // Graphics state. Restoring without a matching save does nothing.
    void saveGState();
    void restoreGState();

    // The transform from user space to the surface's pixels, base transform included.
    AffineTransform getCTM() const;
    void concatCTM(const AffineTransform& t);
    void translateCTM(double tx, double ty);
    void scaleCTM(double sx, double sy);
    void rotateCTM(double radians);
    const AffineTransform& baseTransform() const { return base_; }

    // The current path. Points are taken through the transform current when they are added; painting and
    // clipping consume the path.
    void beginPath();
    void moveToPoint(double x, double y);
    void addLineToPoint(double x, double y);
    void addCurveToPoint(double cp1x, double cp1y, double cp2x, double cp2y, double x, double y);
    void addQuadCurveToPoint(double cpx, double cpy, double x, double y);
    void closePath();
    void addRect(const Rect& rect);
    void addRects(const std::vector<Rect>& rects);
    void addLines(const std::vector<Point>& points);
    void addEllipseInRect(const Rect& rect);
    // `clockwise` in the platform's sense: true runs towards decreasing angles.
    void addArc(double x, double y, double radius, double startAngle, double endAngle, bool clockwise);
    void addArcToPoint(double x1, double y1, double x2, double y2, double radius);
    void addPath(const Path& path);
    bool isPathEmpty() const;
    // In user space; (0, 0) without a path.
    Point getPathCurrentPoint() const;
    Rect getPathBoundingBox() const;
    Path copyPath() const;
    bool pathContainsPoint(Point p, PathDrawingMode mode) const;

    // Painting.
    void fillPath();
    void eoFillPath();
    void strokePath();
    void drawPath(PathDrawingMode mode);
    void fillRect(const Rect& rect);
    void fillRects(const std::vector<Rect>& rects);
    void strokeRect(const Rect& rect);
    void strokeRectWithWidth(const Rect& rect, double width);
    void clearRect(const Rect& rect);
    void fillEllipseInRect(const Rect& rect);
    void strokeEllipseInRect(const Rect& rect);
    // Pairs of points, each pair one segment.
    void strokeLineSegments(const std::vector<Point>& points);

    // Clipping: intersects the clip with the current path (consumed), a rectangle, or an image used as a mask
    // over `rect` (its alpha when it has alpha, else its lightness; first row at the rect's max y, like
    // drawImage).
    void clip();
    void eoClip();
    void clipToRect(const Rect& rect);
    void clipToRects(const std::vector<Rect>& rects);
    void clipToMask(const Rect& rect, const Image& mask);
    Rect getClipBoundingBox() const;

    // Line style.
    void setLineWidth(double width);
    void setLineCap(LineCap cap);
    void setLineJoin(LineJoin join);
    void setMiterLimit(double limit);
    // No lengths (or all zero) turns dashing off.
    void setLineDash(double phase, const std::vector<double>& lengths);
    double lineWidth() const;

    // Colours and compositing.
    void setFillColor(const Color& color);
    void setStrokeColor(const Color& color);
    void setRGBFillColor(double r, double g, double b, double a) { setFillColor(Color::rgb(r, g, b, a)); }
    void setRGBStrokeColor(double r, double g, double b, double a) { setStrokeColor(Color::rgb(r, g, b, a)); }
    void setGrayFillColor(double white, double a) { setFillColor(Color::gray(white, a)); }
    void setGrayStrokeColor(double white, double a) { setStrokeColor(Color::gray(white, a)); }
    const Color& fillColor() const;
    const Color& strokeColor() const;
    void setAlpha(double alpha);
    double alpha() const;
    void setBlendMode(BlendMode mode);
    BlendMode blendMode() const;
    void setShouldAntialias(bool antialias);
    void setInterpolationQuality(InterpolationQuality quality);

    // Shadows: offset and blur in base space. setShadow uses black at one third alpha; a shadow without a
    // colour (or with a transparent one) turns shadows off.
    void setShadow(Size offset, double blur);
    void setShadowWithColor(Size offset, double blur, const std::optional<Color>& color);

    // Drawing inside a layer is composited as one piece, with the alpha, blend mode and shadow current at its
    // beginning, when it ends.
    void beginTransparencyLayer();
    void endTransparencyLayer();

    void drawLinearGradient(const Gradient& gradient, Point start, Point end, unsigned options);
    void drawRadialGradient(const Gradient& gradient, Point startCenter, double startRadius, Point endCenter,
                            double endRadius, unsigned options);
    // The platform's image drawing: the image fills `rect` with its first row at the rect's max y, which is
    // upright in a bottom-left context and upside down in a top-left one.
    void drawImage(const Rect& rect, const Image& image);
    // Draws the image's pixel grid (x right, y down, one unit per pixel) through `imageToUser`.
    void drawImage(const Image& image, const AffineTransform& imageToUser);
    // Tiles the image over the clip, one tile the size of `rect`, positioned as drawImage would draw it.
    void drawTiledImage(const Rect& rect, const Image& image);

    // What is drawn already inside `rect` (user space), blurred as by a Gaussian of standard deviation `sigma`
    // (user units) with its edges extended, its saturation multiplied by `saturation` and `tint` laid over
    // it: the backdrop of a blurring view. Only within the current transparency layer, if any.
    void blurDrawnPixels(const Rect& rect, double sigma, double saturation, const Color& tint);

    // The text state, which the text layer reads; not part of the graphics state, as on the platform.
    void setTextMatrix(const AffineTransform& t) { textMatrix_ = t; }
    const AffineTransform& textMatrix() const { return textMatrix_; }
    void setTextPosition(double x, double y) { textPosition_ = {x, y}; }
    Point textPosition() const { return textPosition_; }

    // For drawing that other layers do with Cairo directly (text): `draw` paints on the context's Cairo
    // handle in user space with the source it sets itself, multiplying its alpha by the given one; the
    // result gets the state's blend mode, shadow and masks.
    void paint(const std::function<void(cairo_t*, double alpha)>& draw);
    cairo_t* cairo() const { return cr_; }
    cairo_surface_t* surface() const { return surface_; }

    void flush();

private:
    struct Shadow {
        Size offset;
        double blur = 0;
        std::optional<Color> color;
    };
    struct Layer;
    struct State {
        AffineTransform ctm;
        Color fill;
        Color stroke;
        double alpha = 1;
        BlendMode blend = BlendMode::Normal;
        Shadow shadow;
        // Alpha masks from clipToMask, in device pixels, combined into one.
        std::shared_ptr<cairo_surface_t> mask;
        InterpolationQuality interpolation = InterpolationQuality::Default;
    };

    State& state() { return states_.back(); }
    const State& state() const { return states_.back(); }
    bool hasShadow() const;
    // Builds with `build` in user space (starting at the current point, if any) and appends to the path.
    void addUserPath(const std::function<void(Path&)>& build);
    void clipDevicePath(const Path& devicePath, FillRule rule);
    void setSource(const Color& color, double alpha) const;
    void fillCurrent(FillRule rule);
    void strokeCurrent();
    // Draws the shape `addShape` puts on an empty path, keeping the current path for later.
    void drawAside(PathDrawingMode mode, const std::function<void()>& addShape);
    // Runs `draw` (in user space) with the state's alpha, blend mode, shadow and masks. Blend modes that would
    // touch pixels outside what is drawn are confined to `shapeInDevice` when one is given. `drawAppliesAlpha`
    // says that `draw` honours the alpha it is given, so no group is needed for alpha alone.
    void render(const std::function<void(cairo_t*, double)>& draw, const Path* shapeInDevice = nullptr,
                FillRule rule = FillRule::Winding, bool drawAppliesAlpha = true);
    void composite(cairo_pattern_t* content);
    void drawShadow(cairo_pattern_t* content);
    cairo_filter_t filter() const;

    cairo_surface_t* surface_;
    cairo_t* cr_;
    AffineTransform base_;
    std::vector<State> states_;
    std::vector<std::unique_ptr<Layer>> layers_;
    // The current path in device pixels.
    Path path_;
    AffineTransform textMatrix_;
    Point textPosition_;
};

}  // namespace ql::cg
