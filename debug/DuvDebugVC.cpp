#include "debug/DuvDebugVC.h"

#include "debug/DuvCrashLogVC.h"
#include "debug/DuvDebugTool.h"
#include "debug/DuvHttpVC.h"
#include "platform/ui/Color.h"
#include "platform/ui/Font.h"
#include "platform/ui/NavigationBar.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/TabBarItem.h"
#include "platform/ui/TextTypes.h"

namespace ql {

void DuvDebugVC::viewDidLoad() {
    ui::TabBarController::viewDidLoad();
    view()->setBackgroundColor(ui::Color::whiteColor());
}

void DuvDebugVC::makeTabs() {
    const auto accent = DuvDebugTool::shareInstance()->mainColor();
    const auto attributes = [](const std::shared_ptr<ui::Color>& color, double size) {
        return ns::Dictionary{{std::string(ui::FontAttributeName), ns::Value(ui::Font::systemFontOfSize(size))},
                              {std::string(ui::ForegroundColorAttributeName), ns::Value(color)}};
    };
    const std::pair<std::shared_ptr<ui::ViewController>, const char*> tabs[] = {
        {std::make_shared<DuvHttpVC>(), "Http"},
        {std::make_shared<DuvCrashVC>(), "Crash"},
        {std::make_shared<DuvLogVC>(), "Log"},
    };
    std::vector<std::shared_ptr<ui::ViewController>> controllers;
    for (const auto& [root, title] : tabs) {
        auto navigation = std::make_shared<ui::NavigationController>(root);
        navigation->navigationBar()->setTitleTextAttributes(attributes(accent, 21));
        auto item = std::make_shared<ui::TabBarItem>(title, nullptr, nullptr);
        item->setTitleTextAttributes(attributes(ui::Color::lightGrayColor(), 30), ui::ControlStateNormal);
        item->setTitleTextAttributes(attributes(accent, 30), ui::ControlStateSelected);
        navigation->setTabBarItem(item);
        controllers.push_back(navigation);
    }
    setViewControllers(std::move(controllers));
}

}  // namespace ql
