#pragma once
// ui::View: a rectangle of the screen with its own coordinates, a place in a tree of views and a layer
// that shows it. Views are headless but real: geometry, hierarchy, autoresizing and layout passes,
// drawing into a display pass, coordinate conversion, hit-testing and their part of the responder chain.
// Views are made with std::make_shared; the constructor is the platform's initWithFrame:.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/graphics/Geometry.h"
#include "platform/ui/Layer.h"
#include "platform/ui/LayoutTypes.h"
#include "platform/ui/Responder.h"
#include "platform/ui/Selector.h"
#include "platform/ui/ViewTypes.h"

namespace ql::ui {

class Color;
class GestureRecognizer;
class LayoutConstraint;
class LayoutEngine;
class ViewController;
class Window;
struct ViewLayoutState;

class View : public Responder {
    QL_OBJECT_NAMED(View, Responder, "UIView")
public:
    View() : View(cg::Rect::zero()) {}
    explicit View(const cg::Rect& frame);
    ~View() override;

    const std::shared_ptr<Layer>& layer() const { return layer_; }

    // Geometry. The frame is in the superview's coordinates, the bounds in the view's own; the centre
    // is the layer's position. A bounds change (a scroll view's offset moves the origin) lays the view
    // out again; a size change also autoresizes the subviews and asks the superview to lay out.
    cg::Rect frame() const { return layer_->frame(); }
    void setFrame(const cg::Rect& frame);
    const cg::Rect& bounds() const { return layer_->bounds(); }
    virtual void setBounds(const cg::Rect& bounds);
    cg::Point center() const { return layer_->position(); }
    void setCenter(cg::Point center);
    const cg::AffineTransform& transform() const { return layer_->affineTransform(); }
    void setTransform(const cg::AffineTransform& transform);

    // Look.
    double alpha() const { return layer_->opacity(); }
    void setAlpha(double alpha);
    bool isHidden() const { return layer_->isHidden(); }
    virtual void setHidden(bool hidden);
    bool isOpaque() const { return layer_->isOpaque(); }
    void setOpaque(bool opaque) { layer_->setOpaque(opaque); }
    const std::shared_ptr<Color>& backgroundColor() const { return backgroundColor_; }
    virtual void setBackgroundColor(std::shared_ptr<Color> color);
    bool clipsToBounds() const { return layer_->masksToBounds(); }
    void setClipsToBounds(bool clips) { layer_->setMasksToBounds(clips); }
    ContentMode contentMode() const { return contentMode_; }
    void setContentMode(ContentMode mode);
    // The nearest tint colour set on this view or a superview; the platform's blue at the top.
    std::shared_ptr<Color> tintColor() const;
    void setTintColor(std::shared_ptr<Color> color);
    virtual void tintColorDidChange() {}
    // The mode in force: an automatic mode reads the superview's, and normal at the top. A change tells
    // the view and the subviews that follow it through tintColorDidChange.
    ViewTintAdjustmentMode tintAdjustmentMode() const;
    void setTintAdjustmentMode(ViewTintAdjustmentMode mode);

    std::int64_t tag() const { return tag_; }
    void setTag(std::int64_t tag) { tag_ = tag; }

    // Touch handling.
    bool isUserInteractionEnabled() const { return userInteractionEnabled_; }
    void setUserInteractionEnabled(bool enabled) { userInteractionEnabled_ = enabled; }
    bool isMultipleTouchEnabled() const { return multipleTouchEnabled_; }
    void setMultipleTouchEnabled(bool enabled) { multipleTouchEnabled_ = enabled; }
    bool isExclusiveTouch() const { return exclusiveTouch_; }
    void setExclusiveTouch(bool exclusive) { exclusiveTouch_ = exclusive; }

    // Autoresizing: how the frame follows a change of the superview's size.
    unsigned autoresizingMask() const { return autoresizingMask_; }
    void setAutoresizingMask(unsigned mask) { autoresizingMask_ = mask; }
    bool autoresizesSubviews() const { return autoresizesSubviews_; }
    void setAutoresizesSubviews(bool autoresizes) { autoresizesSubviews_ = autoresizes; }
    // Read by constraint layout; the views themselves only keep it.
    bool translatesAutoresizingMaskIntoConstraints() const { return translatesAutoresizingMask_; }
    void setTranslatesAutoresizingMaskIntoConstraints(bool translates) { translatesAutoresizingMask_ = translates; }

    // Accessibility facts that callers set and the device reads to find views.
    const std::optional<std::string>& accessibilityLabel() const { return accessibilityLabel_; }
    void setAccessibilityLabel(std::optional<std::string> label) { accessibilityLabel_ = std::move(label); }
    const std::optional<std::string>& accessibilityIdentifier() const { return accessibilityIdentifier_; }
    void setAccessibilityIdentifier(std::optional<std::string> id) { accessibilityIdentifier_ = std::move(id); }
    bool isAccessibilityElement() const { return accessibilityElement_; }
    void setIsAccessibilityElement(bool element) { accessibilityElement_ = element; }

    // The tree. Adding a view that is already a subview moves it to the front; adding a superview of the
    // receiver raises "NSInvalidArgumentException".
    View* superview() const { return superview_; }
    const std::vector<std::shared_ptr<View>>& subviews() const { return subviews_; }
    Window* window() const { return window_; }
    void addSubview(const std::shared_ptr<View>& view);
    void insertSubview(const std::shared_ptr<View>& view, std::size_t index);
    void insertSubviewAbove(const std::shared_ptr<View>& view, const View* sibling);
    void insertSubviewBelow(const std::shared_ptr<View>& view, const View* sibling);
    void bringSubviewToFront(const View* view);
    void sendSubviewToBack(const View* view);
    void exchangeSubviewAtIndex(std::size_t index1, std::size_t index2);
    void removeFromSuperview();
    bool isDescendantOfView(const View* view) const;
    // Depth-first, the receiver first.
    View* viewWithTag(std::int64_t tag);
    std::shared_ptr<View> sharedFromThis() { return std::static_pointer_cast<View>(shared_from_this()); }

    // Told around changes of the tree; subclasses that override them need not call the base.
    virtual void willMoveToSuperview(View* /*newSuperview*/) {}
    virtual void didMoveToSuperview() {}
    virtual void willMoveToWindow(Window* /*newWindow*/) {}
    virtual void didMoveToWindow() {}
    virtual void didAddSubview(View* /*subview*/) {}
    virtual void willRemoveSubview(View* /*subview*/) {}

    // Layout passes. The display cycle lays out every window at the end of a turn of the main run loop
    // in which something asked; layoutIfNeeded does it at once, from the highest ancestor in need.
    void setNeedsLayout();
    bool needsLayout() const { return needsLayout_; }
    void layoutIfNeeded();
    // By default places the subviews that constraints lay out.
    virtual void layoutSubviews();
    virtual cg::Size sizeThatFits(cg::Size size) const;
    void sizeToFit();
    // No intrinsic metric in a dimension reads as kNoIntrinsicMetric.
    static constexpr double kNoIntrinsicMetric = -1;
    virtual cg::Size intrinsicContentSize() const { return {kNoIntrinsicMetric, kNoIntrinsicMetric}; }
    void invalidateIntrinsicContentSize();

    // ---- Constraint layout (ViewLayout.cpp) ----
    // Constraints held by a view are active; their items are the view and its descendants. Layout passes
    // of a tree that holds any solve them, together with the intrinsic sizes of the views that do not
    // translate their autoresizing mask into constraints, which their superviews' layoutSubviews place.
    const std::vector<std::shared_ptr<LayoutConstraint>>& constraints() const;
    void addConstraint(const std::shared_ptr<LayoutConstraint>& constraint);
    void addConstraints(const std::vector<std::shared_ptr<LayoutConstraint>>& constraints);
    void removeConstraint(const std::shared_ptr<LayoutConstraint>& constraint);
    void removeConstraints(const std::vector<std::shared_ptr<LayoutConstraint>>& constraints);
    // How hard the view resists growing beyond (hugging) and shrinking below (compression resistance) its
    // intrinsic size, per axis: 250 and 750 unless set.
    LayoutPriority contentHuggingPriorityForAxis(LayoutConstraintAxis axis) const;
    void setContentHuggingPriority(LayoutPriority priority, LayoutConstraintAxis axis);
    LayoutPriority contentCompressionResistancePriorityForAxis(LayoutConstraintAxis axis) const;
    void setContentCompressionResistancePriority(LayoutPriority priority, LayoutConstraintAxis axis);
    // Where the margin attributes lie inside the view: 8 points on every side unless set.
    cg::EdgeInsets layoutMargins() const;
    void setLayoutMargins(const cg::EdgeInsets& margins);
    // The size the constraints of the view and its descendants give it, as near to `targetSize` as they let
    // it be (LayoutFittingCompressedSize, LayoutFittingExpandedSize); the priorities say how hard each
    // dimension pulls towards the target, the fitting level by default and required to fix it.
    cg::Size systemLayoutSizeFittingSize(cg::Size targetSize);
    cg::Size systemLayoutSizeFittingSize(cg::Size targetSize, LayoutPriority horizontalFittingPriority,
                                         LayoutPriority verticalFittingPriority);
    // The update pass, before layout: views that asked have updateConstraints called, subviews before
    // their superviews. Overrides change their constraints there and call the base.
    virtual void updateConstraints();
    void setNeedsUpdateConstraints();
    bool needsUpdateConstraints() const;
    void updateConstraintsIfNeeded();

    // Drawing: drawRect runs in the display pass into the layer's contents, in the view's coordinates.
    void setNeedsDisplay() { layer_->setNeedsDisplay(); }
    void setNeedsDisplayInRect(const cg::Rect&) { layer_->setNeedsDisplay(); }
    virtual void drawRect(const cg::Rect& rect);

    // Coordinates. A null view stands for the window (or for the screen, in a window).
    cg::Point convertPointToView(cg::Point point, const View* view) const;
    cg::Point convertPointFromView(cg::Point point, const View* view) const;
    cg::Rect convertRectToView(const cg::Rect& rect, const View* view) const;
    cg::Rect convertRectFromView(const cg::Rect& rect, const View* view) const;

    // Hit-testing: the deepest visible, touchable view containing the point (in this view's coordinates).
    virtual View* hitTest(cg::Point point, Event* event);
    virtual bool pointInside(cg::Point point, Event* event) const;

    // Gesture recognisers attached to this view see the touches that hit it or its subviews first.
    void addGestureRecognizer(const std::shared_ptr<GestureRecognizer>& recognizer);
    void removeGestureRecognizer(const GestureRecognizer* recognizer);
    const std::vector<std::shared_ptr<GestureRecognizer>>& gestureRecognizers() const { return recognizers_; }
    // Asked when a recogniser attached to this view or above it wants to begin on a touch of this view.
    virtual bool gestureRecognizerShouldBegin(const GestureRecognizer& recognizer) const;

    // Ends editing of the first responder inside this view; `force` skips the field's consent.
    bool endEditing(bool force);

    // The controller whose root view this is, if any.
    ViewController* viewController() const { return controller_; }

    // Called on every object made by a nib builder once all of the nib's objects exist.
    virtual void awakeFromNib() {}

    // Responder.
    Responder* nextResponder() const override;
    bool becomeFirstResponder() override;
    bool resignFirstResponder() override;
    bool isFirstResponder() const override;

    std::string description() const override;

    // ---- Animations (ViewAnimation.cpp) ----
    // Changes of frame, bounds, centre, transform, alpha and background colour made inside the block are
    // recorded as animations of the layers; the model values change at once, and `completion` runs after
    // delay + duration on the main run loop's clock (on the next turn when nothing was animated).
    using Completion = std::function<void(bool finished)>;
    static void animate(double duration, std::function<void()> animations, Completion completion = {});
    static void animate(double duration, double delay, unsigned options, std::function<void()> animations,
                        Completion completion = {});
    static void animateWithSpring(double duration, double delay, double dampingRatio, double velocity,
                                  unsigned options, std::function<void()> animations, Completion completion = {});
    static void transitionWithView(const std::shared_ptr<View>& view, double duration, unsigned options,
                                   std::function<void()> animations, Completion completion = {});
    static void transitionFromView(const std::shared_ptr<View>& from, const std::shared_ptr<View>& to,
                                   double duration, unsigned options, Completion completion = {});
    static void performWithoutAnimation(const std::function<void()>& actions);
    static void setAnimationsEnabled(bool enabled);
    static bool areAnimationsEnabled();
    // The older form: begin, set the parameters, change properties, commit.
    static void beginAnimations(std::string animationID = {}, void* context = nullptr);
    static void commitAnimations();
    static void setAnimationDuration(double duration);
    static void setAnimationDelay(double delay);
    static void setAnimationCurve(ViewAnimationCurve curve);
    static void setAnimationRepeatCount(float count);
    static void setAnimationRepeatAutoreverses(bool autoreverses);
    static void setAnimationBeginsFromCurrentState(bool fromCurrentState);
    static void setAnimationDelegate(std::weak_ptr<ns::Object> delegate);
    // (animationID, context) and (animationID, finished, context); members may take fewer parameters.
    static void setAnimationWillStartSelector(Selector<const std::string&, void*> selector);
    static void setAnimationDidStopSelector(Selector<const std::string&, bool, void*> selector);

protected:
    // For views that need a layer of another class (the platform's layerClass).
    View(const cg::Rect& frame, std::shared_ptr<Layer> layer);
    // Hooks for subclasses that take part in first responder changes without replacing them.
    virtual void didBecomeFirstResponder() {}
    virtual void didResignFirstResponder() {}
    // Notes a change of an animatable property for the animation block being recorded, if any.
    void noteAnimatedChange(const char* keyPath);
    // The display pass's work for this view's layer: by default drawRect into the layer's contents, at the
    // screen's scale. Views that show a bitmap as it is set the contents instead.
    virtual void displayLayer(Layer& layer);

private:
    friend class ViewController;
    friend class Window;
    friend class Layer;
    friend class DisplayCycle;
    friend class LayoutEngine;

    void insertSubviewAt(const std::shared_ptr<View>& view, std::size_t index);
    void detachFromSuperview();
    void moveSubtreeToWindow(Window* window, bool will);
    void resizeSubviews(cg::Size oldSize);
    void layoutSubtree();
    static void setWindowOfSubtree(View* view, Window* window);
    // Runs the update pass and solves the tree's constraints before a layout pass (ViewLayout.cpp).
    void updateConstraintLayout();
    // Around a move out of the superview: the views above that hold constraints, and, once the view has
    // moved, removal of those of their constraints that name the view or a view inside it and whose items
    // are no longer all inside the view that holds them (ViewLayout.cpp).
    std::vector<std::shared_ptr<View>> constraintHoldersAbove() const;
    void dropConstraintsLeftBehind(const std::vector<std::shared_ptr<View>>& formerHolders);
    ViewLayoutState& layoutState();

    std::shared_ptr<Layer> layer_;
    View* superview_ = nullptr;
    Window* window_ = nullptr;
    ViewController* controller_ = nullptr;
    std::vector<std::shared_ptr<View>> subviews_;
    std::vector<std::shared_ptr<GestureRecognizer>> recognizers_;
    std::shared_ptr<Color> backgroundColor_;
    std::shared_ptr<Color> tintColor_;
    ViewTintAdjustmentMode tintAdjustmentMode_ = ViewTintAdjustmentMode::Automatic;
    ContentMode contentMode_ = ContentMode::ScaleToFill;
    std::int64_t tag_ = 0;
    unsigned autoresizingMask_ = ViewAutoresizingNone;
    bool autoresizesSubviews_ = true;
    bool translatesAutoresizingMask_ = true;
    bool userInteractionEnabled_ = true;
    bool multipleTouchEnabled_ = false;
    bool exclusiveTouch_ = false;
    bool needsLayout_ = false;
    bool accessibilityElement_ = false;
    std::optional<std::string> accessibilityLabel_;
    std::optional<std::string> accessibilityIdentifier_;
    std::shared_ptr<ViewLayoutState> layoutState_;
};

// Sets the frame to a changed copy of itself: the frame-accessor categories change one field at a time.
template <class Change>
void changeFrame(View& view, Change change) {
    cg::Rect frame = view.frame();
    change(frame);
    view.setFrame(frame);
}

}  // namespace ql::ui
