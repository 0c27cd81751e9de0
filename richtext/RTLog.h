#pragma once
// The rich text import's diagnostics: one process-wide hook with syslog-numbered levels (3 error,
// 4 warning, 6 info, 7 debug). A message reaches the hook when its level is at most the current level
// (6 unless changed); without a hook, messages go nowhere.

#include <functional>
#include <string_view>

namespace ql {

enum RTLogLevel : int { RTLogLevelError = 3, RTLogLevelWarning = 4, RTLogLevelInfo = 6, RTLogLevelDebug = 7 };

using RTLogHook = std::function<void(int level, std::string_view message)>;

// An empty hook removes the installed one.
void RTSetLogHook(RTLogHook hook);
void RTSetLogLevel(int level);
int RTLogLevelCurrent();
void RTLogMessage(int level, std::string_view message);

}  // namespace ql
