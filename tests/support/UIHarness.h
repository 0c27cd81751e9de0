#pragma once
// A shown key window with a root view controller, on a manual clock, with fingers to touch it: what most
// tests of the view layer start from. Time passes only when the test advances it.

#include <memory>

#include "platform/foundation/Clock.h"
#include "platform/graphics/Geometry.h"
#include "platform/ui/Application.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/Screen.h"
#include "platform/ui/TouchDriver.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"

namespace ql::test {

class UIHarness {
public:
    explicit UIHarness(cg::Rect screen = {0, 0, 320, 480}, double scale = 2) {
        ui::Screen::mainScreen().setBounds(screen);
        ui::Screen::mainScreen().setScale(scale);
        window = std::make_shared<ui::Window>(screen);
        root = std::make_shared<ui::ViewController>();
        window->setRootViewController(root);
        window->makeKeyAndVisible();
        settle();
    }

    ~UIHarness() {
        window->endEditing(true);
        advance(1);
        window->setHidden(true);
        settle();
    }

    UIHarness(const UIHarness&) = delete;
    UIHarness& operator=(const UIHarness&) = delete;

    // Runs what is due now on the main run loop: performed blocks, the layout and display passes.
    void settle() {
        for (int i = 0; i < 3; ++i) ns::Clock::advance(0);
    }
    void advance(double seconds) {
        ns::Clock::advance(seconds);
        settle();
    }

    ns::ManualClockScope clock;
    std::shared_ptr<ui::Window> window;
    std::shared_ptr<ui::ViewController> root;
    ui::TouchDriver fingers;
};

}  // namespace ql::test
