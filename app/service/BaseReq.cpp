#include "app/service/BaseReq.h"

#include "app/service/AccountModels.h"
#include "app/session/Account.h"

namespace ql {

BaseReq::BaseReq() {
    if (const auto info = Account::share().info()) uid = info->uid;
}

}  // namespace ql
