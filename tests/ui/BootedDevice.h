#pragma once
// A headless device booted into an app whose key window shows one plain white controller: what the
// toolkit's tests put their overlays, toasts and lists on. Time is the device's manual clock.

#include <memory>

#include "platform/device/Device.h"
#include "platform/ui/Color.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"

namespace ql::test {

class PlainAppDelegate : public ns::Object, public ui::ApplicationDelegate {
    QL_OBJECT(PlainAppDelegate, ns::Object)
public:
    bool applicationDidFinishLaunchingWithOptions(ui::Application&, const ns::Dictionary&) override {
        window_ = std::make_shared<ui::Window>();
        root = std::make_shared<ui::ViewController>();
        root->view()->setBackgroundColor(ui::Color::whiteColor());
        window_->setRootViewController(root);
        window_->makeKeyAndVisible();
        return true;
    }
    std::shared_ptr<ui::Window> window() const override { return window_; }

    std::shared_ptr<ui::ViewController> root;

private:
    std::shared_ptr<ui::Window> window_;
};

class BootedDevice {
public:
    explicit BootedDevice(const sim::ScreenProfile& profile = sim::ScreenProfile::phone320x568()) : device(profile) {
        device.boot([this] {
            delegate = std::make_shared<PlainAppDelegate>();
            return delegate;
        });
    }

    ui::Window& window() const { return *delegate->window(); }
    ui::View& rootView() const { return *delegate->root->view(); }

    sim::Device device;
    std::shared_ptr<PlainAppDelegate> delegate;
};

}  // namespace ql::test
