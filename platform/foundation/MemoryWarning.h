#pragma once
// The notification the application posts when the system asks for memory back. Foundation's caches give
// their memory back on it; its name lives here so that they need not know the UI layer that posts it.

#include <string_view>

namespace ql::ns {

inline constexpr std::string_view MemoryWarningNotification = "UIApplicationDidReceiveMemoryWarningNotification";

}  // namespace ql::ns
