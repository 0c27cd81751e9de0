#include "screens/common/TabRootScreen.h"

#include "app/session/Account.h"
#include "app/uikit/AppScreens.h"
#include "app/uikit/ColorHex.h"
#include "app/uikit/NoNetwork.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/Color.h"
#include "platform/ui/Font.h"
#include "platform/ui/Label.h"
#include "ui/hud/ProgressHUD.h"
#include "ui/toast/Toast.h"

namespace ql {

void TabRootScreen::listenForSignIn() {
    auto weakSelf = std::weak_ptr<TabRootScreen>(std::static_pointer_cast<TabRootScreen>(shared_from_this()));
    // Observers by target are dropped with the screen, so nothing outlives it.
    ns::NotificationCenter::defaultCenter().addObserver(
        weakSelf,
        [weakSelf](const ns::Notification&) {
            if (auto self = weakSelf.lock()) self->reloadContent();
        },
        LoginSuccessNotification);
}

void TabRootScreen::viewWillAppear(bool animated) {
    BasicVC::viewWillAppear(animated);
    // After a sign-in on the sign-in screen no notification comes: the first appearance loads instead, and
    // an appearance after a failed load tries again.
    if (!Account::share().info()) return;
    if (content_ == Content::None) reloadContent();
    // A load begun while the tab was out of sight is waited on from now.
    if (content_ == Content::Loading) showOverlay();
}

void TabRootScreen::contentShown() {
    ++reloadCount_;
    ++latestLoad_;  // a load still on its way shows nothing newer than this
    hideOverlay();
    content_ = Content::Shown;
}

std::uint64_t TabRootScreen::beginLoad() {
    ++reloadCount_;
    content_ = Content::Loading;
    if (isViewLoaded() && view()->window()) showOverlay();
    return ++latestLoad_;
}

bool TabRootScreen::endLoad(std::uint64_t load, bool succeeded, const std::optional<std::string>& refusal) {
    if (load != latestLoad_) return false;
    hideOverlay();
    content_ = succeeded ? Content::Shown : Content::None;
    if (succeeded) return true;
    if (refusal) showRefusal(*refusal);
    else Toast::showWithText(std::string(NoNetworkMessage));
    return false;
}

void TabRootScreen::showOverlay() {
    if (overlayShown_) return;
    overlayShown_ = true;
    ProgressHUD::show();
}

void TabRootScreen::hideOverlay() {
    if (!overlayShown_) return;
    overlayShown_ = false;
    ProgressHUD::dismiss();
}

std::shared_ptr<ui::View> TabRootScreen::addCard(const cg::Rect& frame) {
    auto card = std::make_shared<ui::View>(frame);
    card->setBackgroundColor(ui::Color::colorWithWhite(1, 0.9));
    card->layer()->setCornerRadius(12);
    card->layer()->setBorderWidth(1);
    card->layer()->setBorderColor(colorWithHex(0xF2B33D)->CGColor());
    view()->addSubview(card);
    return card;
}

cg::Rect TabRootScreen::listFrame(double top) {
    constexpr double kMargin = 16, kGapAboveTabBar = 8;
    const cg::Size size = view()->bounds().size;
    return {kMargin, top, size.width - 2 * kMargin, size.height - top - kGapAboveTabBar - AppScreens::tabBarReach()};
}

std::shared_ptr<ui::Label> TabRootScreen::addLabel(ui::View& parent, const cg::Rect& frame, double fontSize, bool bold) {
    auto label = std::make_shared<ui::Label>(frame);
    label->setFont(bold ? ui::Font::boldSystemFontOfSize(fontSize) : ui::Font::systemFontOfSize(fontSize));
    label->setTextColor(colorWithHex(0x4A4A4A));
    parent.addSubview(label);
    return label;
}

}  // namespace ql
