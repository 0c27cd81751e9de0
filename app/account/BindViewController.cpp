#include "app/account/BindViewController.h"

#include "app/account/AccountReplies.h"
#include "app/account/AccountForms.h"
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
#include "platform/ui/TextField.h"
#include "ui/hud/ProgressHUD.h"
#include "ui/toast/Toast.h"

namespace ql {

namespace {

constexpr std::string_view kNibName = "BindViewController";

}  // namespace

BindViewController::BindViewController() : InputVC(std::string(kNibName)) { nib::registerOnce(kNibName, &buildNib); }

std::vector<std::shared_ptr<ns::Object>> BindViewController::buildNib(ui::Nib::Loading& loading) {
    CodeForm form = CodeForm::build(loading, 110, "绑 定");
    if (auto* owner = loading.ownerAs<BindViewController>()) {
        owner->phoneTextField_ = form.phone;
        owner->verfyTextField_ = form.code;
        owner->verificationBtn_ = form.send;
        owner->bindBtn_ = form.confirm;
        owner->bgImageView_ = form.background;
        for (const auto& button : {form.send, form.confirm}) {
            button->addTarget(owner->weak_from_this(), &BindViewController::btnClickAction,
                              ui::ControlEventTouchUpInside);
        }
    }
    return {form.view};
}

void BindViewController::viewDidLoad() {
    InputVC::viewDidLoad();
    setTitle("绑定手机");
    if (auto background = bgImageView()) background->setImage(imageWithDevice("forget_pwd"));
    if (auto button = bindBtn()) setConfirmBackground(*button);
}

void BindViewController::viewWillDisappear(bool animated) {
    InputVC::viewWillDisappear(animated);
    countdown_.stop();
}

void BindViewController::btnClickAction(ui::Button* sender) {
    if (!sender) return;
    if (sender->tag() == CodeForm::kSendCodeTag) {
        sendCaptchaAction();
    } else if (sender->tag() == CodeForm::kConfirmTag) {
        checkInputString();
    }
}

std::int64_t BindViewController::sessionUid() const {
    const auto info = Account::share().info();
    return info ? info->uid : 0;
}

void BindViewController::sendCaptchaAction() {
    const std::string mobile = phoneTextField()->text();
    if (auto problem = mobileProblem(mobile)) {
        Toast::showWithText(std::string(*problem));
        return;
    }
    auto button = verificationBtn();
    button->setEnabled(false);
    SendVerificationReq request;
    request.uid = sessionUid();
    request.type = 0;
    request.mobile = mobile;
    request.stuType = 0;
    ProgressHUD::show();
    auto self = std::static_pointer_cast<BindViewController>(shared_from_this());
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
            Toast::showWithText(rsp->result == 0 ? std::string(UnknownStudentMessage) : rsp->msg);
            if (button) VerificationCountdown::allowRetry(*button);
        },
        [self](const std::string&) {
            showNoNetwork();
            if (auto button = self->verificationBtn()) VerificationCountdown::allowRetry(*button);
        });
}

void BindViewController::checkInputString() {
    const std::string mobile = phoneTextField()->text();
    if (auto problem = mobileProblem(mobile)) {
        Toast::showWithText(std::string(*problem));
    } else if (verfyTextField()->text().empty()) {
        Toast::showWithText(std::string(EnterCodeMessage));
    } else {
        requestTheLinkLoginTypeWithMobileNum();
    }
}

void BindViewController::requestTheLinkLoginTypeWithMobileNum() {
    ConfirmVerificationReq request;
    request.uid = sessionUid();
    request.type = 0;
    request.mobile = phoneTextField()->text();
    request.code = verfyTextField()->text();
    request.stuType = 0;
    ProgressHUD::showWithStatus("正在绑定", ProgressHUDMaskTypeGradient);
    auto self = std::static_pointer_cast<BindViewController>(shared_from_this());
    StudentNetWorkApiManager::request_ConfirmVerification_WithParams(
        request,
        [self](const ns::Value& reply) {
            ProgressHUD::dismiss();
            auto rsp = replyModel<SendVerificationRsp>(reply);
            if (rsp->result != 1) {
                Toast::showWithText(rsp->msg);
                return;
            }
            AppScreens::setRootViewController(AppScreens::makeTabShell());
            self->autoLoginActionWithLoginData(UnitMetiodManager::getTheSavedUserPhoneNumAndPassword());
        },
        [](const std::string&) { showNoNetwork(); });
}

void BindViewController::autoLoginActionWithLoginData(const std::shared_ptr<LoginDataModel>& record) {
    ql::autoLoginActionWithLoginData(record);
}

}  // namespace ql
