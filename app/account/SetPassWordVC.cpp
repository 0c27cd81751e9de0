#include "app/account/SetPassWordVC.h"

#include "app/account/AccountForms.h"
#include "app/account/AccountReplies.h"
#include "app/service/AccountModels.h"
#include "app/service/StudentNetWorkApiManager.h"
#include "app/uikit/NibParts.h"
#include "platform/ui/Button.h"
#include "platform/ui/TextField.h"
#include "ui/hud/ProgressHUD.h"
#include "ui/toast/Toast.h"

namespace ql {

namespace {

constexpr std::string_view kNibName = "SetPassWordVC";

}  // namespace

SetPassWordVC::SetPassWordVC() : BasicVC(std::string(kNibName)) { nib::registerOnce(kNibName, &buildNib); }

std::vector<std::shared_ptr<ns::Object>> SetPassWordVC::buildNib(ui::Nib::Loading& loading) {
    PasswordForm form = PasswordForm::build(loading, 110, {"新密码", "确认新密码"}, "确 定");
    if (auto* owner = loading.ownerAs<SetPassWordVC>()) {
        owner->pwdTextField_ = form.fields[0];
        owner->againTextField_ = form.fields[1];
        form.confirm->addTarget(owner->weak_from_this(), &SetPassWordVC::btnClickAction, ui::ControlEventTouchUpInside);
    }
    return {form.view};
}

void SetPassWordVC::viewDidLoad() {
    BasicVC::viewDidLoad();
    setTitle("设置密码");
}

void SetPassWordVC::btnClickAction(ui::Button*) { checkInputString(); }

void SetPassWordVC::checkInputString() {
    if (auto problem = newPasswordProblem(pwdTextField()->text(), againTextField()->text(), ResetPasswordLengthMessage)) {
        Toast::showWithText(std::string(*problem));
    } else {
        requestTheChangePwdAction();
    }
}

void SetPassWordVC::requestTheChangePwdAction() {
    SetNewPasswordReq request;
    request.uid = uid_;
    request.type = 0;
    request.NEWPassword = pwdTextField()->text();
    ProgressHUD::showWithStatus("正在设置", ProgressHUDMaskTypeGradient);
    auto self = std::static_pointer_cast<SetPassWordVC>(shared_from_this());
    StudentNetWorkApiManager::request_SetNewPassword_WithParams(
        request,
        [self](const ns::Value& reply) {
            ProgressHUD::dismiss();
            auto rsp = replyModel<SetNewPasswordRsp>(reply);
            if (rsp->result != 1) {
                showRefusal(rsp->msg);
            } else if (auto* navigation = self->navigationController()) {
                navigation->popToRootViewControllerAnimated(true);
            }
        },
        [](const std::string&) { showNoNetwork(); });
}

}  // namespace ql
