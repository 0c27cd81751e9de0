#include "app/account/ChangeBindPhone.h"

#include "app/account/ChangePwdViewController.h"  // ChangedMessage
#include "app/account/LoginViewController.h"
#include "app/account/SilentSignIn.h"
#include "app/service/AccountModels.h"
#include "app/service/StudentNetWorkApiManager.h"
#include "app/session/Account.h"
#include "app/session/UnitMetiodManager.h"
#include "app/uikit/AppScreens.h"
#include "app/uikit/NibParts.h"
#include "app/uikit/NoNetwork.h"
#include "platform/ui/Label.h"
#include "platform/ui/TextField.h"
#include "ui/hud/ProgressHUD.h"

namespace ql {

namespace {

constexpr std::string_view kNibName = "ChangeBindPhone";

std::string currentMobile() {
    const auto info = Account::share().info();
    return info ? info->mobile : std::string();
}

}  // namespace

ChangeBindPhone::ChangeBindPhone() : CodeScreen(std::string(kNibName)) { nib::registerOnce(kNibName, &buildNib); }

std::vector<std::shared_ptr<ns::Object>> ChangeBindPhone::buildNib(ui::Nib::Loading& loading) {
    CodeForm form = buildCodeForm(loading, 150, "确认更换");
    const nib::Column column = nib::Column::forScreen();
    auto current = nib::label(loading, {column.x + 8, 106, column.width - 16, 30}, "", 16);
    form.view->addSubview(current);
    if (auto* owner = loading.ownerAs<ChangeBindPhone>()) owner->phoneLabel_ = current;
    return {form.view};
}

void ChangeBindPhone::viewDidLoad() {
    CodeScreen::viewDidLoad();
    setTitle("更换手机号");
    if (auto label = phoneLabel()) label->setText("当前手机号：" + currentMobile());
}

std::optional<std::string_view> ChangeBindPhone::numberProblem(const std::string& mobile) const {
    if (auto problem = mobileProblem(mobile)) return problem;
    if (mobile == currentMobile()) return SameMobileMessage;
    return std::nullopt;
}

void ChangeBindPhone::requestCode(const std::string& mobile) {
    SendVerificationReq request;
    request.type = 1;
    request.mobile = mobile;
    request.stuType = 0;
    auto self = std::static_pointer_cast<ChangeBindPhone>(shared_from_this());
    StudentNetWorkApiManager::request_SendVerification_WithParams(
        request,
        [self](const ns::Value& reply) {
            auto rsp = replyModel<SendVerificationRsp>(reply);
            self->codeAnswered(rsp->result == 1, rsp->msg);
        },
        [self](const std::string&) { self->codeNotSent(); });
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
                showRefusal(rsp->msg);
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
