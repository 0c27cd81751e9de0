#pragma once
// Signing in again with the saved credentials while the tab shell already shows: at launch with
// automatic sign-in, and after a mobile number has been bound.

#include <memory>

namespace ql {

class LoginDataModel;

// On `result` 1 the student goes into the session and "loginSuccess" is posted; any other result puts
// the sign-in screen up instead; a transport failure toasts "无网络连接" and leaves the shell. Nothing is
// saved. Without a record the request carries only the uid, and the refusal leads to the sign-in screen.
void autoLoginActionWithLoginData(const std::shared_ptr<LoginDataModel>& record);

}  // namespace ql
