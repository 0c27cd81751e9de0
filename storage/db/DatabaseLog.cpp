#include "storage/db/DatabaseLog.h"

#include <cstdio>

namespace ql {

void databaseLog(std::string_view line) {
    std::string text(line);
    text += '\n';
    // One write per line, so that lines from several threads do not interleave.
    std::fwrite(text.data(), 1, text.size(), stderr);
}

std::string logText(const std::optional<std::string>& text) { return text ? *text : "(null)"; }

}  // namespace ql
