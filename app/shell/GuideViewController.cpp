#include "app/shell/GuideViewController.h"

#include <cmath>

#include "app/account/LoginViewController.h"
#include "app/session/UnitMetiodManager.h"
#include "app/uikit/AppScreens.h"
#include "platform/ui/Button.h"
#include "platform/ui/Color.h"
#include "platform/ui/Font.h"
#include "platform/ui/Image.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/PageControl.h"
#include "platform/ui/Screen.h"
#include "ui/DeviceModel.h"

namespace ql {

std::string GuideViewController::getGuideImageNameWithIndex(std::int64_t index) const {
    const char* device = "iphone6";
    switch (deviceModel()) {
        case 0: device = "iphone4"; break;
        case 1: device = "iphone5"; break;
        case 3: device = "iphone6p"; break;
        case 4: device = "ipad"; break;
        default: break;
    }
    return "guide_" + std::string(device) + "_" + std::to_string(index + 1) + ".png";
}

void GuideViewController::viewDidLoad() {
    BasicVC::viewDidLoad();
    const cg::Size screen = ui::Screen::mainScreen().bounds().size;
    const double width = screen.width;
    const double height = screen.height;
    const std::uint64_t kind = deviceModel();

    guideScrollView_ = std::make_shared<ui::ScrollView>(cg::Rect{0, 0, width, height});
    guideScrollView_->setPagingEnabled(true);
    guideScrollView_->setDelegate(std::dynamic_pointer_cast<ui::ScrollViewDelegate>(shared_from_this()));
    guideScrollView_->setBounces(false);
    guideScrollView_->setShowsHorizontalScrollIndicator(false);
    view()->addSubview(guideScrollView_);

    const double pageY = kind == 0 ? height - 75 : kind == 1 ? height - 110 : height - 130;
    pageCtr_ = std::make_shared<ui::PageControl>(cg::Rect{width * 0.5 - 40, pageY, 80, 35});
    pageCtr_->setPageIndicatorTintColor(ui::Color::lightGrayColor());
    pageCtr_->setCurrentPageIndicatorTintColor(ui::Color::darkGrayColor());
    pageCtr_->setNumberOfPages(kPageCount);
    pageCtr_->setCurrentPage(0);
    view()->addSubview(pageCtr_);

    for (std::int64_t i = 0; i < kPageCount; ++i) {
        auto page = std::make_shared<ui::ImageView>(cg::Rect{double(i) * width, 0, width, height});
        page->setImage(ui::Image::imageNamed(getGuideImageNameWithIndex(i)));
        guideScrollView_->addSubview(page);
        if (i != kPageCount - 1) continue;
        const double buttonY = kind == 0 ? height - 45 : height - 80;
        auto enter = ui::Button::buttonWithType(ui::ButtonType::Custom);
        enter->setFrame({width * 0.5 - 109, buttonY, 218, 40});
        enter->setTitle(std::string(EnterAppTitle), ui::ControlStateNormal);
        enter->setTitleColor(ui::Color::darkGrayColor(), ui::ControlStateNormal);
        enter->titleLabel()->setFont(ui::Font::systemFontOfSize(17));
        enter->setBackgroundImage(ui::Image::imageNamed("go_intoApp_btn"), ui::ControlStateNormal);
        enter->addTarget(weak_from_this(), &GuideViewController::pushTheTabbarController, ui::ControlEventTouchUpInside);
        page->addSubview(enter);
        page->setUserInteractionEnabled(true);
    }
    guideScrollView_->setContentSize({kPageCount * width, height});
}

void GuideViewController::scrollViewDidEndDecelerating(ui::ScrollView& scrollView) {
    const double width = ui::Screen::mainScreen().bounds().size.width;
    pageCtr_->setCurrentPage(std::int64_t(std::trunc(scrollView.contentOffset().x / width)));
}

void GuideViewController::pushTheTabbarController() {
    AppScreens::setRootViewController(LoginViewController::navigationControllerContainSelf());
    UnitMetiodManager::saveShowGuideKey(true);
}

}  // namespace ql
