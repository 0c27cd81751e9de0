#pragma once
// RefreshComponent: what every pull-to-refresh control shares. A control lives inside a scroll view as
// its subview, follows the scroll view's offset, content size and pan gesture through key-value
// observation, keeps its state and runs its refreshing callback on a later turn of the main queue. The
// headers and footers supply the geometry and the state transitions. Controls are made by their
// classes' factories (headerWithRefreshingBlock, footerWithRefreshingBlock), which prepare them.
// Main thread only.

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/foundation/Object.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/Selector.h"

namespace ql::ui {
class PanGestureRecognizer;
}

namespace ql {

enum RefreshState : std::int32_t {
    RefreshStateIdle = 1,
    RefreshStatePulling = 2,      // pulled past the threshold: refreshes when let go
    RefreshStateRefreshing = 3,
    RefreshStateWillRefresh = 4,  // asked to refresh while not in a window: starts when first drawn
    RefreshStateNoMoreData = 5,   // footers only
};

class RefreshComponent : public ui::View {
    QL_OBJECT(RefreshComponent, ui::View)
public:
    using RefreshingBlock = std::function<void()>;
    // Sent to the refreshing target with the control.
    using RefreshingAction = ui::Selector<ns::Object*>;

    // Only the factories can make the key, so every control is prepared before anyone sees it.
    class Passkey {
        friend class RefreshComponent;
        Passkey() = default;
    };
    explicit RefreshComponent(Passkey);
    ~RefreshComponent() override;

    // Makes a control of class T, prepared and idle.
    template <class T>
    static std::shared_ptr<T> make(RefreshingBlock block) {
        auto control = std::make_shared<T>(Passkey{});
        RefreshComponent& base = *control;
        base.prepare();
        base.setState(RefreshStateIdle);
        control->setRefreshingBlock(std::move(block));
        return control;
    }
    template <class T>
    static std::shared_ptr<T> make(std::weak_ptr<ns::Object> target, RefreshingAction action) {
        auto control = make<T>(RefreshingBlock{});
        control->setRefreshingTarget(std::move(target), std::move(action));
        return control;
    }

    // ---- Refreshing ----
    // Fully out at once, then refreshing (or will refresh, when not in a window).
    void beginRefreshing();
    virtual void endRefreshing();
    bool isRefreshing() const;
    RefreshState state() const { return state_; }
    virtual void setState(RefreshState state);

    const RefreshingBlock& refreshingBlock() const { return refreshingBlock_; }
    void setRefreshingBlock(RefreshingBlock block) { refreshingBlock_ = std::move(block); }
    std::shared_ptr<ns::Object> refreshingTarget() const { return refreshingTarget_.lock(); }
    const RefreshingAction& refreshingAction() const { return refreshingAction_; }
    void setRefreshingTarget(std::weak_ptr<ns::Object> target, RefreshingAction action);

    // ---- Appearance ----
    // How far the control is pulled out: 0 hidden, 1 fully out.
    double pullingPercent() const { return pullingPercent_; }
    virtual void setPullingPercent(double percent);
    // While set (and not refreshing) the control's alpha follows the pulling percent.
    bool automaticallyChangeAlpha() const { return automaticallyChangeAlpha_; }
    void setAutomaticallyChangeAlpha(bool automatically);
    bool isAutoChangeAlpha() const { return automaticallyChangeAlpha(); }
    void setAutoChangeAlpha(bool automatically) { setAutomaticallyChangeAlpha(automatically); }

    // ---- The scroll view ----
    std::shared_ptr<ui::ScrollView> scrollView() const { return scrollView_.lock(); }
    // The scroll view's content inset without what the control adds to it.
    const cg::EdgeInsets& scrollViewOriginalInset() const { return scrollViewOriginalInset_; }
    const std::shared_ptr<ui::PanGestureRecognizer>& pan() const { return pan_; }

    void layoutSubviews() override;
    void willMoveToSuperview(ui::View* newSuperview) override;
    void drawRect(const cg::Rect& rect) override;

protected:
    // Subviews and defaults; overrides call the base first.
    virtual void prepare();
    // Lays out the subviews; overrides call the base first.
    virtual void placeSubviews() {}
    // Told of the scroll view with the observation's change; the content-size one also without (null).
    virtual void scrollViewContentOffsetDidChange(const ns::KeyValueChange* /*change*/) {}
    virtual void scrollViewContentSizeDidChange(const ns::KeyValueChange* /*change*/) {}
    virtual void scrollViewPanStateDidChange(const ns::KeyValueChange* /*change*/) {}
    // Posts the refreshing block and action to the main queue.
    void executeRefreshingCallback();
    void setScrollViewOriginalInset(const cg::EdgeInsets& inset) { scrollViewOriginalInset_ = inset; }
    std::shared_ptr<RefreshComponent> selfPointer() {
        return std::static_pointer_cast<RefreshComponent>(sharedFromThis());
    }

private:
    void addObservers();
    void removeObservers();

    cg::EdgeInsets scrollViewOriginalInset_;
    std::weak_ptr<ui::ScrollView> scrollView_;
    bool automaticallyChangeAlpha_ = false;
    // No state until the factory makes the control idle, so that entering idle sets it up.
    RefreshState state_ = static_cast<RefreshState>(0);
    RefreshingBlock refreshingBlock_;
    std::weak_ptr<ns::Object> refreshingTarget_;
    RefreshingAction refreshingAction_;
    double pullingPercent_ = 0;
    std::shared_ptr<ui::PanGestureRecognizer> pan_;
    ns::KeyValueObservation offsetObservation_;
    ns::KeyValueObservation sizeObservation_;
    ns::KeyValueObservation panObservation_;
};

}  // namespace ql
