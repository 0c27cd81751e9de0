#pragma once
// The zlib stream format (RFC 1950) over whole buffers: what the analytics client sends as "deflate".

#include <cstddef>
#include <optional>

#include "platform/foundation/Data.h"

namespace ql::ns {

// The zlib stream of `source` at `level` (-1 is zlib's default, 0 to 9 otherwise); nothing when zlib refuses
// the level or the input is larger than zlib can take in one call.
std::optional<Data> zlibCompress(const Data& source, int level = -1);

// The bytes a zlib stream holds; nothing when the stream is damaged, cut short, followed by other bytes, or
// would inflate to more than `maxLength` bytes (the stream may come from anyone).
std::optional<Data> zlibInflate(const Data& stream, std::size_t maxLength);

}  // namespace ql::ns
