#include "app/uikit/BasicVC.h"

#include "app/uikit/AppScreens.h"
#include "app/uikit/ImageContent.h"
#include "platform/foundation/Log.h"
#include "platform/ui/Button.h"
#include "platform/ui/GestureRecognizer.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/LayoutConstraint.h"
#include "platform/ui/Screen.h"
#include "platform/ui/TapGestureRecognizer.h"
#include "ui/keyboard/KBKeyboardManager.h"

namespace ql {

namespace {

std::shared_ptr<ui::ImageView> fullScreenBackground(std::shared_ptr<ui::Image> image, const ui::View& view) {
    auto background = std::make_shared<ui::ImageView>(view.bounds());
    background->setImage(std::move(image));
    background->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth | ui::ViewAutoresizingFlexibleHeight);
    return background;
}

}  // namespace

BasicVC::BasicVC(std::string nibName) : ui::ViewController(std::move(nibName)) {}

BasicVC::~BasicVC() { ns::Log::write(std::string(ownClassName()) + " dealloc"); }

void BasicVC::viewDidLoad() {
    ui::ViewController::viewDidLoad();
    if (auto* navigation = navigationController()) {
        if (auto swipeBack = navigation->interactivePopGestureRecognizer()) swipeBack->setEnabled(false);
        navigation->setNavigationBarHidden(true);
    }
    ui::View& root = *view();
    auto homeBackground = fullScreenBackground(imageWithDevice("home_bg"), root);
    root.insertSubview(homeBackground, 0);

    setEdgesForExtendedLayout(ui::RectEdgeNone);
    setExtendedLayoutIncludesOpaqueBars(false);
    setModalPresentationCapturesStatusBarAppearance(false);

    navgationBar_ = CustomNavigationBar::make();
    navgationBar_->setDelegate(std::dynamic_pointer_cast<TarnNavigationBarDelegate>(shared_from_this()));
    navgationBar_->buttonBack()->addTarget(weak_from_this(), &BasicVC::TarnNavigationBar_onButtonBack,
                                           ui::ControlEventTouchUpInside);
    navgationBar_->setTranslatesAutoresizingMaskIntoConstraints(false);
    root.addSubview(navgationBar_);
    auto rootView = view();
    using ui::LayoutAttribute;
    auto equal = [&](LayoutAttribute attribute) {
        return ui::LayoutConstraint::constraintWithItem(navgationBar_, attribute, ui::LayoutRelation::Equal, rootView,
                                                        attribute, 1, 0);
    };
    root.addConstraints({equal(LayoutAttribute::Left), equal(LayoutAttribute::Top), equal(LayoutAttribute::Right),
                         ui::LayoutConstraint::constraintWithItem(navgationBar_, LayoutAttribute::Height,
                                                                  ui::LayoutRelation::Equal, nullptr,
                                                                  LayoutAttribute::NotAnAttribute, 1,
                                                                  kNavigationBarHeight)});

    if (AppScreens::isRootScreen(*this)) {
        navgationBar_->buttonBack()->setHidden(true);
        return;
    }
    // Inner screens lie on clouds: one row in the middle of the picture stretches to the screen's height.
    const double halfHeight = ui::Screen::mainScreen().bounds().size.height / 2;
    auto clouds = fullScreenBackground(resizableImageName("baiyun_bg.png", {halfHeight - 1, 0, halfHeight, 0}), root);
    root.insertSubviewAbove(clouds, homeBackground.get());
    navgationBar_->buttonBack()->setHidden(false);
}

void BasicVC::viewWillAppear(bool animated) {
    ui::ViewController::viewWillAppear(animated);
    if (auto* navigation = navigationController()) navigation->setNavigationBarHidden(true);
    if (auto tabBar = AppScreens::tabBarView()) tabBar->setHidden(!AppScreens::isRootScreen(*this));
    if (navgationBar_) navgationBar_->setNavigationTitle(title());
}

void BasicVC::TarnNavigationBar_onButtonBack() {
    if (auto* navigation = navigationController()) navigation->popViewControllerAnimated(true);
}

void InputVC::viewDidLoad() {
    BasicVC::viewDidLoad();
    addTapAction();
}

void InputVC::addTapAction() {
    view()->addGestureRecognizer(
        std::make_shared<ui::TapGestureRecognizer>(weak_from_this(), &InputVC::tapTheBackGroud));
}

void InputVC::tapTheBackGroud() { view()->endEditing(true); }

void InputVC::viewWillAppear(bool animated) {
    BasicVC::viewWillAppear(animated);
    const auto& keyboard = KBKeyboardManager::sharedManager();
    keyboard->setEnable(true);
    keyboard->setEnableAutoToolbar(true);
}

void InputVC::viewWillDisappear(bool animated) {
    BasicVC::viewWillDisappear(animated);
    // Off for the screens that follow; the toolbar setting stays as the next text screen wants it.
    const auto& keyboard = KBKeyboardManager::sharedManager();
    keyboard->setEnable(false);
    keyboard->setEnableAutoToolbar(true);
}

}  // namespace ql
