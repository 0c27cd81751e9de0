#include "app/shell/AppDelegate.h"

#include "app/account/LoginViewController.h"
#include "app/account/SilentSignIn.h"
#include "app/session/UnitMetiodManager.h"
#include "app/shell/GuideViewController.h"
#include "app/shell/MainViewController.h"
#include "platform/ui/Screen.h"
#include "platform/ui/Window.h"

namespace ql {

bool AppDelegate::applicationDidFinishLaunchingWithOptions(ui::Application&, const ns::Dictionary&) {
    window_ = std::make_shared<ui::Window>(ui::Screen::mainScreen().bounds());
    if (!UnitMetiodManager::getShowGuideKey()) {
        window_->setRootViewController(std::make_shared<GuideViewController>());
    } else if (UnitMetiodManager::isAutoLogin()) {
        // The shell shows at once; the sign-in reply comes later on the main queue, after the shell's
        // screens have loaded and listen for "loginSuccess".
        window_->setRootViewController(std::make_shared<MainViewController>());
        autoLoginActionWithLoginData(UnitMetiodManager::getTheSavedUserPhoneNumAndPassword());
    } else {
        window_->setRootViewController(LoginViewController::navigationControllerContainSelf());
    }
    window_->makeKeyAndVisible();
    return true;
}

void AppDelegate::autoLoginActionWithLoginData(const std::shared_ptr<LoginDataModel>& record) {
    ql::autoLoginActionWithLoginData(record);
}

}  // namespace ql
