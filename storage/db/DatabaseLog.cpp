#include "storage/db/DatabaseLog.h"

#include "platform/foundation/Log.h"

namespace ql {

void databaseLog(std::string_view line) { ns::Log::write(line); }

std::string logText(const std::optional<std::string>& text) { return text ? *text : "(null)"; }

}  // namespace ql
