#pragma once
// The analytics client's switchable log: "STATLOG: <text>" lines on standard error while logging is on.
// The switch is the host app's logging choice, which the client's app settings set; it starts off.

#include <string_view>

namespace ql {

bool statLogEnabled();
void setStatLogEnabled(bool enabled);
// Prints the line only while logging is on.
void statLog(std::string_view text);

}  // namespace ql
