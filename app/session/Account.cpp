#include "app/session/Account.h"
#include "platform/foundation/Locked.h"

namespace ql {

Account& Account::share() {
    // Never released: request models may read the session while the process winds down.
    static std::shared_ptr<Account>* const instance = new std::shared_ptr<Account>(std::make_shared<Account>());
    return **instance;
}

std::shared_ptr<LoginRsp> Account::info() const { return ns::lockedCopy(mutex_, info_); }

void Account::setInfo(std::shared_ptr<LoginRsp> info) { ns::lockedStore(mutex_, info_, std::move(info)); }

std::shared_ptr<GetStuIndexContentRsp> Account::stuIndex() const { return ns::lockedCopy(mutex_, stuIndex_); }

void Account::setStuIndex(std::shared_ptr<GetStuIndexContentRsp> stuIndex) {
    ns::lockedStore(mutex_, stuIndex_, std::move(stuIndex));
}

std::optional<std::string> Account::token() const { return ns::lockedCopy(mutex_, token_); }

void Account::setToken(std::optional<std::string> token) { ns::lockedStore(mutex_, token_, std::move(token)); }

std::optional<std::string> Account::userPwd() const { return ns::lockedCopy(mutex_, userPwd_); }

void Account::setUserPwd(std::optional<std::string> userPwd) { ns::lockedStore(mutex_, userPwd_, std::move(userPwd)); }

std::optional<std::string> Account::userName() const { return ns::lockedCopy(mutex_, userName_); }

void Account::setUserName(std::optional<std::string> userName) {
    ns::lockedStore(mutex_, userName_, std::move(userName));
}

bool Account::islogin() const { return ns::lockedCopy(mutex_, islogin_); }

void Account::setIslogin(bool islogin) { ns::lockedStore(mutex_, islogin_, islogin); }

}  // namespace ql
