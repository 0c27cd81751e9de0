#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "platform/ui/Button.h"
#include "platform/ui/Font.h"
#include "platform/ui/Label.h"
#include "platform/ui/StringDrawing.h"
#include "tests/ui/BootedDevice.h"
#include "ui/toast/Toast.h"

using namespace ql;

namespace {

class ToastTest : public ::testing::Test {
protected:
    void TearDown() override { app.device.advance(3); }

    // The toast boxes in the window, back to front.
    std::vector<std::shared_ptr<ui::Button>> boxes() const {
        std::vector<std::shared_ptr<ui::Button>> found;
        for (const auto& view : app.window().subviews()) {
            auto button = std::dynamic_pointer_cast<ui::Button>(view);
            if (button && !button->subviews().empty() && std::dynamic_pointer_cast<ui::Label>(button->subviews().front())) {
                found.push_back(button);
            }
        }
        return found;
    }

    test::BootedDevice app{sim::ScreenProfile::phone320x568()};
};

}  // namespace

TEST_F(ToastTest, ACentredBoxFadesInStaysAndFadesOut) {
    const cg::Size text = ui::sizeWithFont("密码错误", *ui::Font::boldSystemFontOfSize(14), {280, 0});
    Toast::showWithText("密码错误");
    auto shown = boxes();
    ASSERT_EQ(shown.size(), 1u);
    auto box = shown.front();
    auto label = std::dynamic_pointer_cast<ui::Label>(box->subviews().front());
    EXPECT_EQ(label->frame(), (cg::Rect{10, 10, text.width + 12, text.height + 12}));
    EXPECT_EQ(box->bounds().size, (cg::Size{text.width + 32, text.height + 32}));
    EXPECT_EQ(box->center(), (cg::Point{160, 284}));
    EXPECT_EQ(box->tag(), Toast::kCentredTag);
    EXPECT_EQ(box->layer()->cornerRadius(), 5);
    EXPECT_EQ(box->layer()->borderWidth(), 1);
    EXPECT_FLOAT_EQ(box->alpha(), 1);
    EXPECT_EQ(label->text(), "密码错误");

    app.device.advance(1.49);
    EXPECT_FLOAT_EQ(box->alpha(), 1);
    app.device.advance(0.02);
    EXPECT_FLOAT_EQ(box->alpha(), 0);
    app.device.advance(0.27);
    EXPECT_EQ(box->superview(), &app.window());
    app.device.advance(0.02);
    EXPECT_EQ(box->superview(), nullptr);
}

TEST_F(ToastTest, ANewCentredToastReplacesTheOldOneButNotOffsetOnes) {
    Toast::showWithTextTopOffset("已发送验证码", 200);
    Toast::showWithTextBottomOffset("请输入手机号", 236);
    Toast::showWithText("第一条");
    ASSERT_EQ(boxes().size(), 3u);
    auto first = boxes().back();
    Toast::showWithText("第二条");
    auto shown = boxes();
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(std::count(shown.begin(), shown.end(), first), 0);

    const cg::Rect top = shown[0]->frame();
    EXPECT_EQ(top.origin.y, 200);
    EXPECT_EQ(cg::midX(top), 160);
    const cg::Rect bottom = shown[1]->frame();
    EXPECT_DOUBLE_EQ(cg::maxY(bottom), 568 - 236);
    EXPECT_EQ(shown[0]->tag(), 0);

    // The first toast's own hide later changes nothing on screen.
    app.device.advance(1.6);
    EXPECT_EQ(first->superview(), nullptr);
    app.device.advance(0.5);
    EXPECT_TRUE(boxes().empty());
}

TEST_F(ToastTest, LongTextsWrapAndTheNumberBoxIsPlainer) {
    Toast::showWithText(std::string(60, 'W') + " " + std::string(10, 'w'));
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_LE(boxes().front()->bounds().size.width, 312);
    EXPECT_GT(boxes().front()->bounds().size.height, 50);

    auto toast = Toast::initWithNumText("12");
    const cg::Size text = ui::sizeWithFont("12", *ui::Font::boldSystemFontOfSize(14), {280, 0});
    auto label = toast->contentView()->subviews().front();
    EXPECT_EQ(label->frame(), (cg::Rect{5, 5, text.width + 10, text.height}));
    EXPECT_EQ(toast->contentView()->bounds().size, (cg::Size{text.width + 20, text.height + 10}));
    EXPECT_EQ(toast->contentView()->layer()->cornerRadius(), 0);
    EXPECT_EQ(toast->contentView()->layer()->borderWidth(), 0);
    EXPECT_FLOAT_EQ(toast->contentView()->alpha(), 0);
    EXPECT_DOUBLE_EQ(toast->duration(), 1.5);
}

TEST_F(ToastTest, ATapOrATurnHidesAtOnceAndTheToastGoesWhenDone) {
    std::weak_ptr<Toast> weak;
    {
        auto toast = Toast::initWithText("点我");
        weak = toast;
        toast->show();
    }
    auto box = boxes().front();
    app.device.advance(0.4);
    app.device.tap(*box);
    EXPECT_FLOAT_EQ(box->alpha(), 0);
    app.device.advance(0.3);
    EXPECT_EQ(box->superview(), nullptr);
    EXPECT_FALSE(weak.expired());  // its scheduled hide is still to come
    app.device.advance(1.5);
    EXPECT_TRUE(weak.expired());

    Toast::showWithText("居中");
    Toast::showWithTextBottomOffset("底部", 20);
    ASSERT_EQ(boxes().size(), 2u);
    app.device.rotate(ui::InterfaceOrientation::LandscapeLeft);
    for (const auto& shown : boxes()) EXPECT_FLOAT_EQ(shown->alpha(), 0);
    app.device.advance(0.31);
    EXPECT_TRUE(boxes().empty());
}
