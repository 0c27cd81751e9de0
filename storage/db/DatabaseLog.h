#pragma once
// The database component's log: one line per call on the process's standard error, where the system
// log of this platform goes.

#include <optional>
#include <string>
#include <string_view>

namespace ql {

void databaseLog(std::string_view line);

// How an optional text prints in a log line: the text, or "(null)" when absent.
std::string logText(const std::optional<std::string>& text);

}  // namespace ql
