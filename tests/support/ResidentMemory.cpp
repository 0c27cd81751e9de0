#include "tests/support/ResidentMemory.h"

#include <unistd.h>

#include <fstream>
#include <string>

#include "tests/support/Sanitizers.h"

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
