#pragma once
// A service call (a form POST) sent and not answered yet, as a driver of the app sees it.

#include <cstdint>
#include <string>

namespace ql {

struct FormPostInFlight {
    std::uint64_t serial = 0;  // tells the calls of the process apart: one number per call, never reused
    std::string url;           // the request URL
};

}  // namespace ql
