#pragma once
// What every account screen does with a successful sign-in: it is kept in the session and in the saved
// settings. (A failed call goes to showNoNetwork in app/uikit, which the tab roots share.)

#include <memory>
#include <string>

#include "app/uikit/NoNetwork.h"

namespace ql {

class LoginRsp;

// The signed-in student into the session, then "setAutoLogin" and the credentials as typed, flushed.
void rememberSignIn(const std::shared_ptr<LoginRsp>& reply, const std::string& mobile, const std::string& password);

}  // namespace ql
