// A form of three text fields on the headless device, edited with the keyboard manager on: the root view
// rises so that the edited field clears the keyboard and its toolbar. With QUILLORY_SHOTS_DIR set, the
// screen (the app's window with the keyboard's over it) is written there as keyboard-form.png.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "platform/device/Device.h"
#include "platform/device/Screenshot.h"
#include "platform/graphics/ImageEncoding.h"
#include "platform/ui/Button.h"
#include "platform/ui/Color.h"
#include "platform/ui/Font.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/Label.h"
#include "platform/ui/Screen.h"
#include "platform/ui/TextField.h"
#include "platform/ui/Window.h"
#include "ui/keyboard/KBKeyboardManager.h"
#include "ui/keyboard/KBToolbar.h"

using namespace ql;
using namespace ql::ui;

namespace {

class FormController : public ViewController {
public:
    void viewDidLoad() override {
        View& root = *view();
        const double width = root.bounds().size.width;
        root.setBackgroundColor(Color::colorWithRed(0.96, 0.97, 0.99, 1));
        auto banner = std::make_shared<View>(cg::Rect{0, 0, width, 240});
        banner->setBackgroundColor(Color::colorWithRed(0.25, 0.6, 0.45, 1));
        root.addSubview(banner);
        auto title = std::make_shared<Label>(cg::Rect{24, 150, width - 48, 40});
        title->setText(std::string("注册 Sign up"));
        title->setFont(Font::boldSystemFontOfSize(30));
        title->setTextColor(Color::whiteColor());
        banner->addSubview(title);
        auto hint = std::make_shared<Label>(cg::Rect{24, 270, width - 48, 60});
        hint->setText(std::string("填写手机号码、验证码和密码。Fill in your mobile number, the code and a password."));
        hint->setNumberOfLines(0);
        hint->setFont(Font::systemFontOfSize(14));
        hint->setTextColor(Color::darkGrayColor());
        root.addSubview(hint);
        double y = 380;
        for (const char* placeholder : {"手机号码 Mobile number", "验证码 Code", "密码 Password"}) {
            auto field = std::make_shared<TextField>(cg::Rect{24, y, width - 48, 40});
            field->setBorderStyle(TextBorderStyle::RoundedRect);
            field->setPlaceholder(std::string(placeholder));
            root.addSubview(field);
            fields.push_back(field);
            y += 56;
        }
        auto done = std::make_shared<Button>(cg::Rect{24, y + 8, width - 48, 44});
        done->setTitle("完成 Done", ControlStateNormal);
        done->setTitleColor(Color::whiteColor(), ControlStateNormal);
        done->setBackgroundColor(Color::colorWithRed(0.25, 0.6, 0.45, 1));
        done->layer()->setCornerRadius(8);
        root.addSubview(done);
    }
    std::vector<std::shared_ptr<TextField>> fields;
};

class FormDelegate : public ApplicationDelegate {
public:
    bool applicationDidFinishLaunchingWithOptions(Application&, const ns::Dictionary&) override {
        window_ = std::make_shared<Window>();
        form = std::make_shared<FormController>();
        window_->setRootViewController(form);
        window_->makeKeyAndVisible();
        return true;
    }
    std::shared_ptr<Window> window() const override { return window_; }
    std::shared_ptr<FormController> form;

private:
    std::shared_ptr<Window> window_;
};

// The app's window with the keyboard's rows laid over it, as the screen shows them.
std::shared_ptr<const cg::Image> screen(Window& app) {
    auto picture = sim::renderWindow(app);
    const auto keyboardWindow = Keyboard::shared().window();
    if (!Keyboard::shared().isVisible()) return picture;
    auto keys = sim::renderWindow(*keyboardWindow);
    const double scale = app.screen().scale();
    std::vector<std::uint32_t> pixels(picture->pixels(), picture->pixels() + picture->width() * picture->height());
    const cg::Rect frame = Keyboard::shared().frame();
    const cg::Point origin = keyboardWindow->frame().origin;
    for (int y = static_cast<int>(cg::minY(frame) * scale); y < static_cast<int>(cg::maxY(frame) * scale); ++y) {
        const int from = y - static_cast<int>(origin.y * scale);
        if (y < 0 || y >= picture->height() || from < 0 || from >= keys->height()) continue;
        std::copy_n(keys->pixels() + from * keys->width(), std::min(keys->width(), picture->width()),
                    pixels.begin() + y * picture->width());
    }
    return cg::Image::create(picture->width(), picture->height(), std::move(pixels));
}

}  // namespace

TEST(KeyboardScreenshot, TheRootViewRisesAboveTheKeyboardAndItsToolbar) {
    sim::Device device(sim::ScreenProfile::phone375x667());
    KBKeyboardManager::registerLoadHook();
    std::shared_ptr<FormDelegate> delegate;
    device.boot([&] {
        delegate = std::make_shared<FormDelegate>();
        return delegate;
    });
    auto& form = *delegate->form;
    device.tap(*form.fields[2]);
    device.advance(1);

    ASSERT_TRUE(form.fields[2]->isFirstResponder());
    auto toolbar = std::dynamic_pointer_cast<KBToolbar>(form.fields[2]->inputAccessoryView());
    ASSERT_TRUE(toolbar);
    EXPECT_EQ(toolbar->tag(), kKBPreviousNextToolbarTag);
    EXPECT_EQ(toolbar->title(), "密码 Password");
    EXPECT_TRUE(toolbar->window());
    const double keyboardTop = 667 - Keyboard::shared().frame().size.height;
    EXPECT_DOUBLE_EQ(form.view()->frame().origin.y, -(380 + 2 * 56 + 40 + 10 - keyboardTop));
    EXPECT_DOUBLE_EQ(cg::maxY(form.fields[2]->convertRectToView(form.fields[2]->bounds(), nullptr)), keyboardTop - 10);

    const auto picture = screen(*device.keyWindow());
    EXPECT_EQ(picture->width(), 750);
    if (const char* dir = std::getenv("QUILLORY_SHOTS_DIR")) {
        const auto png = cg::encodePNG(*picture);
        ASSERT_TRUE(png);
        std::ofstream out(std::string(dir) + "/keyboard-form.png", std::ios::binary);
        out.write(reinterpret_cast<const char*>(png->bytes()), static_cast<std::streamsize>(png->length()));
    }
    device.tap(*toolbar->itemViews().back());  // Done
    device.advance(1);
    EXPECT_FALSE(form.fields[2]->isFirstResponder());
    EXPECT_DOUBLE_EQ(form.view()->frame().origin.y, 0);
}
