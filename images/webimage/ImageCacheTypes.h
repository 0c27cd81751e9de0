#pragma once
// Where a remote image came from, shared by the cache, the manager and the view categories.

#include <cstdint>

namespace ql {

enum ImageCacheSource : std::int64_t {
    ImageCacheSourceNone = 0,  // downloaded, or nothing found
    ImageCacheSourceDisk = 1,
    ImageCacheSourceMemory = 2,
};

}  // namespace ql
