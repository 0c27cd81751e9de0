#pragma once
// Errors of the web engine itself, as a web view's delegate hears them; failures of a page's requests
// keep the URL loading's own errors.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/foundation/Error.h"

namespace ql::ui {

inline constexpr std::string_view WebEngineErrorDomain = "QLWebEngineErrorDomain";

enum : std::int64_t {
    WebEngineErrorCannotStart = 1,  // not installed, or it would not run
    WebEngineErrorEnded = 2,        // it crashed, was killed or stopped answering during the load
    WebEngineErrorPageEnded = 3,    // the page's own process crashed or was killed during the load
};

ns::Error webEngineError(std::int64_t code, const std::string& description);

}  // namespace ql::ui
