#pragma once
// What a screen shows when a service call does not give it what it asked for, in one place for the account
// screens and the tab roots alike: on a failure in transport the overlay goes and the toast "无网络连接"
// shows; on a refusal the toast shows the reply's message.

#include <string_view>

namespace ql {

inline constexpr std::string_view NoNetworkMessage = "无网络连接";

// Dismisses the overlay and shows "无网络连接".
void showNoNetwork();

// Shows the refusal's message; a refusal with nothing to read in it (no `msg`, or only blanks, as from a
// reply that was no JSON object) shows "无网络连接", so the student never gets an empty toast.
void showRefusal(std::string_view message);

}  // namespace ql
