#include "ui/refresh/RefreshComponent.h"

#include "platform/foundation/DispatchQueue.h"
#include "platform/ui/Color.h"
#include "platform/ui/PanGestureRecognizer.h"
#include "platform/ui/Window.h"
#include "ui/refresh/RefreshGeometry.h"

namespace ql {

RefreshComponent::RefreshComponent(Passkey) : ui::View(cg::Rect::zero()) {}

RefreshComponent::~RefreshComponent() = default;

void RefreshComponent::prepare() {
    setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth);
    setBackgroundColor(ui::Color::clearColor());
}

void RefreshComponent::layoutSubviews() {
    ui::View::layoutSubviews();
    placeSubviews();
}

void RefreshComponent::willMoveToSuperview(ui::View* newSuperview) {
    ui::View::willMoveToSuperview(newSuperview);
    auto* scrollView = dynamic_cast<ui::ScrollView*>(newSuperview);
    if (newSuperview && !scrollView) return;
    removeObservers();
    if (!scrollView) return;
    mm_setW(*this, mm_w(*scrollView));
    mm_setX(*this, 0);
    scrollView_ = std::static_pointer_cast<ui::ScrollView>(scrollView->sharedFromThis());
    scrollView->setAlwaysBounceVertical(true);
    scrollViewOriginalInset_ = scrollView->contentInset();
    addObservers();
}

void RefreshComponent::addObservers() {
    auto scrollView = scrollView_.lock();
    if (!scrollView) return;
    const unsigned options = ns::KeyValueObservingOptionNew | ns::KeyValueObservingOptionOld;
    std::weak_ptr<RefreshComponent> weak = selfPointer();
    // Observations are ignored while the control takes no touches; content-size changes reach a hidden
    // control too, the others only a shown one.
    auto dispatch = [weak](void (RefreshComponent::*hook)(const ns::KeyValueChange*), bool evenWhenHidden) {
        return [weak, hook, evenWhenHidden](const ns::KeyValueChange& change) {
            auto self = weak.lock();
            if (!self || !self->isUserInteractionEnabled()) return;
            if (!evenWhenHidden && self->isHidden()) return;
            ((*self).*hook)(&change);
        };
    };
    offsetObservation_ = scrollView->addObserver("contentOffset", options,
                                                 dispatch(&RefreshComponent::scrollViewContentOffsetDidChange, false));
    sizeObservation_ = scrollView->addObserver("contentSize", options,
                                               dispatch(&RefreshComponent::scrollViewContentSizeDidChange, true));
    pan_ = scrollView->panGestureRecognizer();
    panObservation_ = pan_->addObserver("state", options, dispatch(&RefreshComponent::scrollViewPanStateDidChange, false));
}

void RefreshComponent::removeObservers() {
    offsetObservation_.invalidate();
    sizeObservation_.invalidate();
    panObservation_.invalidate();
    pan_ = nullptr;
}

void RefreshComponent::drawRect(const cg::Rect& rect) {
    ui::View::drawRect(rect);
    if (state_ == RefreshStateWillRefresh) setState(RefreshStateRefreshing);
}

// ---- Refreshing ----

void RefreshComponent::beginRefreshing() {
    auto self = selfPointer();
    ui::View::animate(0.25, [self] { self->setAlpha(1.0); });
    setPullingPercent(1.0);
    if (window()) {
        setState(RefreshStateRefreshing);
    } else {
        setState(RefreshStateWillRefresh);
        setNeedsDisplay();
    }
}

void RefreshComponent::endRefreshing() { setState(RefreshStateIdle); }

bool RefreshComponent::isRefreshing() const {
    return state_ == RefreshStateRefreshing || state_ == RefreshStateWillRefresh;
}

void RefreshComponent::setState(RefreshState state) { state_ = state; }

void RefreshComponent::setRefreshingTarget(std::weak_ptr<ns::Object> target, RefreshingAction action) {
    refreshingTarget_ = std::move(target);
    refreshingAction_ = std::move(action);
}

void RefreshComponent::executeRefreshingCallback() {
    auto self = selfPointer();
    ns::DispatchQueue::main()->async([self] {
        if (self->refreshingBlock_) self->refreshingBlock_();
        if (auto target = self->refreshingTarget_.lock()) self->refreshingAction_.send(target.get(), self.get());
    });
}

// ---- Appearance ----

void RefreshComponent::setAutomaticallyChangeAlpha(bool automatically) {
    automaticallyChangeAlpha_ = automatically;
    if (isRefreshing()) return;
    setAlpha(automatically ? pullingPercent_ : 1.0);
}

void RefreshComponent::setPullingPercent(double percent) {
    pullingPercent_ = percent;
    if (isRefreshing()) return;
    if (automaticallyChangeAlpha_) setAlpha(percent);
}

}  // namespace ql
