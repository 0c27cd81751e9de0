#include "tests/support/ResidentMemory.h"

#include <unistd.h>

#include <fstream>
#include <string>

#if defined(__SANITIZE_ADDRESS__)
#define QL_ADDRESS_SANITIZER 1
#elif defined(__SANITIZE_THREAD__)
#define QL_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QL_ADDRESS_SANITIZER 1
#elif __has_feature(thread_sanitizer)
#define QL_THREAD_SANITIZER 1
#endif
#endif

#ifdef QL_ADDRESS_SANITIZER
extern "C" void __sanitizer_purge_allocator();
#endif

namespace ql::test {

bool residentCountsTellWhatIsHeld() {
#ifdef QL_THREAD_SANITIZER
    return false;
#else
    return true;
#endif
}

std::size_t residentBytes() {
    std::ifstream statm("/proc/self/statm");
    std::size_t size = 0;
    std::size_t resident = 0;
    statm >> size >> resident;
    return resident * static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
}

void resetPeakResident() { std::ofstream("/proc/self/clear_refs") << "5"; }

std::size_t peakResidentBytes() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmHWM:", 0) == 0) return std::stoull(line.substr(6)) * 1024;  // in kB
    }
    return 0;
}

void releaseSanitizerHeldMemory() {
#ifdef QL_ADDRESS_SANITIZER
    __sanitizer_purge_allocator();
#endif
}

}  // namespace ql::test
