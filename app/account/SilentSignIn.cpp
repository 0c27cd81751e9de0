#include "app/account/SilentSignIn.h"

#include "app/account/AccountReplies.h"
#include "app/account/LoginViewController.h"
#include "app/service/AccountModels.h"
#include "app/service/StudentNetWorkApiManager.h"
#include "app/session/Account.h"
#include "app/session/LoginDataModel.h"
#include "app/uikit/AppScreens.h"
#include "platform/foundation/NotificationCenter.h"
#include "ui/hud/ProgressHUD.h"

namespace ql {

void autoLoginActionWithLoginData(const std::shared_ptr<LoginDataModel>& record) {
    LoginReq request;
    if (record) {
        request.userName = record->loginPhoneNum;
        request.password = record->loginPassword;
    }
    ProgressHUD::show();
    StudentNetWorkApiManager::request_Login_WithParams(
        request,
        [](const ns::Value& reply) {
            ProgressHUD::dismiss();
            auto rsp = replyModel<LoginRsp>(reply);
            if (rsp->result == 1) {
                Account::share().setInfo(rsp);
                ns::NotificationCenter::defaultCenter().post(LoginSuccessNotification);
            } else {
                AppScreens::setRootViewController(LoginViewController::navigationControllerContainSelf());
            }
        },
        [](const std::string&) { showNoNetwork(); });
}

}  // namespace ql
