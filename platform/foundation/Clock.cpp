#include "platform/foundation/Clock.h"

#include <chrono>

namespace ql::ns {

double Clock::now() {
    using namespace std::chrono;
    return duration<double>(system_clock::now().time_since_epoch()).count();
}

}  // namespace ql::ns
