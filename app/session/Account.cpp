#include "app/session/Account.h"

namespace ql {

Account& Account::share() {
    // Never released: request models may read the session while the process winds down.
    static std::shared_ptr<Account>* const instance = new std::shared_ptr<Account>(std::make_shared<Account>());
    return **instance;
}

std::shared_ptr<LoginRsp> Account::info() const {
    std::lock_guard lock(mutex_);
    return info_;
}

void Account::setInfo(std::shared_ptr<LoginRsp> info) {
    std::lock_guard lock(mutex_);
    info_ = std::move(info);
}

std::shared_ptr<GetStuIndexContentRsp> Account::stuIndex() const {
    std::lock_guard lock(mutex_);
    return stuIndex_;
}

void Account::setStuIndex(std::shared_ptr<GetStuIndexContentRsp> stuIndex) {
    std::lock_guard lock(mutex_);
    stuIndex_ = std::move(stuIndex);
}

}  // namespace ql
