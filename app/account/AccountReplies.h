#pragma once
// What every account screen does with a service reply or a failed call, in one place: the overlay goes
// first, a transport failure tells the student there is no network, and a successful sign-in is kept in
// the session and in the saved settings.

#include <memory>
#include <string>
#include <string_view>

namespace ql {

class LoginRsp;

inline constexpr std::string_view NoNetworkMessage = "无网络连接";

// Dismisses the overlay and shows "无网络连接".
void showNoNetwork();

// The signed-in student into the session, then "setAutoLogin" and the credentials as typed, flushed.
void rememberSignIn(const std::shared_ptr<LoginRsp>& reply, const std::string& mobile, const std::string& password);

}  // namespace ql
