#include "analytics/StatUtil.h"

namespace ql {

std::string StatUtil::getString(std::string_view text, std::size_t bytesLength) {
    if (text.size() <= bytesLength) return std::string(text);
    // Step back over continuation bytes so that no character is cut.
    std::size_t end = bytesLength;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    return std::string(text.substr(0, end));
}

}  // namespace ql
