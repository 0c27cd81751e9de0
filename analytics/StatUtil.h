#pragma once
// Text helpers of the analytics client's device-facts facade.

#include <cstddef>
#include <string>
#include <string_view>

namespace ql {

class StatUtil {
public:
    // The longest prefix of whole characters whose UTF-8 form has at most `bytesLength` bytes.
    static std::string getString(std::string_view text, std::size_t bytesLength);
};

}  // namespace ql
