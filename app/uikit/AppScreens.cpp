#include "app/uikit/AppScreens.h"

#include <algorithm>
#include <vector>

#include "platform/foundation/Exception.h"
#include "platform/ui/Application.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"
#include "ui/DeviceModel.h"

namespace ql {

namespace {

struct Registry {
    std::vector<const ns::Class*> rootClasses;
    AppScreens::Factory tabShell;
};

// Registered once at start-up and read on the main thread afterwards.
Registry& registry() {
    static auto& instance = *new Registry;
    return instance;
}

constexpr std::uint64_t kTabletDeviceModel = 4;

}  // namespace

double AppScreens::tabItemStand(bool selected) {
    const bool tablet = deviceModel() == kTabletDeviceModel;
    return selected ? (tablet ? 26 : 16) : (tablet ? 16 : 6);
}

double AppScreens::tabBarReach() { return std::max(kTabBarHeight, kTabItemHeight + tabItemStand(true)); }

void AppScreens::registerRootScreenClass(const ns::Class& cls) {
    auto& classes = registry().rootClasses;
    if (std::find(classes.begin(), classes.end(), &cls) == classes.end()) classes.push_back(&cls);
}

bool AppScreens::isRootScreen(const ui::ViewController& screen) {
    for (const ns::Class* cls : registry().rootClasses) {
        if (screen.isKindOfClass(*cls)) return true;
    }
    return false;
}

void AppScreens::registerTabShellFactory(Factory factory) { registry().tabShell = std::move(factory); }

std::shared_ptr<ui::ViewController> AppScreens::makeTabShell() {
    if (!registry().tabShell) {
        throw ns::Exception(ns::InternalInconsistencyException, "no tab shell is registered");
    }
    return registry().tabShell();
}

std::shared_ptr<ui::Window> AppScreens::window() {
    const auto& delegate = ui::Application::sharedApplication().delegate();
    return delegate ? delegate->window() : nullptr;
}

std::shared_ptr<ui::View> AppScreens::tabBarView() {
    auto* host = dynamic_cast<TabBarHost*>(ui::Application::sharedApplication().delegate().get());
    return host ? host->tabBarView() : nullptr;
}

void AppScreens::setRootViewController(std::shared_ptr<ui::ViewController> controller) {
    if (auto appWindow = window()) appWindow->setRootViewController(std::move(controller));
}

}  // namespace ql
