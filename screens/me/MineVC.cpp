#include "screens/me/MineVC.h"

#include <string>

#include "app/account/ChangeBindPhone.h"
#include "app/account/ChangePwdViewController.h"
#include "app/service/AccountModels.h"
#include "app/session/Account.h"
#include "app/uikit/ColorHex.h"
#include "app/uikit/ImageContent.h"
#include "platform/ui/Button.h"
#include "platform/ui/Color.h"
#include "platform/ui/Font.h"
#include "platform/ui/Label.h"

namespace ql {

std::shared_ptr<ui::NavigationController> MineVC::navigationControllerContainSelf() {
    auto navigation = navigationControllerContaining<MineVC>();
    std::static_pointer_cast<TabRootScreen>(navigation->topViewController())->listenForSignIn();
    return navigation;
}

void MineVC::viewDidLoad() {
    BasicVC::viewDidLoad();
    setTitle("我的");
    const cg::Size size = view()->bounds().size;
    auto card = addCard({16, 80, size.width - 32, 112});
    nameLabel_ = addLabel(*card, {16, 12, size.width - 64, 28}, 20, true);
    detailLabel_ = addLabel(*card, {16, 46, size.width - 64, 22}, 14);
    mobileLabel_ = addLabel(*card, {16, 74, size.width - 64, 22}, 14);

    const double width = std::min(size.width - 32, 360.0);
    double y = 212;
    for (const auto& [title, tag] : {std::pair{"修改密码", kChangePasswordTag}, std::pair{"更换手机号", kChangeMobileTag}}) {
        auto button = std::make_shared<ui::Button>(cg::Rect{(size.width - width) / 2, y, width, 46});
        button->setTitle(std::string(title), ui::ControlStateNormal);
        button->setTitleColor(ui::Color::whiteColor(), ui::ControlStateNormal);
        button->titleLabel()->setFont(ui::Font::boldSystemFontOfSize(17));
        const double middle = button->center().x - button->frame().origin.x;
        button->setBackgroundImage(resizableImageName("login_login_bg.png", {0, middle, 0, middle - 1}),
                                   ui::ControlStateNormal);
        button->setTag(tag);
        button->addTarget(weak_from_this(), &MineVC::btnClickAction, ui::ControlEventTouchUpInside);
        view()->addSubview(button);
        y += 62;
    }
    reloadContent();
}

void MineVC::reloadContent() {
    if (!isViewLoaded()) return;  // viewDidLoad shows the session
    const auto info = Account::share().info();
    if (!info) {
        nameLabel_->setText("未登录");
        detailLabel_->setText(std::string());
        mobileLabel_->setText(std::string());
        return;
    }
    noteReload();
    nameLabel_->setText(info->realName);
    detailLabel_->setText(info->myTitle + "   小红花 " + info->flowerNumber + " 朵");
    mobileLabel_->setText(info->mobile.empty() ? std::string("未绑定手机号") : "手机号 " + info->mobile);
}

void MineVC::btnClickAction(ui::Button* sender) {
    auto* navigation = navigationController();
    if (!sender || !navigation) return;
    if (sender->tag() == kChangePasswordTag) {
        navigation->pushViewController(std::make_shared<ChangePwdViewController>(), true);
    } else if (sender->tag() == kChangeMobileTag) {
        navigation->pushViewController(std::make_shared<ChangeBindPhone>(), true);
    }
}

}  // namespace ql
