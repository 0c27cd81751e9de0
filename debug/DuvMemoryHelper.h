#pragma once
// DuvMemoryHelper: how much memory the process's heap uses, and the host's page counts.

#include <cstdint>

namespace ql {

class DuvMemoryHelper {
public:
    // Bytes in use in the process's allocator heap.
    static std::int64_t bytesOfUsedMemory();
    // (free + active + inactive + wired pages) × page size, after refreshing the host statistics.
    static std::int64_t bytesOfTotalMemory();
    // Reads the page size and the host's page counts; false when the host would not tell.
    static bool updateHostStatistics();

    struct HostStatistics {
        std::int64_t pageSize = 0;
        std::int64_t freeCount = 0;
        std::int64_t activeCount = 0;
        std::int64_t inactiveCount = 0;
        // Pages the kernel will not page out (unevictable and locked memory).
        std::int64_t wireCount = 0;
    };
    static HostStatistics hostStatistics();
};

}  // namespace ql
