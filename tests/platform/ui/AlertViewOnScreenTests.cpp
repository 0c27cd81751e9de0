// Alerts on the headless device: their words are views a finger finds and taps, a text field takes typing, and
// the alert fits every screen, above the keyboard when it has a field.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/device/Device.h"
#include "platform/device/Screenshot.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Application.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/Screen.h"
#include "platform/ui/TextField.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"
#include "tests/support/ReferenceImage.h"
#include "tests/support/WindowShell.h"

namespace ql {
namespace {

class Answers final : public ui::AlertViewDelegate {
public:
    void alertViewClickedButtonAtIndex(ui::AlertView& alert, std::int64_t index) override {
        auto field = alert.textFieldAtIndex(0);
        heard.push_back(std::to_string(index) + (field ? " " + field->text() : ""));
    }
    std::vector<std::string> heard;
};

cg::Rect onScreen(const ui::View& view) { return view.convertRectToView(view.bounds(), nullptr); }

TEST(AlertViewOnScreen, ButtonsAreTappedAndAFieldTakesTypingOnEveryScreen) {
    for (const auto& profile : {sim::ScreenProfile::phone320x480(), sim::ScreenProfile::phone320x568(),
                                sim::ScreenProfile::phone375x667(), sim::ScreenProfile::phone414x736(),
                                sim::ScreenProfile::pad768x1024()}) {
        const std::string screen = std::to_string(int(profile.portraitSize.width)) + "x" + std::to_string(int(profile.portraitSize.height));
        sim::Device device(profile);
        auto shell = std::make_shared<test::WindowShell>();
        device.boot([&] { return shell; });
        auto answers = std::make_shared<Answers>();

        // A long message gives way rather than push the buttons off the screen.
        std::string longMessage;
        for (int i = 0; i < 200; ++i) longMessage += "A line of the page's message. ";
        auto confirm = std::make_shared<ui::AlertView>("127.0.0.1", longMessage, answers, "Cancel",
                                                       std::vector<std::string>{"OK"});
        confirm->show();
        device.runUntilIdle();
        test::saveForInspection(*sim::renderWindow(*confirm->window()), "alert-confirm-" + screen);
        EXPECT_EQ(device.keyWindow(), shell->window_) << screen << ": an alert without a field leaves the key window be";
        const cg::Rect bounds = ui::Screen::mainScreen().bounds();
        EXPECT_TRUE(cg::rectContainsRect(bounds, onScreen(*confirm))) << screen;
        for (const char* title : {"Cancel", "OK"}) {
            auto button = device.find(title);
            ASSERT_TRUE(button) << screen << " " << title;
            EXPECT_TRUE(cg::rectContainsRect(onScreen(*confirm), onScreen(*button))) << screen << " " << title;
        }
        device.tap("OK");
        EXPECT_EQ(answers->heard, (std::vector<std::string>{"1"})) << screen;
        EXPECT_TRUE(ui::AlertView::visibleAlerts().empty()) << screen;
        EXPECT_FALSE(device.find("OK")) << screen << ": the alert left the screen";

        auto prompt = std::make_shared<ui::AlertView>("127.0.0.1", "Your name?", answers, "Cancel",
                                                      std::vector<std::string>{"OK"});
        prompt->setAlertViewStyle(ui::AlertViewStyle::PlainTextInput);
        prompt->textFieldAtIndex(0)->setText("default");
        EXPECT_FALSE(prompt->textFieldAtIndex(1));
        prompt->show();
        device.runUntilIdle();
        ASSERT_TRUE(ui::Keyboard::shared().isVisible()) << screen;
        test::saveForInspection(*sim::renderWindow(*prompt->window()), "alert-prompt-" + screen);
        EXPECT_FALSE(cg::rectIntersectsRect(onScreen(*prompt), ui::Keyboard::shared().frame())) << screen;
        EXPECT_TRUE(cg::rectContainsRect(bounds, onScreen(*prompt))) << screen;
        device.pressBackspace(7);
        device.type("小明");
        device.tap("OK");
        EXPECT_EQ(answers->heard.back(), "1 小明") << screen;
        device.runUntilIdle();
        EXPECT_EQ(device.keyWindow(), shell->window_) << screen << ": the key window comes back";
        EXPECT_FALSE(ui::Keyboard::shared().isVisible()) << screen;

        auto alert = std::make_shared<ui::AlertView>("", "Done.", answers, std::nullopt, std::vector<std::string>{"OK"});
        alert->show();
        device.tap("Done.");  // the message is no button: nothing happens
        EXPECT_TRUE(alert->isVisible()) << screen;
        device.tap("OK");
        EXPECT_EQ(answers->heard.back(), "0") << screen;
    }
}

}  // namespace
}  // namespace ql
