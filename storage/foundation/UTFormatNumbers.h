#pragma once
// A byte count as a short display text ("999 Bytes", "1.5 KB", "2.0 MB"): steps of 1024, one decimal,
// the digits below a tenth cut off, the sign kept.

#include <cstdint>
#include <string>

namespace ql {

std::string stringByFormattingBytes(std::int64_t bytes);

}  // namespace ql
