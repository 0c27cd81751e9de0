#pragma once
// The signed-in app's root: three tabs (home, book store, me), each a navigation controller, shown one
// at a time in the content area above the shell's own tab bar. The selected item stands higher and its
// icon bounces; each tab keeps its own stack of screens.

#include <cstdint>
#include <memory>
#include <vector>

#include "app/uikit/BasicVC.h"

namespace ql::ui {
class Button;
class ImageView;
class LayoutConstraint;
}  // namespace ql::ui

namespace ql {

class MainViewController : public BasicVC {
    QL_OBJECT(MainViewController, BasicVC)
public:
    static constexpr std::int64_t kIconTagBase = 4000;

    MainViewController();

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;

    void btnClick(ui::Button* sender);
    void setSelectWithIndex(std::uint64_t index);
    void setSelectItemWithIndex(std::uint64_t index);
    void setItemSelected(const std::shared_ptr<ui::LayoutConstraint>& constraint);
    void setItemUnSelected(const std::shared_ptr<ui::LayoutConstraint>& constraint);
    void setContentViewWithIndex(std::uint64_t index);
    void makeLayoutConstraint() {}

    const std::shared_ptr<ui::NavigationController>& homeVc() const { return homeVc_; }
    const std::shared_ptr<ui::NavigationController>& bookStoreVc() const { return bookStoreVc_; }
    const std::shared_ptr<ui::NavigationController>& mineVc() const { return mineVc_; }
    const std::vector<std::shared_ptr<ui::NavigationController>>& viewControllers() const { return viewControllers_; }
    const std::vector<std::shared_ptr<ui::View>>& itemArray() const { return itemArray_; }
    const std::vector<std::shared_ptr<ui::LayoutConstraint>>& constraints() const { return constraints_; }
    const std::shared_ptr<ui::ViewController>& currentVC() const { return currentVC_; }
    std::uint64_t currentIndex() const { return currentIndex_; }

    // Nib outlets.
    const std::shared_ptr<ui::View>& contentView() const { return contentView_; }
    const std::shared_ptr<ui::View>& tabbarView() const { return tabbarView_; }
    const std::shared_ptr<ui::ImageView>& tabbarBgImageView() const { return tabbarBgImageView_; }
    const std::shared_ptr<ui::LayoutConstraint>& item1LeftConstrast() const { return item1LeftConstrast_; }
    const std::shared_ptr<ui::LayoutConstraint>& item3RightConstrast() const { return item3RightConstrast_; }

private:
    static std::vector<std::shared_ptr<ns::Object>> buildNib(ui::Nib::Loading& loading);
    bool isTablet() const;

    std::shared_ptr<ui::NavigationController> homeVc_;
    std::shared_ptr<ui::NavigationController> bookStoreVc_;
    std::shared_ptr<ui::NavigationController> mineVc_;
    std::vector<std::shared_ptr<ui::NavigationController>> viewControllers_;
    std::vector<std::shared_ptr<ui::View>> itemArray_;
    std::vector<std::shared_ptr<ui::LayoutConstraint>> constraints_;
    std::shared_ptr<ui::ViewController> currentVC_;
    std::uint64_t currentIndex_ = 0;

    std::shared_ptr<ui::View> contentView_;
    std::shared_ptr<ui::View> tabbarView_;
    std::vector<std::shared_ptr<ui::View>> itemViews_;  // itemView1 to itemView3
    std::shared_ptr<ui::ImageView> tabbarBgImageView_;
    std::vector<std::shared_ptr<ui::LayoutConstraint>> itemConstraints_;  // item1Constrast to item3Constrast
    std::shared_ptr<ui::LayoutConstraint> item1LeftConstrast_;
    std::shared_ptr<ui::LayoutConstraint> item3RightConstrast_;
};

}  // namespace ql
