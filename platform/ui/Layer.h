#pragma once
// ui::Layer: the visual node under every view, and a node of its own for drawings added to a view
// (shape layers). It keeps the geometry (bounds, position, anchor point, transform), the look the
// renderer composes (background, corner radius, border, shadow, opacity, masking, contents) and the
// tree of sublayers. A view's layer is that view's geometry: the view reads and writes it.

#include <map>
#include <optional>
#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/Object.h"
#include "platform/graphics/Color.h"
#include "platform/graphics/Geometry.h"
#include "platform/graphics/Image.h"
#include "platform/graphics/Path.h"
#include "platform/ui/Animation.h"

namespace ql::cg {
class Context;
}

namespace ql::ui {

class View;

// Where contents sit in the bounds, by the platform's gravity names.
enum class ContentsGravity {
    Center, Top, Bottom, Left, Right, TopLeft, TopRight, BottomLeft, BottomRight, Resize, ResizeAspect,
    ResizeAspectFill,
};

class Layer : public ns::Object {
    QL_OBJECT_NAMED(Layer, ns::Object, "CALayer")
public:
    Layer() = default;
    ~Layer() override;
    static std::shared_ptr<Layer> layer() { return std::make_shared<Layer>(); }

    // Geometry, in the superlayer's coordinates where not said otherwise.
    const cg::Rect& bounds() const { return bounds_; }
    void setBounds(const cg::Rect& bounds);
    cg::Point position() const { return position_; }
    void setPosition(cg::Point position);
    cg::Point anchorPoint() const { return anchorPoint_; }
    void setAnchorPoint(cg::Point anchor);
    const cg::AffineTransform& affineTransform() const { return transform_; }
    void setAffineTransform(const cg::AffineTransform& transform);
    // The bounding box of the transformed bounds. Setting it with a non-identity transform keeps the
    // transform and fits the bounds through its inverse.
    cg::Rect frame() const;
    void setFrame(const cg::Rect& frame);

    bool isHidden() const { return hidden_; }
    void setHidden(bool hidden) { hidden_ = hidden; }
    float opacity() const { return opacity_; }
    void setOpacity(float opacity) { opacity_ = opacity; }
    bool masksToBounds() const { return masksToBounds_; }
    void setMasksToBounds(bool masks) { masksToBounds_ = masks; }
    bool isOpaque() const { return opaque_; }
    void setOpaque(bool opaque) { opaque_ = opaque; }

    const std::optional<cg::Color>& backgroundColor() const { return backgroundColor_; }
    void setBackgroundColor(std::optional<cg::Color> color) { backgroundColor_ = std::move(color); }
    double cornerRadius() const { return cornerRadius_; }
    void setCornerRadius(double radius) { cornerRadius_ = radius; }
    double borderWidth() const { return borderWidth_; }
    void setBorderWidth(double width) { borderWidth_ = width; }
    // Opaque black unless set, as on the platform.
    const cg::Color& borderColor() const { return borderColor_; }
    void setBorderColor(const cg::Color& color) { borderColor_ = color; }

    const cg::Color& shadowColor() const { return shadowColor_; }
    void setShadowColor(const cg::Color& color) { shadowColor_ = color; }
    float shadowOpacity() const { return shadowOpacity_; }
    void setShadowOpacity(float opacity) { shadowOpacity_ = opacity; }
    cg::Size shadowOffset() const { return shadowOffset_; }
    void setShadowOffset(cg::Size offset) { shadowOffset_ = offset; }
    double shadowRadius() const { return shadowRadius_; }
    void setShadowRadius(double radius) { shadowRadius_ = radius; }
    // The outline that casts the shadow; without one, what the layer draws casts it.
    const std::optional<cg::Path>& shadowPath() const { return shadowPath_; }
    void setShadowPath(std::optional<cg::Path> path) { shadowPath_ = std::move(path); }

    // Rasterisation only changes how the platform caches a layer; the flags are kept for their readers.
    bool shouldRasterize() const { return shouldRasterize_; }
    void setShouldRasterize(bool rasterize) { shouldRasterize_ = rasterize; }
    double rasterizationScale() const { return rasterizationScale_; }
    void setRasterizationScale(double scale) { rasterizationScale_ = scale; }
    double contentsScale() const { return contentsScale_; }
    void setContentsScale(double scale) { contentsScale_ = scale; }

    const std::string& name() const { return name_; }
    void setName(std::string name) { name_ = std::move(name); }

    // A bitmap shown in the bounds by the gravity (its size in points is its pixel size over
    // contentsScale); a view's drawing lands here. With a contents centre (in unit coordinates of the
    // bitmap) smaller than the whole, the parts around it keep their size and only the centre stretches.
    const std::shared_ptr<const cg::Image>& contents() const { return contents_; }
    void setContents(std::shared_ptr<const cg::Image> contents) { contents_ = std::move(contents); }
    ContentsGravity contentsGravity() const { return contentsGravity_; }
    void setContentsGravity(ContentsGravity gravity) { contentsGravity_ = gravity; }
    const cg::Rect& contentsCenter() const { return contentsCenter_; }
    void setContentsCenter(const cg::Rect& center) { contentsCenter_ = center; }

    // Drawing. A layer marked as needing display draws itself in the next display pass.
    bool needsDisplay() const { return needsDisplay_; }
    void setNeedsDisplay();
    bool needsDisplayOnBoundsChange() const { return needsDisplayOnBoundsChange_; }
    void setNeedsDisplayOnBoundsChange(bool needs) { needsDisplayOnBoundsChange_ = needs; }
    // Draws now when marked: a view's layer asks its view, others draw with drawInContext.
    void displayIfNeeded();
    virtual void display();
    // A plain layer's own drawing, in its bounds' coordinates; nothing by default.
    virtual void drawInContext(cg::Context& context);
    // Composes the layer and its sublayers, as they are now, into `context` in this layer's coordinates.
    void renderInContext(cg::Context& context);

    // The tree.
    Layer* superlayer() const { return superlayer_; }
    const std::vector<std::shared_ptr<Layer>>& sublayers() const { return sublayers_; }
    void addSublayer(const std::shared_ptr<Layer>& layer);
    void insertSublayer(const std::shared_ptr<Layer>& layer, std::size_t index);
    void insertSublayerBelow(const std::shared_ptr<Layer>& layer, const Layer* sibling);
    void insertSublayerAbove(const std::shared_ptr<Layer>& layer, const Layer* sibling);
    void replaceSublayer(const Layer* old, const std::shared_ptr<Layer>& replacement);
    void removeFromSuperlayer();

    // The view this layer belongs to, if any.
    View* delegate() const { return view_; }

    // Coordinates between layers (through the common root space when the trees differ, which for
    // windows is the screen).
    cg::AffineTransform transformToSuperlayer() const;
    cg::AffineTransform transformToRoot() const;
    cg::Point convertPointToLayer(cg::Point point, const Layer* layer) const;
    cg::Point convertPointFromLayer(cg::Point point, const Layer* layer) const;
    cg::Rect convertRectToLayer(const cg::Rect& rect, const Layer* layer) const;
    cg::Rect convertRectFromLayer(const cg::Rect& rect, const Layer* layer) const;
    bool containsPoint(cg::Point point) const;

    // Animations. Adding one under a key already in use cuts the older short.
    void addAnimation(const std::shared_ptr<Animation>& animation, const std::string& key);
    std::shared_ptr<Animation> animationForKey(const std::string& key) const;
    std::vector<std::string> animationKeys() const;
    void removeAnimationForKey(const std::string& key);
    void removeAllAnimations();

protected:
    // Drawing of contents and own content, between the background and the sublayers.
    virtual void renderContents(cg::Context& context);

private:
    friend class View;
    void renderPathShadow(cg::Context& context) const;
    void animationTimeIsOver(const std::string& key, const std::shared_ptr<Animation>& animation);
    void detachSublayer(Layer* layer);
    // Removes, in one pass, the sublayers whose superlayer was cleared.
    void dropDetachedSublayers();
    void insertAt(const std::shared_ptr<Layer>& layer, std::size_t index);

    cg::Rect bounds_;
    cg::Point position_;
    cg::Point anchorPoint_{0.5, 0.5};
    cg::AffineTransform transform_;
    bool hidden_ = false;
    float opacity_ = 1;
    bool masksToBounds_ = false;
    bool opaque_ = false;
    std::optional<cg::Color> backgroundColor_;
    double cornerRadius_ = 0;
    double borderWidth_ = 0;
    cg::Color borderColor_ = cg::Color::gray(0, 1);
    cg::Color shadowColor_ = cg::Color::gray(0, 1);
    float shadowOpacity_ = 0;
    cg::Size shadowOffset_{0, -3};
    double shadowRadius_ = 3;
    std::optional<cg::Path> shadowPath_;
    bool shouldRasterize_ = false;
    double rasterizationScale_ = 1;
    double contentsScale_ = 1;
    std::string name_;
    std::shared_ptr<const cg::Image> contents_;
    ContentsGravity contentsGravity_ = ContentsGravity::Resize;
    cg::Rect contentsCenter_{0, 0, 1, 1};
    bool needsDisplay_ = false;
    bool needsDisplayOnBoundsChange_ = false;
    Layer* superlayer_ = nullptr;
    std::vector<std::shared_ptr<Layer>> sublayers_;
    View* view_ = nullptr;
    std::map<std::string, std::shared_ptr<Animation>> animations_;
    std::vector<std::string> animationOrder_;
};

}  // namespace ql::ui
