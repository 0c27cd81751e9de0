#pragma once
// What the base screens need to know of the app around them without depending on it: which screens are
// the tab roots, how to make the tab shell, and where the shell's tab bar and the app's window are. The
// shell registers its part at start-up, so the kit and the account screens sit below it.

#include <functional>
#include <memory>

namespace ql::ns {
class Class;
}
namespace ql::ui {
class View;
class ViewController;
class Window;
}  // namespace ql::ui

namespace ql {

// Adopted by the application delegate: it carries the shell's own tab bar so every screen can show or
// hide it.
class TabBarHost {
public:
    virtual ~TabBarHost() = default;
    virtual std::shared_ptr<ui::View> tabBarView() const = 0;
    virtual void setTabBarView(std::shared_ptr<ui::View> view) = 0;
};

class AppScreens {
public:
    // The shell's tab bar lies over the bottom of the tab roots' views, and its selected item stands
    // higher than the bar.
    static constexpr double kTabBarHeight = 56;
    static constexpr double kTabItemHeight = 54;
    // How far above the bar's bottom an item stands, selected or not (tablets raise them further).
    static double tabItemStand(bool selected);
    // What the tab roots keep clear at the bottom of their views: the bar or its raised item.
    static double tabBarReach();

    using Factory = std::function<std::shared_ptr<ui::ViewController>()>;

    // Screens of these classes (and their subclasses) are roots: no back button, the tab bar shows.
    static void registerRootScreenClass(const ns::Class& cls);
    static bool isRootScreen(const ui::ViewController& screen);

    static void registerTabShellFactory(Factory factory);
    // A new tab shell; raises "NSInternalInconsistencyException" when none is registered.
    static std::shared_ptr<ui::ViewController> makeTabShell();

    // The application delegate's window and tab bar; null when the delegate has none.
    static std::shared_ptr<ui::Window> window();
    static std::shared_ptr<ui::View> tabBarView();
    // Replaces the root of the app's window (the window itself stays).
    static void setRootViewController(std::shared_ptr<ui::ViewController> controller);
};

}  // namespace ql
