#include "platform/ui/View.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "platform/foundation/Exception.h"
#include "platform/ui/Color.h"
#include "platform/ui/DisplayCycle.h"
#include "platform/ui/GestureRecognizer.h"
#include "platform/ui/MainThread.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"

namespace ql::ui {

namespace {

// How one axis of a frame follows a change of the superview's length: the flexible parts (leading
// margin, length, trailing margin) share the change in proportion to their sizes, equally when those
// are all zero.
void autoresizeAxis(double& origin, double& length, double oldSuper, double newSuper, bool flexLeading,
                    bool flexLength, bool flexTrailing) {
    const double delta = newSuper - oldSuper;
    const int count = int(flexLeading) + int(flexLength) + int(flexTrailing);
    if (delta == 0 || count == 0) return;
    const double leading = origin;
    const double trailing = oldSuper - origin - length;
    double total = (flexLeading ? leading : 0) + (flexLength ? length : 0) + (flexTrailing ? trailing : 0);
    auto share = [&](bool flexible, double part) {
        if (!flexible) return 0.0;
        return total != 0 ? delta * part / total : delta / count;
    };
    const double leadingShare = share(flexLeading, leading);
    const double lengthShare = share(flexLength, length);
    origin += leadingShare;
    length += lengthShare;
}

cg::Rect autoresizedFrame(cg::Rect frame, unsigned mask, cg::Size oldSize, cg::Size newSize) {
    autoresizeAxis(frame.origin.x, frame.size.width, oldSize.width, newSize.width,
                   mask & ViewAutoresizingFlexibleLeftMargin, mask & ViewAutoresizingFlexibleWidth,
                   mask & ViewAutoresizingFlexibleRightMargin);
    autoresizeAxis(frame.origin.y, frame.size.height, oldSize.height, newSize.height,
                   mask & ViewAutoresizingFlexibleTopMargin, mask & ViewAutoresizingFlexibleHeight,
                   mask & ViewAutoresizingFlexibleBottomMargin);
    return frame;
}

ContentsGravity gravityFor(ContentMode mode) {
    switch (mode) {
        case ContentMode::ScaleAspectFit: return ContentsGravity::ResizeAspect;
        case ContentMode::ScaleAspectFill: return ContentsGravity::ResizeAspectFill;
        case ContentMode::Center: return ContentsGravity::Center;
        case ContentMode::Top: return ContentsGravity::Top;
        case ContentMode::Bottom: return ContentsGravity::Bottom;
        case ContentMode::Left: return ContentsGravity::Left;
        case ContentMode::Right: return ContentsGravity::Right;
        case ContentMode::TopLeft: return ContentsGravity::TopLeft;
        case ContentMode::TopRight: return ContentsGravity::TopRight;
        case ContentMode::BottomLeft: return ContentsGravity::BottomLeft;
        case ContentMode::BottomRight: return ContentsGravity::BottomRight;
        case ContentMode::ScaleToFill:
        case ContentMode::Redraw: return ContentsGravity::Resize;
    }
    return ContentsGravity::Resize;
}

bool isVisibleWindow(const Window* window) { return window && !window->isHidden(); }

}  // namespace

View::View(const cg::Rect& frame) : View(frame, std::make_shared<Layer>()) {}

View::View(const cg::Rect& frame, std::shared_ptr<Layer> layer) : layer_(std::move(layer)) {
    layer_->view_ = this;
    layer_->setFrame(frame);
    layer_->setOpaque(true);
    layer_->needsDisplay_ = true;
}

View::~View() {
    // A window being destroyed is no window any more for the recognisers leaving below.
    window_ = nullptr;
    // The subviews' layers leave this layer together: one by one, as each subview went, every departure
    // would search and close up the whole list.
    for (auto& sub : subviews_) {
        sub->superview_ = nullptr;
        setWindowOfSubtree(sub.get(), nullptr);
        if (sub->layer_->superlayer_ == layer_.get()) sub->layer_->superlayer_ = nullptr;
    }
    layer_->dropDetachedSublayers();
    for (auto& recognizer : recognizers_) recognizer->setView(nullptr);
    layer_->view_ = nullptr;
    layer_->removeFromSuperlayer();
}

// ---- Geometry ----

void View::setFrame(const cg::Rect& frame) {
    const cg::Size oldSize = bounds().size;
    // Observers of "frame" hear of every setFrame, as on the platform (the photo browser follows its
    // window's frame this way).
    willChangeValueForKey("frame");
    noteAnimatedChange("position");
    noteAnimatedChange("bounds");
    layer_->setFrame(frame);
    if (bounds().size != oldSize) {
        resizeSubviews(oldSize);
        setNeedsLayout();
        if (superview_) superview_->setNeedsLayout();
        if (contentMode_ == ContentMode::Redraw) setNeedsDisplay();
    }
    didChangeValueForKey("frame");
}

void View::setBounds(const cg::Rect& bounds) {
    const cg::Rect old = this->bounds();
    noteAnimatedChange("bounds");
    layer_->setBounds(bounds);
    if (bounds == old) return;
    setNeedsLayout();
    if (bounds.size != old.size) {
        resizeSubviews(old.size);
        if (superview_) superview_->setNeedsLayout();
        if (contentMode_ == ContentMode::Redraw) setNeedsDisplay();
    }
}

void View::setCenter(cg::Point center) {
    noteAnimatedChange("position");
    layer_->setPosition(center);
}

void View::setTransform(const cg::AffineTransform& transform) {
    noteAnimatedChange("transform");
    layer_->setAffineTransform(transform);
}

void View::resizeSubviews(cg::Size oldSize) {
    if (!autoresizesSubviews_) return;
    const cg::Size newSize = bounds().size;
    for (auto& sub : std::vector<std::shared_ptr<View>>(subviews_)) {
        if (sub->autoresizingMask_ == ViewAutoresizingNone) continue;
        sub->setFrame(autoresizedFrame(sub->frame(), sub->autoresizingMask_, oldSize, newSize));
    }
}

// ---- Look ----

void View::setAlpha(double alpha) {
    noteAnimatedChange("opacity");
    layer_->setOpacity(static_cast<float>(alpha));
}

void View::setHidden(bool hidden) { layer_->setHidden(hidden); }

void View::setBackgroundColor(std::shared_ptr<Color> color) {
    noteAnimatedChange("backgroundColor");
    backgroundColor_ = color;
    layer_->setBackgroundColor(color ? std::optional<cg::Color>(color->CGColor()) : std::nullopt);
}

void View::setContentMode(ContentMode mode) {
    contentMode_ = mode;
    layer_->setContentsGravity(gravityFor(mode));
    layer_->setNeedsDisplayOnBoundsChange(mode == ContentMode::Redraw);
}

std::shared_ptr<Color> View::tintColor() const {
    for (const View* v = this; v; v = v->superview_) {
        if (v->tintColor_) return v->tintColor_;
    }
    // The platform's blue.
    static const auto& blue = *new std::shared_ptr<Color>(Color::colorWithRed(0, 122.0 / 255, 1, 1));
    return blue;
}

void View::setTintColor(std::shared_ptr<Color> color) {
    tintColor_ = std::move(color);
    // Subviews with a tint of their own keep it, and so do theirs.
    std::function<void(View*)> announce = [&](View* view) {
        view->tintColorDidChange();
        for (auto& sub : std::vector<std::shared_ptr<View>>(view->subviews_)) {
            if (!sub->tintColor_) announce(sub.get());
        }
    };
    announce(this);
}

ViewTintAdjustmentMode View::tintAdjustmentMode() const {
    for (const View* v = this; v; v = v->superview_) {
        if (v->tintAdjustmentMode_ != ViewTintAdjustmentMode::Automatic) return v->tintAdjustmentMode_;
    }
    return ViewTintAdjustmentMode::Normal;
}

void View::setTintAdjustmentMode(ViewTintAdjustmentMode mode) {
    const ViewTintAdjustmentMode before = tintAdjustmentMode();
    tintAdjustmentMode_ = mode;
    if (tintAdjustmentMode() == before) return;
    std::function<void(View*)> announce = [&](View* view) {
        view->tintColorDidChange();
        for (auto& sub : std::vector<std::shared_ptr<View>>(view->subviews_)) {
            if (sub->tintAdjustmentMode_ == ViewTintAdjustmentMode::Automatic) announce(sub.get());
        }
    };
    announce(this);
}

// ---- The tree ----

void View::setWindowOfSubtree(View* view, Window* window) {
    view->window_ = window;
    for (auto& sub : view->subviews_) setWindowOfSubtree(sub.get(), window);
}

void View::moveSubtreeToWindow(Window* window, bool will) {
    if (will) {
        willMoveToWindow(window);
    } else {
        didMoveToWindow();
    }
    for (auto& sub : std::vector<std::shared_ptr<View>>(subviews_)) sub->moveSubtreeToWindow(window, will);
}

void View::insertSubviewAt(const std::shared_ptr<View>& viewArgument, std::size_t index) {
    assertMainThread();
    // A copy: the argument may be an element of a subview list that changes below.
    const std::shared_ptr<View> view = viewArgument;
    if (!view) return;
    if (view.get() == this || isDescendantOfView(view.get())) {
        throw ns::Exception(ns::InvalidArgumentException, "Can't add self as subview");
    }
    if (view->superview_ == this) {
        // Only the order changes.
        auto it = std::find(subviews_.begin(), subviews_.end(), view);
        const auto from = static_cast<std::size_t>(it - subviews_.begin());
        subviews_.erase(it);
        if (from < index) --index;
        index = std::min(index, subviews_.size());
        subviews_.insert(subviews_.begin() + static_cast<std::ptrdiff_t>(index), view);
    } else {
        Window* oldWindow = view->window_;
        Window* newWindow = window_;
        const bool windowChanges = oldWindow != newWindow;
        const bool appearing = isVisibleWindow(newWindow) && !isVisibleWindow(oldWindow);
        const bool disappearing = isVisibleWindow(oldWindow) && !isVisibleWindow(newWindow);
        if (view->superview_) view->superview_->willRemoveSubview(view.get());
        if (windowChanges && oldWindow) oldWindow->subtreeWillLeave(view.get());
        view->willMoveToSuperview(this);
        if (windowChanges) view->moveSubtreeToWindow(newWindow, true);
        if (appearing || disappearing) ViewController::beginAutomaticAppearance(view.get(), appearing);
        const auto formerHolders = view->constraintHoldersAbove();
        if (view->superview_) view->detachFromSuperview();
        index = std::min(index, subviews_.size());
        subviews_.insert(subviews_.begin() + static_cast<std::ptrdiff_t>(index), view);
        view->superview_ = this;
        view->dropConstraintsLeftBehind(formerHolders);
        setWindowOfSubtree(view.get(), newWindow);
        if (windowChanges) view->moveSubtreeToWindow(newWindow, false);
        view->didMoveToSuperview();
        didAddSubview(view.get());
        if (appearing || disappearing) ViewController::endAutomaticAppearance(view.get(), appearing);
    }
    // The layer goes below the layer of the subview now above it, so extra sublayers keep their place.
    const View* above = index + 1 < subviews_.size() ? subviews_[index + 1].get() : nullptr;
    if (above) {
        layer_->insertSublayerBelow(view->layer_, above->layer_.get());
    } else {
        layer_->addSublayer(view->layer_);
    }
    view->setNeedsLayout();
    setNeedsLayout();
}

void View::detachFromSuperview() {
    View* parent = superview_;
    auto it = std::find_if(parent->subviews_.begin(), parent->subviews_.end(),
                           [&](const auto& v) { return v.get() == this; });
    auto keep = *it;
    parent->subviews_.erase(it);
    layer_->removeFromSuperlayer();
    superview_ = nullptr;
}

void View::addSubview(const std::shared_ptr<View>& view) { insertSubviewAt(view, subviews_.size()); }

void View::insertSubview(const std::shared_ptr<View>& view, std::size_t index) { insertSubviewAt(view, index); }

void View::insertSubviewAbove(const std::shared_ptr<View>& view, const View* sibling) {
    auto it = std::find_if(subviews_.begin(), subviews_.end(), [&](const auto& v) { return v.get() == sibling; });
    insertSubviewAt(view, it == subviews_.end() ? subviews_.size() : static_cast<std::size_t>(it - subviews_.begin()) + 1);
}

void View::insertSubviewBelow(const std::shared_ptr<View>& view, const View* sibling) {
    auto it = std::find_if(subviews_.begin(), subviews_.end(), [&](const auto& v) { return v.get() == sibling; });
    insertSubviewAt(view, it == subviews_.end() ? subviews_.size() : static_cast<std::size_t>(it - subviews_.begin()));
}

void View::bringSubviewToFront(const View* view) {
    auto it = std::find_if(subviews_.begin(), subviews_.end(), [&](const auto& v) { return v.get() == view; });
    if (it != subviews_.end()) insertSubviewAt(*it, subviews_.size());
}

void View::sendSubviewToBack(const View* view) {
    auto it = std::find_if(subviews_.begin(), subviews_.end(), [&](const auto& v) { return v.get() == view; });
    if (it != subviews_.end()) insertSubviewAt(*it, 0);
}

void View::exchangeSubviewAtIndex(std::size_t index1, std::size_t index2) {
    if (index1 >= subviews_.size() || index2 >= subviews_.size() || index1 == index2) return;
    std::swap(subviews_[index1], subviews_[index2]);
    // Rebuild the order of the subviews' layers, keeping other sublayers where they are.
    auto& sublayers = layer_->sublayers_;
    std::vector<std::size_t> slots;
    for (std::size_t i = 0; i < sublayers.size(); ++i) {
        if (sublayers[i]->view_ && sublayers[i]->view_->superview_ == this) slots.push_back(i);
    }
    for (std::size_t i = 0; i < slots.size() && i < subviews_.size(); ++i) sublayers[slots[i]] = subviews_[i]->layer_;
}

void View::removeFromSuperview() {
    assertMainThread();
    if (!superview_) return;
    auto keep = sharedFromThis();
    Window* oldWindow = window_;
    const bool disappearing = isVisibleWindow(oldWindow);
    superview_->willRemoveSubview(this);
    if (oldWindow) oldWindow->subtreeWillLeave(this);
    willMoveToSuperview(nullptr);
    if (oldWindow) moveSubtreeToWindow(nullptr, true);
    if (disappearing) ViewController::beginAutomaticAppearance(this, false);
    superview_->setNeedsLayout();
    const auto formerHolders = constraintHoldersAbove();
    detachFromSuperview();
    dropConstraintsLeftBehind(formerHolders);
    setWindowOfSubtree(this, nullptr);
    if (oldWindow) moveSubtreeToWindow(nullptr, false);
    didMoveToSuperview();
    if (disappearing) ViewController::endAutomaticAppearance(this, false);
}

bool View::isDescendantOfView(const View* view) const {
    for (const View* v = this; v; v = v->superview_) {
        if (v == view) return true;
    }
    return false;
}

View* View::viewWithTag(std::int64_t tag) {
    if (tag_ == tag) return this;
    for (auto& sub : subviews_) {
        if (View* found = sub->viewWithTag(tag)) return found;
    }
    return nullptr;
}

// ---- Layout ----

void View::setNeedsLayout() {
    needsLayout_ = true;
    DisplayCycle::schedule();
}

void View::layoutIfNeeded() {
    updateConstraintLayout();
    View* top = this;
    while (top->superview_ && top->superview_->needsLayout_) top = top->superview_;
    auto keep = top->weak_from_this().lock();
    top->layoutSubtree();
}

void View::layoutSubtree() {
    if (needsLayout_) {
        needsLayout_ = false;
        ViewController* controller = controller_;
        if (controller) controller->updateLayoutGuides();
        if (controller) controller->viewWillLayoutSubviews();
        layoutSubviews();
        if (controller_ && controller_ == controller) controller->viewDidLayoutSubviews();
    }
    for (auto& sub : std::vector<std::shared_ptr<View>>(subviews_)) {
        if (sub->superview_ == this) sub->layoutSubtree();
    }
}

cg::Size View::sizeThatFits(cg::Size) const { return bounds().size; }

void View::sizeToFit() {
    const cg::Size size = sizeThatFits(bounds().size);
    const cg::Rect f = frame();
    setFrame({f.origin, size});
}

void View::drawRect(const cg::Rect&) {}

// ---- Coordinates ----

namespace {

const Layer* referenceLayer(const View* view) {
    if (const Window* w = view->window()) return w->layer().get();
    const View* top = view;
    while (top->superview()) top = top->superview();
    return top->layer().get();
}

}  // namespace

cg::Point View::convertPointToView(cg::Point point, const View* view) const {
    return layer_->convertPointToLayer(point, view ? view->layer_.get() : referenceLayer(this));
}

cg::Point View::convertPointFromView(cg::Point point, const View* view) const {
    return layer_->convertPointFromLayer(point, view ? view->layer_.get() : referenceLayer(this));
}

cg::Rect View::convertRectToView(const cg::Rect& rect, const View* view) const {
    return layer_->convertRectToLayer(rect, view ? view->layer_.get() : referenceLayer(this));
}

cg::Rect View::convertRectFromView(const cg::Rect& rect, const View* view) const {
    return layer_->convertRectFromLayer(rect, view ? view->layer_.get() : referenceLayer(this));
}

// ---- Hit-testing ----

View* View::hitTest(cg::Point point, Event* event) {
    if (isHidden() || !userInteractionEnabled_ || alpha() < 0.01) return nullptr;
    if (!pointInside(point, event)) return nullptr;
    for (auto it = subviews_.rbegin(); it != subviews_.rend(); ++it) {
        View* sub = it->get();
        const cg::Point local = sub->convertPointFromView(point, this);
        if (View* hit = sub->hitTest(local, event)) return hit;
    }
    return this;
}

bool View::pointInside(cg::Point point, Event*) const { return cg::rectContainsPoint(bounds(), point); }

// ---- Gesture recognisers ----

void View::addGestureRecognizer(const std::shared_ptr<GestureRecognizer>& recognizer) {
    if (!recognizer) return;
    if (View* old = recognizer->view()) {
        if (old == this) return;
        old->removeGestureRecognizer(recognizer.get());
    }
    recognizers_.push_back(recognizer);
    recognizer->setView(this);
}

void View::removeGestureRecognizer(const GestureRecognizer* recognizer) {
    auto it = std::find_if(recognizers_.begin(), recognizers_.end(), [&](const auto& r) { return r.get() == recognizer; });
    if (it == recognizers_.end()) return;
    auto keep = *it;
    recognizers_.erase(it);
    keep->setView(nullptr);
}

bool View::gestureRecognizerShouldBegin(const GestureRecognizer&) const { return true; }

// ---- Responder ----

Responder* View::nextResponder() const {
    if (controller_) return controller_;
    return superview_;
}

bool View::becomeFirstResponder() {
    if (!window_ || !canBecomeFirstResponder()) return false;
    if (isFirstResponder()) return true;
    if (!window_->makeFirstResponder(*this)) return false;
    didBecomeFirstResponder();
    window_->firstResponderSettled();
    return true;
}

bool View::resignFirstResponder() {
    if (!isFirstResponder()) return true;
    Window* w = window_;
    w->clearFirstResponder(*this);
    didResignFirstResponder();
    w->firstResponderSettled();
    return true;
}

bool View::isFirstResponder() const { return window_ && window_->firstResponder() == this; }

bool View::endEditing(bool force) {
    if (!window_) return true;
    Responder* responder = window_->firstResponder();
    auto* view = dynamic_cast<View*>(responder);
    if (!view || !view->isDescendantOfView(this)) return true;
    Window::ForcedResign forced(force);
    return view->resignFirstResponder();
}

std::string View::description() const {
    const cg::Rect f = frame();
    char text[160];
    std::snprintf(text, sizeof text, "; frame = (%g %g; %g %g)", f.origin.x, f.origin.y, f.size.width, f.size.height);
    std::string d = "<" + std::string(className()) + ": " + ns::addressText(this) + text;
    if (tag_ != 0) d += "; tag = " + std::to_string(tag_);
    if (isHidden()) d += "; hidden = YES";
    return d + "; layer = <CALayer: " + ns::addressText(layer_.get()) + ">>";
}

}  // namespace ql::ui
