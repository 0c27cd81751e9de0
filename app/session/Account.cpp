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

}  // namespace ql
