#pragma once
// ui::TabBar: the bar of tabs along the bottom of a tab bar controller: one button per item, side by
// side, the selected one tinted. A tap selects the item and tells the delegate.

#include <memory>
#include <vector>

#include "platform/ui/BarBackground.h"
#include "platform/ui/BarTypes.h"
#include "platform/ui/View.h"

namespace ql::ui {

class Control;
class Image;
class TabBar;
class TabBarItem;

class TabBarDelegate {
public:
    virtual ~TabBarDelegate() = default;
    virtual void tabBarDidSelectItem(TabBar&, TabBarItem&) {}
};

class TabBar : public View {
    QL_OBJECT_NAMED(TabBar, View, "UITabBar")
public:
    static constexpr double kHeight = 49;

    TabBar() : TabBar(cg::Rect{0, 0, 320, kHeight}) {}
    explicit TabBar(const cg::Rect& frame);
    ~TabBar() override;

    const std::vector<std::shared_ptr<TabBarItem>>& items() const { return items_; }
    void setItems(std::vector<std::shared_ptr<TabBarItem>> items, bool animated = false);
    std::shared_ptr<TabBarItem> selectedItem() const { return selected_.lock(); }
    void setSelectedItem(const std::shared_ptr<TabBarItem>& item);

    std::shared_ptr<TabBarDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<TabBarDelegate> delegate) { delegate_ = std::move(delegate); }

    BarStyle barStyle() const { return background_.style; }
    void setBarStyle(BarStyle style);
    bool isTranslucent() const { return background_.translucent; }
    void setTranslucent(bool translucent) { background_.translucent = translucent; }
    const std::shared_ptr<Color>& barTintColor() const { return background_.tintColor; }
    void setBarTintColor(std::shared_ptr<Color> color);
    const std::shared_ptr<Image>& backgroundImage() const { return backgroundImage_; }
    void setBackgroundImage(std::shared_ptr<Image> image);
    const std::shared_ptr<Image>& selectionIndicatorImage() const { return selectionIndicatorImage_; }
    void setSelectionIndicatorImage(std::shared_ptr<Image> image);
    const std::shared_ptr<Image>& shadowImage() const { return shadowImage_; }
    void setShadowImage(std::shared_ptr<Image> image);

    // The button showing each item, in the items' order.
    const std::vector<std::shared_ptr<Control>>& itemViews() const { return buttons_; }

    cg::Size sizeThatFits(cg::Size size) const override;
    void layoutSubviews() override;
    void drawRect(const cg::Rect& rect) override;
    void tintColorDidChange() override;

private:
    void rebuildButtons();
    void refreshButtons();
    void itemTapped(ns::Object* sender);

    std::vector<std::shared_ptr<TabBarItem>> items_;
    std::weak_ptr<TabBarItem> selected_;
    std::weak_ptr<TabBarDelegate> delegate_;
    BarBackground background_;
    std::shared_ptr<Image> backgroundImage_;
    std::shared_ptr<Image> selectionIndicatorImage_;
    std::shared_ptr<Image> shadowImage_;
    std::vector<std::shared_ptr<Control>> buttons_;
};

}  // namespace ql::ui
