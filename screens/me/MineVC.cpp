#include "screens/me/MineVC.h"

#include <string>

#include "app/account/AccountForms.h"
#include "app/account/ChangeBindPhone.h"
#include "app/account/ChangePwdViewController.h"
#include "app/service/AccountModels.h"
#include "app/session/Account.h"
#include "app/uikit/ColorHex.h"
#include "images/webimage/ImageViewWebCache.h"
#include "images/webimage/WebImageManager.h"
#include "platform/ui/Button.h"
#include "platform/ui/Color.h"
#include "platform/ui/Font.h"
#include "platform/ui/Image.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"

namespace ql {

namespace {

constexpr std::string_view kPhotoPlaceholder = "photo_placeholder";

}  // namespace

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
    constexpr double kPhotoSide = 72;
    photoView_ = std::make_shared<ui::ImageView>(cg::Rect{16, (112 - kPhotoSide) / 2, kPhotoSide, kPhotoSide});
    photoView_->setContentMode(ui::ContentMode::ScaleAspectFill);
    photoView_->setClipsToBounds(true);
    photoView_->layer()->setCornerRadius(kPhotoSide / 2);
    photoView_->setImage(ui::Image::imageNamed(kPhotoPlaceholder));
    card->addSubview(photoView_);
    const double textX = 16 + kPhotoSide + 14, textWidth = size.width - 32 - textX - 12;
    nameLabel_ = addLabel(*card, {textX, 12, textWidth, 28}, 20, true);
    detailLabel_ = addLabel(*card, {textX, 46, textWidth, 22}, 14);
    mobileLabel_ = addLabel(*card, {textX, 74, textWidth, 22}, 14);

    const double width = std::min(size.width - 32, 360.0);
    double y = 212;
    for (const auto& [title, tag] : {std::pair{"修改密码", kChangePasswordTag}, std::pair{"更换手机号", kChangeMobileTag}}) {
        auto button = std::make_shared<ui::Button>(cg::Rect{(size.width - width) / 2, y, width, 46});
        button->setTitle(std::string(title), ui::ControlStateNormal);
        button->setTitleColor(ui::Color::whiteColor(), ui::ControlStateNormal);
        button->titleLabel()->setFont(ui::Font::boldSystemFontOfSize(17));
        setConfirmBackground(*button);
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
        wi_cancelCurrentImageLoad(*photoView_);
        photoView_->setImage(ui::Image::imageNamed(kPhotoPlaceholder));
        nameLabel_->setText("未登录");
        detailLabel_->setText(std::string());
        mobileLabel_->setText(std::string());
        return;
    }
    contentShown();
    wi_setImageWithURL(photoView_, ns::URL::fromString(info->photo), ui::Image::imageNamed(kPhotoPlaceholder),
                       WebImageLoadRefreshCached);
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
