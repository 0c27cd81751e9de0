#pragma once
// The least application a booted headless device can launch: one window, shown and key, with a root view
// controller the test hands over or a blank one.

#include <memory>

#include "platform/ui/Application.h"
#include "platform/ui/Screen.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"

namespace ql::test {

class WindowShell : public ui::ApplicationDelegate {
public:
    explicit WindowShell(std::shared_ptr<ui::ViewController> root = std::make_shared<ui::ViewController>())
        : root_(std::move(root)) {}

    std::shared_ptr<ui::ViewController> root_;
    std::shared_ptr<ui::Window> window_ = std::make_shared<ui::Window>(ui::Screen::mainScreen().bounds());

    std::shared_ptr<ui::Window> window() const override { return window_; }
    bool applicationDidFinishLaunchingWithOptions(ui::Application&, const ns::Dictionary&) override {
        window_->setRootViewController(root_);
        window_->makeKeyAndVisible();
        return true;
    }
};

}  // namespace ql::test
