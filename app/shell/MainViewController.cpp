#include "app/shell/MainViewController.h"

#include "app/uikit/AppScreens.h"
#include "app/uikit/ColorHex.h"
#include "app/uikit/NibParts.h"
#include "platform/foundation/Log.h"
#include "platform/ui/Application.h"
#include "platform/ui/Button.h"
#include "platform/ui/Color.h"
#include "platform/ui/Font.h"
#include "platform/ui/Image.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/LayoutConstraint.h"
#include "platform/ui/Screen.h"
#include "screens/books/BookStoreVC.h"
#include "screens/home/HomeVC.h"
#include "screens/me/MineVC.h"
#include "ui/DeviceModel.h"

namespace ql {

namespace {

using ui::LayoutAttribute;
using ui::LayoutRelation;

constexpr std::string_view kNibName = "MainViewController";
constexpr double kItemWidth = 72;
constexpr double kItemHeight = AppScreens::kTabItemHeight;
constexpr std::uint64_t kTabletDeviceModel = 4;

struct TabItem {
    const char* title;
    const char* icon;
};
constexpr TabItem kItems[] = {{"首页", "tab_home"}, {"书城", "tab_books"}, {"我的", "tab_me"}};

std::shared_ptr<ui::LayoutConstraint> relate(const std::shared_ptr<ui::View>& a, LayoutAttribute attributeA,
                                             const std::shared_ptr<ui::View>& b, LayoutAttribute attributeB,
                                             double constant) {
    return ui::LayoutConstraint::constraintWithItem(a, attributeA, LayoutRelation::Equal, b, attributeB, 1, constant);
}

std::shared_ptr<ui::LayoutConstraint> fixed(const std::shared_ptr<ui::View>& view, LayoutAttribute attribute,
                                            double constant) {
    return ui::LayoutConstraint::constraintWithItem(view, attribute, LayoutRelation::Equal, nullptr,
                                                    LayoutAttribute::NotAnAttribute, 1, constant);
}

}  // namespace

MainViewController::MainViewController() : BasicVC(std::string(kNibName)) { nib::registerOnce(kNibName, &buildNib); }

std::vector<std::shared_ptr<ns::Object>> MainViewController::buildNib(ui::Nib::Loading& loading) {
    auto* owner = loading.ownerAs<MainViewController>();
    auto view = nib::screenView(loading);
    const cg::Size size = view->bounds().size;
    const double barHeight = AppScreens::kTabBarHeight;

    // The tab roots' views fill the screen; the bar lies over their bottom.
    auto content = loading.make<ui::View>(view->bounds());
    content->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth | ui::ViewAutoresizingFlexibleHeight);
    view->addSubview(content);

    auto bar = loading.make<ui::View>(cg::Rect{0, size.height - barHeight, size.width, barHeight});
    bar->setBackgroundColor(ui::Color::colorWithWhite(1, 0.97));
    bar->layer()->setShadowOpacity(0.15);
    bar->layer()->setShadowOffset({0, -1});
    bar->layer()->setShadowRadius(3);
    view->addSubview(bar);
    auto barBackground = loading.make<ui::ImageView>(bar->bounds());
    barBackground->setImage(ui::Image::imageNamed("tabbar_bg"));
    bar->addSubview(barBackground);

    std::vector<std::shared_ptr<ui::View>> items;
    std::vector<std::shared_ptr<ui::LayoutConstraint>> standing;
    const double outerInset = nib::onPixels(size.width / 6 - kItemWidth / 2);
    std::shared_ptr<ui::LayoutConstraint> left, right;
    for (std::size_t i = 0; i < std::size(kItems); ++i) {
        auto item = loading.make<ui::View>(cg::Rect{0, 0, kItemWidth, kItemHeight});
        item->setTranslatesAutoresizingMaskIntoConstraints(false);
        bar->addSubview(item);
        auto icon = loading.make<ui::ImageView>(cg::Rect{(kItemWidth - 30) / 2, 2, 30, 30});
        icon->setImage(ui::Image::imageNamed(kItems[i].icon));
        icon->setTag(kIconTagBase + std::int64_t(i));
        item->addSubview(icon);
        auto button = loading.make<ui::Button>(item->bounds());
        button->setTitle(std::string(kItems[i].title), ui::ControlStateNormal);
        button->setTitleColor(colorWithHex(0x6D6D6D), ui::ControlStateNormal);
        button->titleLabel()->setFont(ui::Font::systemFontOfSize(12));
        button->setContentVerticalAlignment(ui::ControlContentVerticalAlignment::Bottom);
        button->setContentEdgeInsets({0, 0, 2, 0});
        button->setTag(std::int64_t(i));
        button->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth | ui::ViewAutoresizingFlexibleHeight);
        item->addSubview(button);
        if (owner) button->addTarget(owner->weak_from_this(), &MainViewController::btnClick, ui::ControlEventTouchUpInside);

        // How far the item stands above the bar's bottom: selected items stand higher.
        auto stand =
            relate(bar, LayoutAttribute::Bottom, item, LayoutAttribute::Bottom, AppScreens::tabItemStand(false));
        bar->addConstraints({fixed(item, LayoutAttribute::Width, kItemWidth),
                             fixed(item, LayoutAttribute::Height, kItemHeight), stand});
        if (i == 0) {
            left = relate(item, LayoutAttribute::Left, bar, LayoutAttribute::Left, outerInset);
            bar->addConstraint(left);
        } else if (i == 1) {
            bar->addConstraint(relate(item, LayoutAttribute::CenterX, bar, LayoutAttribute::CenterX, 0));
        } else {
            right = relate(bar, LayoutAttribute::Right, item, LayoutAttribute::Right, outerInset);
            bar->addConstraint(right);
        }
        items.push_back(item);
        standing.push_back(stand);
    }
    if (owner) {
        owner->contentView_ = content;
        owner->tabbarView_ = bar;
        owner->tabbarBgImageView_ = barBackground;
        owner->itemViews_ = items;
        owner->itemConstraints_ = standing;
        owner->item1LeftConstrast_ = left;
        owner->item3RightConstrast_ = right;
    }
    return {view};
}

bool MainViewController::isTablet() const { return deviceModel() == kTabletDeviceModel; }

void MainViewController::viewDidLoad() {
    BasicVC::viewDidLoad();
    navgationBar()->removeFromSuperview();

    homeVc_ = HomeVC::navigationControllerContainSelf();
    bookStoreVc_ = BookStoreVC::navigationControllerContainSelf();
    mineVc_ = MineVC::navigationControllerContainSelf();
    for (const auto& tab : {homeVc_, bookStoreVc_, mineVc_}) addChildViewController(tab);
    viewControllers_ = {homeVc_, bookStoreVc_, mineVc_};
    itemArray_ = itemViews_;

    homeVc_->view()->setFrame(contentView_->bounds());
    contentView_->addSubview(homeVc_->view());
    constraints_ = itemConstraints_;

    if (auto* host = dynamic_cast<TabBarHost*>(ui::Application::sharedApplication().delegate().get())) {
        host->setTabBarView(tabbarView_);
    }
    if (isTablet()) {
        const double inset = nib::onPixels(ui::Screen::mainScreen().bounds().size.width * 0.5 - 200);
        item1LeftConstrast_->setConstant(inset);
        item3RightConstrast_->setConstant(inset);
        for (const auto& constraint : constraints_) constraint->setConstant(AppScreens::tabItemStand(false));
    }
    tabbarBgImageView_->setHidden(true);
    setSelectWithIndex(0);
}

void MainViewController::viewWillAppear(bool animated) {
    BasicVC::viewWillAppear(animated);
    ns::Log::write("=============");
}

void MainViewController::btnClick(ui::Button* sender) {
    if (sender) setSelectWithIndex(std::uint64_t(sender->tag()));
}

void MainViewController::setSelectWithIndex(std::uint64_t index) {
    if (index >= viewControllers_.size()) return;
    currentIndex_ = index;
    setSelectItemWithIndex(index);
    setContentViewWithIndex(index);
}

void MainViewController::setSelectItemWithIndex(std::uint64_t index) {
    if (index >= constraints_.size()) return;
    for (std::size_t i = 0; i < constraints_.size(); ++i) {
        if (i == index) {
            setItemSelected(constraints_[i]);
        } else {
            setItemUnSelected(constraints_[i]);
        }
    }
}

void MainViewController::setItemSelected(const std::shared_ptr<ui::LayoutConstraint>& constraint) {
    const double constant = AppScreens::tabItemStand(true);
    auto bar = tabbarView_;
    ui::View::animate(0.2, [constraint, constant, bar] {
        constraint->setConstant(constant);
        bar->layoutIfNeeded();
    });
}

void MainViewController::setItemUnSelected(const std::shared_ptr<ui::LayoutConstraint>& constraint) {
    const double constant = AppScreens::tabItemStand(false);
    auto bar = tabbarView_;
    ui::View::animate(0.2, [constraint, constant, bar] {
        constraint->setConstant(constant);
        bar->layoutIfNeeded();
    });
}

void MainViewController::setContentViewWithIndex(std::uint64_t index) {
    if (index < viewControllers_.size()) {
        for (const auto& subview : std::vector(contentView_->subviews())) subview->removeFromSuperview();
        const auto& tab = viewControllers_[index];
        tab->view()->setFrame(contentView_->bounds());
        currentVC_ = tab;
        contentView_->addSubview(tab->view());
    }
    ui::View* icon = view()->viewWithTag(kIconTagBase + std::int64_t(index));
    if (!icon) return;
    auto bouncing = icon->sharedFromThis();
    bouncing->setTransform(cg::AffineTransform::identity());
    ui::View::animate(0.1, [bouncing] { bouncing->setTransform(cg::AffineTransform::makeScale(0.5, 0.5)); },
                      [bouncing](bool) {
                          ui::View::animate(
                              0.2, [bouncing] { bouncing->setTransform(cg::AffineTransform::makeScale(1.2, 1.2)); },
                              [bouncing](bool) {
                                  ui::View::animate(0.1, [bouncing] {
                                      bouncing->setTransform(cg::AffineTransform::makeScale(1.0, 1.0));
                                  });
                              });
                      });
}

}  // namespace ql
