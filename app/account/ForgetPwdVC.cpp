#include "app/account/ForgetPwdVC.h"

#include "app/account/SetPassWordVC.h"
#include "app/service/AccountModels.h"
#include "app/service/StudentNetWorkApiManager.h"
#include "app/uikit/NibParts.h"
#include "app/uikit/NoNetwork.h"
#include "platform/ui/TextField.h"
#include "ui/hud/ProgressHUD.h"

namespace ql {

namespace {

constexpr std::string_view kNibName = "ForgetPwdVC";

}  // namespace

ForgetPwdVC::ForgetPwdVC() : CodeScreen(std::string(kNibName)) { nib::registerOnce(kNibName, &buildNib); }

std::vector<std::shared_ptr<ns::Object>> ForgetPwdVC::buildNib(ui::Nib::Loading& loading) {
    return {buildCodeForm(loading, 110, "下一步").view};
}

void ForgetPwdVC::viewDidLoad() {
    CodeScreen::viewDidLoad();
    setTitle("忘记密码");
}

void ForgetPwdVC::requestCode(const std::string& mobile) {
    GetPasswordForgetReq request;
    request.type = "0";
    request.mobile = mobile;
    auto self = std::static_pointer_cast<ForgetPwdVC>(shared_from_this());
    StudentNetWorkApiManager::request_ForgetVerification_WithParams(
        request,
        [self](const ns::Value& reply) {
            auto rsp = replyModel<GetPasswordForgetRsp>(reply);
            if (rsp->result == 1) self->uid_ = rsp->uid;
            // Any refusal, not only 0, leaves the student able to ask again.
            self->codeAnswered(rsp->result == 1, rsp->result == 0 ? std::string(SendFailedMessage) : rsp->msg);
        },
        [self](const std::string&) { self->codeNotSent(); });
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
                showRefusal(rsp->msg);
            }
        },
        [](const std::string&) { showNoNetwork(); });
}

}  // namespace ql
