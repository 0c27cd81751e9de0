#pragma once
// ui::NavigationBar: the bar across the top of a navigation controller. It keeps a stack of navigation
// items and shows the top one: its title (or title view) in the middle, its left items or a back button
// titled after the item below, and its right items. A tap on the back button asks the delegate whether
// the top item may go.

#include <memory>
#include <vector>

#include "platform/foundation/Value.h"
#include "platform/ui/BarBackground.h"
#include "platform/ui/BarTypes.h"
#include "platform/ui/View.h"

namespace ql::ui {

class Button;
class Image;
class Label;
class NavigationBar;
class NavigationItem;

class NavigationBarDelegate {
public:
    virtual ~NavigationBarDelegate() = default;
    virtual bool navigationBarShouldPushItem(NavigationBar&, NavigationItem&) { return true; }
    virtual void navigationBarDidPushItem(NavigationBar&, NavigationItem&) {}
    virtual bool navigationBarShouldPopItem(NavigationBar&, NavigationItem&) { return true; }
    virtual void navigationBarDidPopItem(NavigationBar&, NavigationItem&) {}
};

class NavigationBar : public View {
    QL_OBJECT_NAMED(NavigationBar, View, "UINavigationBar")
public:
    static constexpr double kHeight = 44;

    NavigationBar() : NavigationBar(cg::Rect{0, 0, 320, kHeight}) {}
    explicit NavigationBar(const cg::Rect& frame);
    ~NavigationBar() override;

    const std::vector<std::shared_ptr<NavigationItem>>& items() const { return items_; }
    void setItems(std::vector<std::shared_ptr<NavigationItem>> items, bool animated = false);
    std::shared_ptr<NavigationItem> topItem() const;
    std::shared_ptr<NavigationItem> backItem() const;
    void pushNavigationItem(const std::shared_ptr<NavigationItem>& item, bool animated);
    std::shared_ptr<NavigationItem> popNavigationItemAnimated(bool animated);

    std::shared_ptr<NavigationBarDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<NavigationBarDelegate> delegate) { delegate_ = std::move(delegate); }

    BarStyle barStyle() const { return background_.style; }
    void setBarStyle(BarStyle style);
    bool isTranslucent() const { return background_.translucent; }
    void setTranslucent(bool translucent);
    const std::shared_ptr<Color>& barTintColor() const { return background_.tintColor; }
    void setBarTintColor(std::shared_ptr<Color> color);
    // The title's attributes: a Font under FontAttributeName and a Color under ForegroundColorAttributeName.
    const ns::Dictionary& titleTextAttributes() const { return titleTextAttributes_; }
    void setTitleTextAttributes(ns::Dictionary attributes);
    std::shared_ptr<Image> backgroundImageForBarMetrics(BarMetrics metrics) const;
    void setBackgroundImage(std::shared_ptr<Image> image, BarMetrics metrics);
    const std::shared_ptr<Image>& shadowImage() const { return shadowImage_; }
    void setShadowImage(std::shared_ptr<Image> image);

    // The views now showing the top item: left items (the back button among them), right items, title.
    std::vector<std::shared_ptr<View>> leftItemViews() const { return leftViews_; }
    std::vector<std::shared_ptr<View>> rightItemViews() const { return rightViews_; }
    std::shared_ptr<View> titleItemView() const { return titleView_; }

    cg::Size sizeThatFits(cg::Size size) const override;
    void layoutSubviews() override;
    void drawRect(const cg::Rect& rect) override;
    void tintColorDidChange() override;

private:
    void watch(const std::shared_ptr<NavigationItem>& item);
    void itemsChanged();
    void rebuildItemViews();
    void backTapped(ns::Object* sender);

    std::vector<std::shared_ptr<NavigationItem>> items_;
    std::weak_ptr<NavigationBarDelegate> delegate_;
    BarBackground background_;
    ns::Dictionary titleTextAttributes_;
    BarImages<BarMetrics> backgrounds_;
    std::shared_ptr<Image> shadowImage_;
    std::vector<std::shared_ptr<View>> leftViews_;
    std::vector<std::shared_ptr<View>> rightViews_;
    std::shared_ptr<View> titleView_;
    bool needsItemViews_ = true;
};

}  // namespace ql::ui
