#include "app/account/LoginViewController.h"

#include "app/account/AccountReplies.h"
#include "app/account/BindViewController.h"
#include "app/account/AccountForms.h"
#include "app/account/ForgetPwdVC.h"
#include "app/service/AccountModels.h"
#include "app/service/StudentNetWorkApiManager.h"
#include "app/session/UnitMetiodManager.h"
#include "app/uikit/AppScreens.h"
#include "app/uikit/ColorHex.h"
#include "app/uikit/ImageContent.h"
#include "app/uikit/NibParts.h"
#include "platform/foundation/Text.h"
#include "platform/ui/Button.h"
#include "platform/ui/Color.h"
#include "platform/ui/Font.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "ui/hud/ProgressHUD.h"
#include "ui/toast/Toast.h"

namespace ql {

namespace {

constexpr std::string_view kNibName = "LoginViewController";

}  // namespace

LoginViewController::LoginViewController() : InputVC(std::string(kNibName)) { nib::registerOnce(kNibName, &buildNib); }

std::vector<std::shared_ptr<ns::Object>> LoginViewController::buildNib(ui::Nib::Loading& loading) {
    auto* owner = loading.ownerAs<LoginViewController>();
    auto view = nib::screenView(loading);
    const double height = view->bounds().size.height;
    const nib::Column column = nib::Column::forScreen();

    auto background = nib::backgroundPicture(loading, *view);
    // The sign-in picture shows its book with the foot of the spine at 37% of its height; the slogan and
    // the fields go below it on every screen.
    const double top = height * 0.37 + 16;
    auto motto = nib::label(loading, {column.x, top, column.width, 30}, LoginMotto, 20);
    motto->setTextAlignment(ui::TextAlignment::Center);
    motto->setFont(ui::Font::boldSystemFontOfSize(20));
    motto->setTextColor(colorWithHex(0xE8833A));
    view->addSubview(motto);
    auto mobile = nib::field(loading, {column.x, top + 46, column.width, 44}, "手机号码");
    mobile->setKeyboardType(ui::KeyboardType::NumberPad);
    auto password = nib::field(loading, {column.x, top + 104, column.width, 44}, "密码", true);
    auto signIn = nib::button(loading, {column.x, top + 178, column.width, 46}, "登 录", kSignInTag);
    auto forgot = nib::button(loading, {column.x + column.width - 100, top + 236, 100, 30}, "忘记密码？",
                              kForgotTag);
    forgot->setTitleColor(colorWithHex(0x5A8F29), ui::ControlStateNormal);
    forgot->titleLabel()->setFont(ui::Font::systemFontOfSize(14));
    forgot->setContentHorizontalAlignment(ui::ControlContentHorizontalAlignment::Right);
    for (const auto& part : std::initializer_list<std::shared_ptr<ui::View>>{mobile, password, signIn, forgot}) {
        view->addSubview(part);
    }
    if (owner) {
        auto self = std::static_pointer_cast<LoginViewController>(owner->shared_from_this());
        owner->userName_ = mobile;
        owner->userPwd_ = password;
        owner->loginBtn_ = signIn;
        owner->bgImageView_ = background;
        mobile->setDelegate(std::static_pointer_cast<ui::TextFieldDelegate>(self));
        password->setDelegate(std::static_pointer_cast<ui::TextFieldDelegate>(self));
        for (const auto& control : {signIn, forgot}) {
            control->addTarget(self, &LoginViewController::btnClickAction, ui::ControlEventTouchUpInside);
        }
    }
    return {view};
}

std::shared_ptr<ui::NavigationController> LoginViewController::navigationControllerContainSelf() {
    auto navigation = navigationControllerContaining<LoginViewController>();
    navigation->setNavigationBarHidden(true);
    return navigation;
}

void LoginViewController::viewDidLoad() {
    InputVC::viewDidLoad();
    if (auto background = bgImageView()) background->setImage(imageWithDevice("login_bg"));
    navgationBar()->removeFromSuperview();
    if (auto button = loginBtn()) setConfirmBackground(*button);
    const auto saved = UnitMetiodManager::getTheSavedUserPhoneNumAndPassword();
    if (saved && saved->loginPhoneNum) {
        if (auto field = userName()) field->setText(saved->loginPhoneNum);
        if (auto field = userPwd()) field->setText(saved->loginPassword);
    }
}

void LoginViewController::viewWillAppear(bool animated) {
    InputVC::viewWillAppear(animated);
    if (auto* navigation = navigationController()) navigation->setNavigationBarHidden(true, animated);
}

void LoginViewController::viewWillDisappear(bool animated) {
    InputVC::viewWillDisappear(animated);
    // The next screens hide the system bar again themselves.
    if (auto* navigation = navigationController()) navigation->setNavigationBarHidden(false, false);
}

void LoginViewController::btnClickAction(ui::Button* sender) {
    if (!sender) return;
    if (sender->tag() == kForgotTag) {
        if (auto* navigation = navigationController()) navigation->pushViewController(std::make_shared<ForgetPwdVC>(), true);
    } else if (sender->tag() == kSignInTag) {
        checkInputString();
    }
}

bool LoginViewController::textFieldShouldChangeCharactersInRangeReplacementString(ui::TextField& field,
                                                                                  ns::Range range,
                                                                                  const std::string& replacement) {
    if (&field != userPwd().get()) return true;
    return editStaysWithinPasswordLength(field, range, replacement);
}

void LoginViewController::checkInputString() {
    const std::string mobile = userName() ? userName()->text() : std::string();
    const std::string password = userPwd() ? userPwd()->text() : std::string();
    if (mobile.empty()) {
        Toast::showWithText(std::string(EnterUserNameMessage));
    } else if (password.empty()) {
        Toast::showWithText(std::string(EnterPasswordMessage));
    } else if (ns::utf16Length(password) < kMinPasswordLength) {
        Toast::showWithText(std::string(PasswordLengthMessage));
    } else {
        loadLoginRequest();
    }
}

void LoginViewController::loadLoginRequest() {
    const std::string mobile = userName()->text();
    const std::string password = userPwd()->text();
    LoginReq request;
    request.userName = mobile;
    request.password = password;
    ProgressHUD::showWithStatus("登录中", ProgressHUDMaskTypeGradient);
    auto self = std::static_pointer_cast<LoginViewController>(shared_from_this());
    StudentNetWorkApiManager::request_Login_WithParams(
        request,
        [self](const ns::Value& reply) {
            ProgressHUD::dismiss();
            auto rsp = replyModel<LoginRsp>(reply);
            if (rsp->result != 1 && rsp->result != 2) {
                showRefusal(rsp->msg);
                return;
            }
            // The fields as they are now, as the student last typed them.
            rememberSignIn(rsp, self->userName() ? self->userName()->text() : std::string(),
                           self->userPwd() ? self->userPwd()->text() : std::string());
            if (rsp->result == 1) {
                self->pushMainViewControl();
            } else if (auto* navigation = self->navigationController()) {
                navigation->pushViewController(std::make_shared<BindViewController>(), true);
            }
        },
        [](const std::string&) { showNoNetwork(); });
}

void LoginViewController::pushMainViewControl() { AppScreens::setRootViewController(AppScreens::makeTabShell()); }

}  // namespace ql
