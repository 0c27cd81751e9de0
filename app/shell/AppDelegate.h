#pragma once
// The application delegate: it makes the one window and picks the first screen from the saved flags
// (the first-run guide, the tab shell with a silent sign-in, or the sign-in screen), and it carries the
// shell's tab bar for the screens to show or hide.

#include <memory>

#include "app/uikit/AppScreens.h"
#include "platform/foundation/Object.h"
#include "platform/ui/Application.h"

namespace ql::ui {
class View;
class Window;
}  // namespace ql::ui

namespace ql {

class LoginDataModel;

class AppDelegate : public ns::Object, public ui::ApplicationDelegate, public TabBarHost {
    QL_OBJECT(AppDelegate, ns::Object)
public:
    bool applicationDidFinishLaunchingWithOptions(ui::Application& application, const ns::Dictionary& options) override;
    void autoLoginActionWithLoginData(const std::shared_ptr<LoginDataModel>& record);

    std::shared_ptr<ui::Window> window() const override { return window_; }
    void setWindow(std::shared_ptr<ui::Window> window) { window_ = std::move(window); }
    std::shared_ptr<ui::View> tabBarView() const override { return tabBarView_; }
    void setTabBarView(std::shared_ptr<ui::View> view) override { tabBarView_ = std::move(view); }

private:
    std::shared_ptr<ui::Window> window_;
    std::shared_ptr<ui::View> tabBarView_;
};

}  // namespace ql
