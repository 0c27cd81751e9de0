#include "app/account/ChangePwdViewController.h"

#include "app/account/AccountForms.h"
#include "app/account/AccountReplies.h"
#include "app/account/LoginViewController.h"
#include "app/account/SetPassWordVC.h"
#include "app/service/AccountModels.h"
#include "app/service/StudentNetWorkApiManager.h"
#include "app/session/UnitMetiodManager.h"
#include "app/uikit/AppScreens.h"
#include "app/uikit/NibParts.h"
#include "platform/ui/Button.h"
#include "ui/hud/ProgressHUD.h"
#include "ui/toast/Toast.h"

namespace ql {

namespace {

constexpr std::string_view kNibName = "ChangePwdViewController";

}  // namespace

ChangePwdViewController::ChangePwdViewController() : InputVC(std::string(kNibName)) {
    nib::registerOnce(kNibName, &buildNib);
}

std::vector<std::shared_ptr<ns::Object>> ChangePwdViewController::buildNib(ui::Nib::Loading& loading) {
    PasswordForm form = PasswordForm::build(loading, 110, {"旧密码", "新密码", "确认新密码"}, "确认修改");
    if (auto* owner = loading.ownerAs<ChangePwdViewController>()) {
        owner->oldTextField_ = form.fields[0];
        owner->pwdTextField_ = form.fields[1];
        owner->againTextField_ = form.fields[2];
        owner->confirmBtn_ = form.confirm;
        form.confirm->addTarget(owner->weak_from_this(), &ChangePwdViewController::btnClickAction,
                                ui::ControlEventTouchUpInside);
    }
    return {form.view};
}

void ChangePwdViewController::viewDidLoad() {
    InputVC::viewDidLoad();
    setTitle("修改密码");
    if (auto button = confirmBtn()) setConfirmBackground(*button);
    auto self = std::dynamic_pointer_cast<ui::TextFieldDelegate>(shared_from_this());
    for (const auto& field : {oldTextField(), pwdTextField(), againTextField()}) {
        if (field) field->setDelegate(self);
    }
}

bool ChangePwdViewController::textFieldShouldChangeCharactersInRangeReplacementString(ui::TextField& field,
                                                                                      ns::Range range,
                                                                                      const std::string& replacement) {
    return editStaysWithinPasswordLength(field, range, replacement);
}

void ChangePwdViewController::btnClickAction(ui::Button*) { checkInputString(); }

void ChangePwdViewController::checkInputString() {
    if (oldTextField()->text().empty()) {
        Toast::showWithText(std::string(ConfirmOldPasswordMessage));
    } else if (auto problem =
                   newPasswordProblem(pwdTextField()->text(), againTextField()->text(), ChangePasswordLengthMessage)) {
        Toast::showWithText(std::string(*problem));
    } else {
        requestTheChangePwdAction();
    }
}

void ChangePwdViewController::requestTheChangePwdAction() {
    SetNewPasswordReq request;
    request.type = 1;
    request.NEWPassword = pwdTextField()->text();
    request.oldPassword = oldTextField()->text();
    ProgressHUD::showWithStatus("正在修改", ProgressHUDMaskTypeGradient);
    StudentNetWorkApiManager::request_SetNewPassword_WithParams(
        request,
        [](const ns::Value& reply) {
            ProgressHUD::dismiss();
            auto rsp = replyModel<SetNewPasswordRsp>(reply);
            if (rsp->result != 1) {
                showRefusal(rsp->msg);
                return;
            }
            // The mobile number stays saved for the sign-in screen; the old password must not. With no
            // saved record there is nothing to wipe.
            if (auto saved = UnitMetiodManager::getTheSavedUserPhoneNumAndPassword()) {
                saved->loginPassword = std::string();
                UnitMetiodManager::saveTheUserPhoneNumAndPassword(saved);
            }
            ProgressHUD::showSuccessWithStatus(std::string(ChangedMessage));
            UnitMetiodManager::setAutoLogin(false);
            AppScreens::setRootViewController(LoginViewController::navigationControllerContainSelf());
        },
        [](const std::string&) { showNoNetwork(); });
}

}  // namespace ql
