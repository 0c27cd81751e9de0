#include "app/account/ChangeBindPhone.h"

#include "app/account/AccountForms.h"
#include "app/account/AccountReplies.h"
#include "app/account/ChangePwdViewController.h"  // ChangedMessage
#include "app/account/LoginViewController.h"
#include "app/account/SilentSignIn.h"
#include "app/service/AccountModels.h"
#include "app/service/StudentNetWorkApiManager.h"
#include "app/session/Account.h"
#include "app/session/UnitMetiodManager.h"
#include "app/uikit/AppScreens.h"
#include "app/uikit/ImageContent.h"
#include "app/uikit/NibParts.h"
#include "platform/ui/Button.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/TextField.h"
#include "ui/hud/ProgressHUD.h"
#include "ui/toast/Toast.h"

namespace ql {

namespace {

constexpr std::string_view kNibName = "ChangeBindPhone";

std::string currentMobile() {
    const auto info = Account::share().info();
    return info ? info->mobile : std::string();
}

}  // namespace

ChangeBindPhone::ChangeBindPhone() : InputVC(std::string(kNibName)) { nib::registerOnce(kNibName, &buildNib); }

std::vector<std::shared_ptr<ns::Object>> ChangeBindPhone::buildNib(ui::Nib::Loading& loading) {
    CodeForm form = CodeForm::build(loading, 150, "确认更换");
    form.background->setImage(imageWithDevice("forget_pwd"));
    const nib::Column column = nib::Column::forScreen();
    auto current = nib::label(loading, {column.x + 8, 106, column.width - 16, 30}, "", 16);
    form.view->addSubview(current);
    if (auto* owner = loading.ownerAs<ChangeBindPhone>()) {
        owner->phoneTextField_ = form.phone;
        owner->verfyTextField_ = form.code;
        owner->verificationBtn_ = form.send;
        owner->confirmBtn_ = form.confirm;
        owner->phoneLabel_ = current;
        for (const auto& button : {form.send, form.confirm}) {
            button->addTarget(owner->weak_from_this(), &ChangeBindPhone::btnClickAction, ui::ControlEventTouchUpInside);
        }
    }
    return {form.view};
}

void ChangeBindPhone::viewDidLoad() {
    InputVC::viewDidLoad();
    setTitle("更换手机号");
    if (auto label = phoneLabel()) label->setText("当前手机号：" + currentMobile());
    if (auto button = confirmBtn()) setConfirmBackground(*button);
}

void ChangeBindPhone::viewWillDisappear(bool animated) {
    InputVC::viewWillDisappear(animated);
    countdown_.stop();
}

void ChangeBindPhone::btnClickAction(ui::Button* sender) {
    if (!sender) return;
    if (sender->tag() == CodeForm::kSendCodeTag) {
        sendCaptchaAction();
    } else if (sender->tag() == CodeForm::kConfirmTag) {
        checkInputString();
    }
}

std::optional<std::string_view> ChangeBindPhone::newMobileProblem(const std::string& mobile) const {
    if (auto problem = mobileProblem(mobile)) return problem;
    if (mobile == currentMobile()) return SameMobileMessage;
    return std::nullopt;
}

void ChangeBindPhone::sendCaptchaAction() {
    const std::string mobile = phoneTextField()->text();
    if (auto problem = newMobileProblem(mobile)) {
        Toast::showWithText(std::string(*problem));
        return;
    }
    verificationBtn()->setEnabled(false);
    SendVerificationReq request;
    request.type = 1;
    request.mobile = mobile;
    request.stuType = 0;
    ProgressHUD::show();
    auto self = std::static_pointer_cast<ChangeBindPhone>(shared_from_this());
    StudentNetWorkApiManager::request_SendVerification_WithParams(
        request,
        [self](const ns::Value& reply) {
            ProgressHUD::dismiss();
            auto rsp = replyModel<SendVerificationRsp>(reply);
            auto button = self->verificationBtn();
            if (rsp->result == 1) {
                self->countdown_.start(button);
                return;
            }
            Toast::showWithText(rsp->msg);
            if (button) VerificationCountdown::allowRetry(*button);
        },
        [self](const std::string&) {
            showNoNetwork();
            if (auto button = self->verificationBtn()) VerificationCountdown::allowRetry(*button);
        });
}

void ChangeBindPhone::checkInputString() {
    if (auto problem = newMobileProblem(phoneTextField()->text())) {
        Toast::showWithText(std::string(*problem));
    } else if (verfyTextField()->text().empty()) {
        Toast::showWithText(std::string(EnterCodeMessage));
    } else {
        requestTheLinkLoginTypeWithMobileNum();
    }
}

void ChangeBindPhone::requestTheLinkLoginTypeWithMobileNum() {
    ChangeMobileReq request;
    request.mobile = phoneTextField()->text();
    request.code = verfyTextField()->text();
    request.stuType = 0;
    ProgressHUD::showWithStatus("正在绑定", ProgressHUDMaskTypeGradient);
    StudentNetWorkApiManager::request_ChangeMobile_WithParams(
        request,
        [](const ns::Value& reply) {
            auto rsp = replyModel<SendVerificationRsp>(reply);
            if (rsp->result != 1) {
                ProgressHUD::dismiss();
                Toast::showWithText(rsp->msg);
                return;
            }
            ProgressHUD::dismissWithStatus(std::string(ChangedMessage), 1.0, [] {
                UnitMetiodManager::setAutoLogin(false);
                AppScreens::setRootViewController(LoginViewController::navigationControllerContainSelf());
            });
        },
        [](const std::string&) { showNoNetwork(); });
}

void ChangeBindPhone::autoLoginActionWithLoginData(const std::shared_ptr<LoginDataModel>& record) {
    ql::autoLoginActionWithLoginData(record);
}

}  // namespace ql
