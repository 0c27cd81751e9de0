#include "app/account/AccountReplies.h"

#include "app/service/AccountModels.h"
#include "app/session/Account.h"
#include "app/session/UnitMetiodManager.h"

namespace ql {

void rememberSignIn(const std::shared_ptr<LoginRsp>& reply, const std::string& mobile, const std::string& password) {
    Account::share().setInfo(reply);
    auto record = LoginDataModel::rememberLoginPhoneNum(mobile, password);
    UnitMetiodManager::setAutoLogin(true);
    UnitMetiodManager::saveTheUserPhoneNumAndPassword(record);
}

}  // namespace ql
