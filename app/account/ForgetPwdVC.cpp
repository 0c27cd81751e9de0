#include "app/account/ForgetPwdVC.h"

#include "app/account/AccountReplies.h"
#include "app/account/AccountForms.h"
#include "app/account/SetPassWordVC.h"
#include "app/service/AccountModels.h"
#include "app/service/StudentNetWorkApiManager.h"
#include "app/uikit/ImageContent.h"
#include "app/uikit/NibParts.h"
#include "platform/ui/Button.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/TextField.h"
#include "ui/hud/ProgressHUD.h"
#include "ui/toast/Toast.h"

namespace ql {

namespace {

constexpr std::string_view kNibName = "ForgetPwdVC";

}  // namespace

ForgetPwdVC::ForgetPwdVC() : InputVC(std::string(kNibName)) { nib::registerOnce(kNibName, &buildNib); }

std::vector<std::shared_ptr<ns::Object>> ForgetPwdVC::buildNib(ui::Nib::Loading& loading) {
    CodeForm form = CodeForm::build(loading, 110, "下一步");
    if (auto* owner = loading.ownerAs<ForgetPwdVC>()) {
        owner->phoneTextField_ = form.phone;
        owner->verfyTextField_ = form.code;
        owner->verificationBtn_ = form.send;
        owner->nextBtn_ = form.confirm;
        owner->bgImageView_ = form.background;
        for (const auto& button : {form.send, form.confirm}) {
            button->addTarget(owner->weak_from_this(), &ForgetPwdVC::btnClickAction, ui::ControlEventTouchUpInside);
        }
    }
    return {form.view};
}

void ForgetPwdVC::viewDidLoad() {
    InputVC::viewDidLoad();
    setTitle("忘记密码");
    if (auto background = bgImageView()) background->setImage(imageWithDevice("forget_pwd"));
    if (auto button = nextBtn()) setConfirmBackground(*button);
}

void ForgetPwdVC::viewWillDisappear(bool animated) {
    InputVC::viewWillDisappear(animated);
    countdown_.stop();
}

void ForgetPwdVC::btnClickAction(ui::Button* sender) {
    if (!sender) return;
    if (sender->tag() == CodeForm::kSendCodeTag) {
        sendCaptchaAction();
    } else if (sender->tag() == CodeForm::kConfirmTag) {
        checkInputString();
    }
}

void ForgetPwdVC::sendCaptchaAction() {
    const std::string mobile = phoneTextField()->text();
    if (auto problem = mobileProblem(mobile)) {
        Toast::showWithText(std::string(*problem));
        return;
    }
    verificationBtn()->setEnabled(false);
    GetPasswordForgetReq request;
    request.type = "0";
    request.mobile = mobile;
    ProgressHUD::show();
    auto self = std::static_pointer_cast<ForgetPwdVC>(shared_from_this());
    StudentNetWorkApiManager::request_ForgetVerification_WithParams(
        request,
        [self](const ns::Value& reply) {
            ProgressHUD::dismiss();
            auto rsp = replyModel<GetPasswordForgetRsp>(reply);
            auto button = self->verificationBtn();
            if (rsp->result == 1) {
                self->uid_ = rsp->uid;
                self->countdown_.start(button);
                return;
            }
            // Any refusal, not only 0, leaves the student able to ask again.
            Toast::showWithText(rsp->result == 0 ? std::string(SendFailedMessage) : rsp->msg);
            if (button) VerificationCountdown::allowRetry(*button);
        },
        [self](const std::string&) {
            showNoNetwork();
            if (auto button = self->verificationBtn()) VerificationCountdown::allowRetry(*button);
        });
}

void ForgetPwdVC::checkInputString() {
    if (auto problem = mobileProblem(phoneTextField()->text())) {
        Toast::showWithText(std::string(*problem));
    } else if (verfyTextField()->text().empty()) {
        Toast::showWithText(std::string(EnterCodeMessage));
    } else {
        requestTheComfirmWithMobileNum();
    }
}

void ForgetPwdVC::requestTheComfirmWithMobileNum() {
    ConfirmVerificationReq request;
    request.uid = uid_;
    request.type = 1;
    request.mobile = phoneTextField()->text();
    request.code = verfyTextField()->text();
    request.stuType = 0;
    ProgressHUD::showWithStatus("正在验证", ProgressHUDMaskTypeGradient);
    auto self = std::static_pointer_cast<ForgetPwdVC>(shared_from_this());
    StudentNetWorkApiManager::request_ConfirmVerification_WithParams(
        request,
        [self](const ns::Value& reply) {
            ProgressHUD::dismiss();
            auto rsp = replyModel<ConfirmVerificationRsp>(reply);
            if (rsp->result == 1) {
                auto next = std::make_shared<SetPassWordVC>();
                next->setUid(self->uid_);
                if (auto* navigation = self->navigationController()) navigation->pushViewController(next, true);
            } else {
                Toast::showWithText(rsp->msg);
            }
        },
        [](const std::string&) { showNoNetwork(); });
}

}  // namespace ql
