#pragma once
// The base of the app's screens: the full-screen background, the app's own title bar in place of the
// hidden system bar (its back button goes back one screen), the shell's tab bar shown on the tab roots
// only, and the title copied into the bar.

#include <memory>
#include <string>

#include "app/uikit/CustomNavigationBar.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/Nib.h"
#include "platform/ui/ViewController.h"

namespace ql {

class BasicVC : public ui::ViewController, public TarnNavigationBarDelegate {
    QL_OBJECT(BasicVC, ui::ViewController)
public:
    static constexpr double kNavigationBarHeight = 64;

    explicit BasicVC(std::string nibName = {});
    ~BasicVC() override;

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    // Goes back one screen; screens that must do something else on back override it.
    void TarnNavigationBar_onButtonBack() override;

    const std::shared_ptr<CustomNavigationBar>& navgationBar() const { return navgationBar_; }
    void setNavgationBar(std::shared_ptr<CustomNavigationBar> bar) { navgationBar_ = std::move(bar); }

    // A new navigation controller whose root is a new Screen (its view from the nib named after it when
    // one is registered).
    template <class Screen>
    static std::shared_ptr<ui::NavigationController> navigationControllerContaining() {
        return std::make_shared<ui::NavigationController>(std::make_shared<Screen>());
    }

private:
    std::shared_ptr<CustomNavigationBar> navgationBar_;
};

// Closes the keyboard on a tap anywhere on the screen and lets the keyboard manager keep fields in view
// while the screen is shown.
class InputVC : public BasicVC {
    QL_OBJECT(InputVC, BasicVC)
public:
    using BasicVC::BasicVC;

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;

    void addTapAction();
    void tapTheBackGroud();
};

}  // namespace ql
