#include "app/account/BindViewController.h"

#include "app/account/SilentSignIn.h"
#include "app/service/AccountModels.h"
#include "app/service/StudentNetWorkApiManager.h"
#include "app/session/Account.h"
#include "app/session/UnitMetiodManager.h"
#include "app/uikit/AppScreens.h"
#include "app/uikit/NibParts.h"
#include "app/uikit/NoNetwork.h"
#include "platform/ui/TextField.h"
#include "ui/hud/ProgressHUD.h"

namespace ql {

namespace {

constexpr std::string_view kNibName = "BindViewController";

}  // namespace

BindViewController::BindViewController() : CodeScreen(std::string(kNibName)) { nib::registerOnce(kNibName, &buildNib); }

std::vector<std::shared_ptr<ns::Object>> BindViewController::buildNib(ui::Nib::Loading& loading) {
    return {buildCodeForm(loading, 110, "绑 定").view};
}

void BindViewController::viewDidLoad() {
    CodeScreen::viewDidLoad();
    setTitle("绑定手机");
}

std::int64_t BindViewController::sessionUid() const {
    const auto info = Account::share().info();
    return info ? info->uid : 0;
}

void BindViewController::requestCode(const std::string& mobile) {
    SendVerificationReq request;
    request.uid = sessionUid();
    request.type = 0;
    request.mobile = mobile;
    request.stuType = 0;
    auto self = std::static_pointer_cast<BindViewController>(shared_from_this());
    StudentNetWorkApiManager::request_SendVerification_WithParams(
        request,
        [self](const ns::Value& reply) {
            auto rsp = replyModel<SendVerificationRsp>(reply);
            self->codeAnswered(rsp->result == 1, rsp->result == 0 ? std::string(UnknownStudentMessage) : rsp->msg);
        },
        [self](const std::string&) { self->codeNotSent(); });
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
                showRefusal(rsp->msg);
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
