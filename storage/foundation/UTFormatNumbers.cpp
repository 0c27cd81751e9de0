#include "storage/foundation/UTFormatNumbers.h"

#include <array>
#include <cstdio>

namespace ql {

std::string stringByFormattingBytes(std::int64_t bytes) {
    static constexpr std::array<const char*, 5> units{"%1.0f Bytes", "%1.1f KB", "%1.1f MB", "%1.1f GB", "%1.1f TB"};
    // Counted in tenths, wide enough that ten times any byte count fits.
    __int128 tenths = static_cast<__int128>(bytes) * 10;
    const char* format = units.back();
    for (std::size_t unit = 0; unit < units.size(); ++unit) {
        if (unit > 0) tenths /= 1024;
        if (tenths <= 9999) {
            format = units[unit];
            break;
        }
    }
    char text[64];
    std::snprintf(text, sizeof text, format, static_cast<double>(tenths) / 10);
    return text;
}

}  // namespace ql
