#pragma once
// The browser on the headless device: a navigation controller as the window's root, the browser pushed
// onto it or presented in a navigation controller of its own, and bar items described as short words.

#include <memory>
#include <string>
#include <vector>

#include "platform/device/Device.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/NavigationItem.h"
#include "platform/ui/Screen.h"
#include "platform/ui/Window.h"
#include "web/browser/WebViewController.h"

namespace ql::test {

class BrowserShell : public ui::ApplicationDelegate {
public:
    std::shared_ptr<ui::Window> window_ = std::make_shared<ui::Window>(ui::Screen::mainScreen().bounds());
    std::shared_ptr<ui::NavigationController> navigation_ =
        std::make_shared<ui::NavigationController>(std::make_shared<ui::ViewController>());
    std::shared_ptr<ui::Window> window() const override { return window_; }
    bool applicationDidFinishLaunchingWithOptions(ui::Application&, const ns::Dictionary&) override {
        window_->setRootViewController(navigation_);
        window_->makeKeyAndVisible();
        return true;
    }
};

struct BrowserHarness {
    explicit BrowserHarness(const sim::ScreenProfile& profile, sim::Device::Time time = sim::Device::Time::Manual)
        : device(profile, time) {
        device.boot([this] {
            shell = std::make_shared<BrowserShell>();
            return shell;
        });
    }

    void push(const std::shared_ptr<WebViewController>& browser) {
        shell->navigation_->pushViewController(browser, false);
        device.runUntilIdle();
    }
    // Presented inside a navigation controller of its own.
    std::shared_ptr<ui::NavigationController> present(const std::shared_ptr<WebViewController>& browser) {
        auto navigation = std::make_shared<ui::NavigationController>(browser);
        shell->navigation_->presentViewController(navigation, false);
        device.runUntilIdle();
        return navigation;
    }

    // "|" a flexible space, "_" a fixed one of the browser's spacing; buttons by name.
    std::vector<std::string> describe(const WebViewController& browser, const WebViewController::BarButtonItems& items) const {
        std::vector<std::string> words;
        for (const auto& item : items) {
            if (item->isFlexibleSpace()) words.push_back("|");
            else if (item->isFixedSpace()) words.push_back(item->width() == WebViewController::kRegularButtonSpacing ? "_" : "?");
            else if (item == browser.backButton()) words.push_back("back");
            else if (item == browser.forwardButton()) words.push_back("forward");
            else if (item == browser.reloadStopButton()) words.push_back("reload");
            else if (item == browser.actionButton()) words.push_back("action");
            else if (item == browser.doneButton()) words.push_back("done");
            else words.push_back(item->title().value_or("?"));
        }
        return words;
    }

    sim::Device device;
    std::shared_ptr<BrowserShell> shell;
};

inline std::shared_ptr<ui::BarButtonItem> titled(const std::string& title) {
    return std::make_shared<ui::BarButtonItem>(title, ui::BarButtonItemStyle::Plain, std::weak_ptr<ns::Object>(), ui::Action());
}

}  // namespace ql::test
