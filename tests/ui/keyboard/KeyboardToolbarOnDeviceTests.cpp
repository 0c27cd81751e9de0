// The keyboard's toolbar as a person meets it on the headless device: a lone text field being edited
// gets a toolbar whose Done button lies wholly on the bar, and a tap on it ends the editing.

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "platform/device/Device.h"
#include "platform/ui/Screen.h"
#include "platform/ui/TextField.h"
#include "platform/ui/Toolbar.h"
#include "platform/ui/Window.h"
#include "ui/keyboard/KBKeyboardManager.h"
#include "ui/keyboard/KBToolbar.h"
#include "ui/keyboard/KBToolbarAddition.h"

using namespace ql;
using namespace ql::ui;

namespace {

class FieldController : public ViewController {
public:
    void viewDidLoad() override {
        for (int i = 0; i < fieldCount; ++i) {
            auto field = std::make_shared<TextField>(cg::Rect{20, 120 + 60.0 * i, view()->bounds().size.width - 40, 40});
            field->setBorderStyle(TextBorderStyle::RoundedRect);
            field->setPlaceholder("Your name, as your teacher writes it on the class list");
            view()->addSubview(field);
            fields.push_back(field);
        }
    }
    int fieldCount = 1;
    std::vector<std::shared_ptr<TextField>> fields;
};

class FieldDelegate : public ApplicationDelegate {
public:
    bool applicationDidFinishLaunchingWithOptions(Application&, const ns::Dictionary&) override {
        window_ = std::make_shared<Window>();
        controller = std::make_shared<FieldController>();
        controller->fieldCount = fieldCount;
        window_->setRootViewController(controller);
        window_->makeKeyAndVisible();
        return true;
    }
    std::shared_ptr<Window> window() const override { return window_; }
    std::shared_ptr<FieldController> controller;
    int fieldCount = 1;

private:
    std::shared_ptr<Window> window_;
};

}  // namespace

TEST(KeyboardToolbarOnDevice, DoneLiesOnTheBarAndEndsEditing) {
    for (const auto& profile : {sim::ScreenProfile::phone320x568(), sim::ScreenProfile::phone375x667(),
                                sim::ScreenProfile::phone414x736()}) {
      for (int fieldCount : {1, 2}) {
        const double width = profile.portraitSize.width;
        sim::Device device(profile);
        KBKeyboardManager::registerLoadHook();
        std::shared_ptr<FieldDelegate> delegate;
        device.boot([&] {
            delegate = std::make_shared<FieldDelegate>();
            delegate->fieldCount = fieldCount;
            return delegate;
        });
        auto& field = *delegate->controller->fields.back();
        device.tap(field);
        device.advance(1);
        ASSERT_TRUE(field.isFirstResponder());
        auto toolbar = std::dynamic_pointer_cast<KBToolbar>(field.inputAccessoryView());
        ASSERT_TRUE(toolbar);
        ASSERT_TRUE(toolbar->window());
        EXPECT_DOUBLE_EQ(toolbar->frame().size.width, width);
        const auto views = toolbar->itemViews();
        ASSERT_FALSE(views.empty());
        const cg::Rect done = views.back()->frame();
        EXPECT_GE(cg::minX(done), Toolbar::kEdgeMargin) << "on a screen " << width << " wide";
        EXPECT_LE(cg::maxX(done), width - Toolbar::kEdgeMargin) << "on a screen " << width << " wide";
        // Near its right end, where a thumb lands on a button at the screen's edge.
        const cg::Rect onScreen = views.back()->convertRectToView(views.back()->bounds(), nullptr);
        device.tap(cg::Point{cg::maxX(onScreen) - 4, cg::midY(onScreen)});
        device.advance(1);
        EXPECT_FALSE(field.isFirstResponder()) << "on a screen " << width << " wide";
      }
    }
}
