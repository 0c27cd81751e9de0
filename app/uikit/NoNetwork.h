#pragma once
// What a screen does when a service call fails in transport, in one place for the account screens and the
// tab roots alike: the overlay goes and the toast "无网络连接" shows.

#include <string_view>

namespace ql {

inline constexpr std::string_view NoNetworkMessage = "无网络连接";

// Dismisses the overlay and shows "无网络连接".
void showNoNetwork();

}  // namespace ql
