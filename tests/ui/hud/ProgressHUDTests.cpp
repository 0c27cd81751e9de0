#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Timer.h"
#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/Application.h"
#include "platform/ui/Button.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/Label.h"
#include "platform/ui/ShapeLayer.h"
#include "platform/ui/TextField.h"
#include "tests/ui/BootedDevice.h"
#include "ui/hud/ProgressHUD.h"

using namespace ql;

namespace {

// The overlay's notifications as they are posted: name and status.
class HUDNotifications {
public:
    HUDNotifications() {
        for (auto name : {ProgressHUDWillDisappearNotification, ProgressHUDDidDisappearNotification,
                          ProgressHUDDidReceiveTouchEventNotification}) {
            ns::NotificationCenter::defaultCenter().addObserver(
                owner_,
                [this](const ns::Notification& n) {
                    const ns::Value* status = n.userInfo().find(ProgressHUDStatusUserInfoKey);
                    posts.push_back(n.name() + (status ? ":" + status->stringValue() : ""));
                },
                name);
        }
    }
    std::vector<std::string> take() { return std::exchange(posts, {}); }

    std::vector<std::string> posts;

private:
    std::shared_ptr<ns::Object> owner_ = std::make_shared<ns::Object>();
};

const std::string kWill(ProgressHUDWillDisappearNotification);
const std::string kDid(ProgressHUDDidDisappearNotification);
const std::string kTouch(ProgressHUDDidReceiveTouchEventNotification);

class ProgressHUDTest : public ::testing::Test {
protected:
    // Whatever a test leaves shown is faded out before the next device comes.
    void TearDown() override {
        if (ProgressHUD::sharedView().superview()) ProgressHUD::dismiss();
        app.device.advance(3);
    }

    ProgressHUD& hud() { return ProgressHUD::sharedView(); }
    cg::Rect panel() { return hud().hudView()->bounds(); }

    test::BootedDevice app{sim::ScreenProfile::phone320x568()};
    HUDNotifications notes;
};

}  // namespace

TEST_F(ProgressHUDTest, ShowsAndDismissesWithTheStatusInTheNotifications) {
    ProgressHUD::showWithStatus("登录中", ProgressHUDMaskTypeClear);
    app.device.runUntilIdle(0);
    EXPECT_TRUE(ProgressHUD::isVisible());
    EXPECT_EQ(hud().superview(), hud().overlayView().get());
    EXPECT_EQ(hud().overlayView()->superview(), &app.window());
    EXPECT_TRUE(hud().spinnerView()->isAnimating());
    EXPECT_TRUE(hud().imageView()->isHidden());
    EXPECT_EQ(hud().stringLabel()->text(), "登录中");
    EXPECT_EQ(hud().activityCount(), 1u);
    EXPECT_EQ(hud().accessibilityLabel(), "登录中");

    ProgressHUD::dismiss();
    EXPECT_EQ(notes.take(), std::vector<std::string>{kWill + ":登录中"});
    EXPECT_FALSE(ProgressHUD::isVisible());
    EXPECT_EQ(hud().activityCount(), 0u);
    app.device.advance(0.14);
    EXPECT_TRUE(notes.take().empty());
    EXPECT_NE(hud().superview(), nullptr);
    app.device.advance(0.02);
    EXPECT_EQ(notes.take(), std::vector<std::string>{kDid + ":登录中"});
    EXPECT_EQ(hud().superview(), nullptr);

    // Without a text the notifications carry no status.
    ProgressHUD::show();
    ProgressHUD::dismiss();
    app.device.advance(0.2);
    EXPECT_EQ(notes.take(), (std::vector<std::string>{kWill, kDid}));
}

TEST_F(ProgressHUDTest, AResultHidesItselfAfterItsDurationAndOneSecond) {
    ProgressHUD::showErrorWithStatus("网络出错了");
    EXPECT_TRUE(ProgressHUD::isVisible());
    EXPECT_EQ(hud().maskType(), ProgressHUDMaskTypeNone);
    EXPECT_FALSE(hud().imageView()->isHidden());
    EXPECT_TRUE(hud().imageView()->image());
    EXPECT_FALSE(hud().spinnerView()->isAnimating());
    EXPECT_DOUBLE_EQ(hud().displayDurationForString("网络出错了"), static_cast<float>(5) * 0.06 + 0.3);

    app.device.advance(0.59);
    EXPECT_TRUE(notes.take().empty());
    app.device.advance(0.02);
    EXPECT_EQ(notes.take(), std::vector<std::string>{kWill + ":网络出错了"});
    app.device.advance(1.1);
    EXPECT_TRUE(notes.take().empty());
    EXPECT_NE(hud().superview(), nullptr);
    app.device.advance(0.1);
    EXPECT_EQ(notes.take(), std::vector<std::string>{kDid + ":网络出错了"});
    EXPECT_EQ(hud().superview(), nullptr);

    EXPECT_DOUBLE_EQ(hud().displayDurationForString(std::string(100, 'a')), 6.3);
    EXPECT_DOUBLE_EQ(hud().displayDurationForString(std::nullopt), 0.3);
}

TEST_F(ProgressHUDTest, ADismissalCancelsThePendingResultSoItIsToldOfOnce) {
    ProgressHUD::showSuccessWithStatus("已保存");
    app.device.advance(0.1);
    ProgressHUD::dismiss();
    app.device.advance(5);
    EXPECT_EQ(notes.take(), (std::vector<std::string>{kWill + ":已保存", kDid + ":已保存"}));
    EXPECT_FALSE(hud().fadeOutTimer());
}

TEST_F(ProgressHUDTest, AResultOverABusyDisplayKeepsItsMask) {
    ProgressHUD::showWithStatus("提交中", ProgressHUDMaskTypeClear);
    ProgressHUD::showSuccessWithStatus("提交成功");
    EXPECT_EQ(hud().maskType(), ProgressHUDMaskTypeClear);
    EXPECT_TRUE(hud().overlayView()->isUserInteractionEnabled());
    EXPECT_EQ(hud().stringLabel()->text(), "提交成功");
}

TEST_F(ProgressHUDTest, ActivitiesBalanceAndAStrayPopChangesNothing) {
    ProgressHUD::popActivity();
    EXPECT_EQ(hud().activityCount(), 0u);
    EXPECT_TRUE(notes.take().empty());

    ProgressHUD::show();
    ProgressHUD::showWithStatus("加载中");
    EXPECT_EQ(hud().activityCount(), 2u);
    ProgressHUD::popActivity();
    EXPECT_EQ(hud().activityCount(), 1u);
    EXPECT_TRUE(ProgressHUD::isVisible());
    EXPECT_TRUE(notes.take().empty());
    ProgressHUD::popActivity();
    EXPECT_EQ(hud().activityCount(), 0u);
    EXPECT_FALSE(ProgressHUD::isVisible());
    app.device.advance(0.2);
    EXPECT_EQ(notes.take(), (std::vector<std::string>{kWill + ":加载中", kDid + ":加载中"}));

    // A ring counts once at 0 and not above it.
    ProgressHUD::showProgress(0);
    ProgressHUD::showProgress(0.5);
    EXPECT_EQ(hud().activityCount(), 1u);
}

TEST_F(ProgressHUDTest, MaskTypeNoneLetsTouchesThroughTheOthersSwallowThem) {
    auto button = std::make_shared<ui::Button>(cg::Rect{20, 400, 100, 40});
    button->setTitle("下一步", ui::ControlStateNormal);
    int taps = 0;
    struct Target : ns::Object {
        int* taps;
        void tapped() { ++*taps; }
    };
    auto target = std::make_shared<Target>();
    target->taps = &taps;
    button->addTarget(target, ui::Action(&Target::tapped), ui::ControlEventTouchUpInside);
    app.rootView().addSubview(button);

    ProgressHUD::showWithMaskType(ProgressHUDMaskTypeNone);
    app.device.tap(cg::Point{70, 420});
    EXPECT_EQ(taps, 1);
    EXPECT_TRUE(notes.take().empty());
    EXPECT_TRUE(ProgressHUD::isVisible());

    for (auto mask : {ProgressHUDMaskTypeClear, ProgressHUDMaskTypeBlack, ProgressHUDMaskTypeGradient,
                      static_cast<ProgressHUDMaskType>(9)}) {
        ProgressHUD::showWithMaskType(mask);
        app.device.tap(cg::Point{70, 420});
        EXPECT_EQ(taps, 1);
        EXPECT_EQ(notes.take(), std::vector<std::string>{kTouch});
        EXPECT_TRUE(ProgressHUD::isVisible());
    }
}

TEST_F(ProgressHUDTest, PanelSizesFollowTheText) {
    ProgressHUD::show();
    EXPECT_EQ(panel(), (cg::Rect{0, 0, 100, 100}));
    EXPECT_EQ(hud().stringLabel()->frame(), cg::Rect::zero());
    EXPECT_EQ(hud().spinnerView()->center(), (cg::Point{50.5, 50.5}));

    ProgressHUD::showWithStatus("", ProgressHUDMaskTypeGradient);
    EXPECT_EQ(panel().size.width, 124);
    EXPECT_EQ(hud().stringLabel()->frame().origin.y, 66);

    ProgressHUD::showWithStatus("登录中");
    const double line = hud().stringLabel()->frame().size.height;
    ASSERT_GT(line, 10);
    ASSERT_LE(line + 80, 100);
    EXPECT_EQ(panel(), (cg::Rect{0, 0, 124, line + 80}));
    EXPECT_EQ(hud().stringLabel()->frame(), (cg::Rect{0, 66, 124, line}));
    EXPECT_EQ(hud().spinnerView()->center(), (cg::Point{62.5, 40.5}));

    // Two lines make the panel taller than 100: the label keeps a margin of 12.
    ProgressHUD::showWithStatus("正在上传您的读书笔记和三张照片，请稍候");
    const cg::Rect twoLines = hud().stringLabel()->frame();
    EXPECT_GT(twoLines.size.height, line);
    EXPECT_EQ(twoLines.origin.x, 12);
    EXPECT_EQ(panel().size.width, twoLines.size.width + 24);
    EXPECT_EQ(panel().size.height, twoLines.size.height + 80);
    EXPECT_EQ(std::fmod(twoLines.size.width, 2), 0);
    EXPECT_LE(twoLines.size.width, 200);
}

TEST_F(ProgressHUDTest, ARingShowsProgressAndSwitchesToTheShortLayoutOnANewText) {
    ProgressHUD::showProgress(0.25, "上传");
    ASSERT_TRUE(hud().ringLayer());
    EXPECT_DOUBLE_EQ(hud().ringLayer()->strokeEnd(), 0.25);
    EXPECT_DOUBLE_EQ(hud().backgroundRingLayer()->strokeEnd(), 1);
    EXPECT_FALSE(hud().spinnerView()->isAnimating());
    EXPECT_FALSE(hud().imageView()->isHidden());
    EXPECT_EQ(hud().ringLayer()->position(), (cg::Point{62, 36}));
    const double line = hud().stringLabel()->frame().size.height;
    EXPECT_EQ(panel().size.height, line + 80);

    ProgressHUD::setStatus("上传中");
    EXPECT_EQ(panel().size.height, line + 20);
    EXPECT_EQ(hud().stringLabel()->frame().origin.y, 9);

    // The ring is a closed polyline of 72 points starting at the top of its box.
    const cg::Path path = ProgressHUD::createCirclePathWithCenter({0, 0}, 14, 72);
    ASSERT_EQ(path.elements().size(), 73u);
    EXPECT_NEAR(path.elements().front().points[0].x, 14, 1e-5);
    EXPECT_NEAR(path.elements().front().points[0].y, 0, 1e-5);
    EXPECT_EQ(path.elements().back().points[0], path.elements().front().points[0]);
    EXPECT_NEAR(path.elements()[18].points[0].x, 28, 1e-4);  // a quarter round: the right edge
    EXPECT_NEAR(path.elements()[18].points[0].y, 14, 1e-4);

    ProgressHUD::showWithStatus("处理中");
    EXPECT_DOUBLE_EQ(hud().progress(), -1);
}

TEST_F(ProgressHUDTest, ThePanelSitsAboveTheKeyboard) {
    ProgressHUD::showWithStatus("请求中");
    EXPECT_EQ(hud().hudView()->center(), (cg::Point{160, 255}));

    auto field = std::make_shared<ui::TextField>(cg::Rect{20, 100, 200, 30});
    app.rootView().addSubview(field);
    field->becomeFirstResponder();
    app.device.advance(0.5);
    ASSERT_EQ(ui::Keyboard::shared().visibleHeight(), 216);
    EXPECT_EQ(hud().hudView()->center(), (cg::Point{160, 176}));
    EXPECT_EQ(hud().visibleKeyboardHeight(), 216);

    field->resignFirstResponder();
    app.device.advance(0.5);
    EXPECT_EQ(hud().hudView()->center(), (cg::Point{160, 255}));

    // Turned, the panel stays upright in the middle of the wider screen.
    app.device.rotate(ui::InterfaceOrientation::LandscapeLeft);
    EXPECT_EQ(hud().hudView()->center(), (cg::Point{284, 144}));
    EXPECT_EQ(hud().hudView()->transform(), cg::AffineTransform::identity());
}

TEST_F(ProgressHUDTest, ADelayedDismissalReplacesTheTextAndClosesWhateverIsShownThen) {
    ProgressHUD::showWithStatus("获取中", ProgressHUDMaskTypeClear);
    bool ended = false;
    ProgressHUD::dismissWithStatus("数据出错", 1.0, [&] { ended = true; });
    EXPECT_EQ(hud().stringLabel()->text(), "数据出错");
    EXPECT_TRUE(hud().spinnerView()->isAnimating());
    app.device.advance(0.5);
    ProgressHUD::showWithStatus("加载中");
    app.device.advance(0.49);
    EXPECT_TRUE(ProgressHUD::isVisible());
    EXPECT_FALSE(ended);
    app.device.advance(0.02);
    EXPECT_TRUE(ended);
    EXPECT_FALSE(ProgressHUD::isVisible());
    EXPECT_EQ(notes.take(), std::vector<std::string>{kWill + ":加载中"});
}

TEST_F(ProgressHUDTest, AShowDuringTheFadeKeepsTheOverlay) {
    ProgressHUD::showWithStatus("登录中");
    ProgressHUD::dismiss();
    app.device.advance(0.05);
    ProgressHUD::showWithStatus("登录中");
    app.device.advance(0.5);
    EXPECT_TRUE(ProgressHUD::isVisible());
    EXPECT_NE(hud().superview(), nullptr);
    EXPECT_EQ(notes.take(), std::vector<std::string>{kWill + ":登录中"});
}

// The panel over the keyboard on every device: a long status still leaves the panel's top on the screen.
class ProgressHUDOnEveryDevice : public ::testing::TestWithParam<sim::ScreenProfile> {};

TEST_P(ProgressHUDOnEveryDevice, ALongStatusOverTheKeyboardKeepsThePanelOnTheScreen) {
    test::BootedDevice app{GetParam()};
    auto field = std::make_shared<ui::TextField>(cg::Rect{20, 100, 200, 30});
    app.rootView().addSubview(field);
    field->becomeFirstResponder();
    app.device.advance(0.5);
    ASSERT_GT(ui::Keyboard::shared().visibleHeight(), 0);
    std::string status;
    for (int i = 0; i < 12; ++i) status += "正在上传您的读书笔记，请稍候。";
    ProgressHUD::showWithStatus(status);
    app.device.advance(0.5);
    const ui::View& panel = *ProgressHUD::sharedView().hudView();
    const cg::Rect shown = panel.convertRectToView(panel.bounds(), nullptr);
    EXPECT_GE(cg::minY(shown), 0);
    EXPECT_GE(cg::minX(shown), 0);
    EXPECT_LE(cg::maxX(shown), GetParam().portraitSize.width);
    // A short status keeps its place above the keyboard.
    ProgressHUD::showWithStatus("请求中");
    app.device.advance(0.5);
    const double screenHeight = GetParam().portraitSize.height;
    const double keyboard = ui::Keyboard::shared().visibleHeight();
    EXPECT_EQ(panel.center().y, std::floor((screenHeight + 40 - keyboard) * 0.45));
    ProgressHUD::dismiss();
    app.device.advance(3);
    field->resignFirstResponder();
    app.device.advance(0.5);
}

INSTANTIATE_TEST_SUITE_P(Devices, ProgressHUDOnEveryDevice,
                         ::testing::Values(sim::ScreenProfile::phone320x480(), sim::ScreenProfile::phone320x568(),
                                           sim::ScreenProfile::phone375x667(), sim::ScreenProfile::phone414x736(),
                                           sim::ScreenProfile::pad768x1024()));
