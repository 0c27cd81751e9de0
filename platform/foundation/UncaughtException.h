#pragma once
// What happens to an exception nothing catches: the handler set here sees it (as an ns::Exception with the
// stack where it went uncaught; any other exception is described as an NSGenericException) and the process
// then aborts (without the runtime's message, which takes a lock, once a handler has seen the exception).
// The handler runs once, on the thread that failed, reached without a lock; a handler once set is kept for
// the process, so keep what it captures small.

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "platform/foundation/Exception.h"

namespace ql::ns {

using UncaughtExceptionHandler = std::function<void(const Exception&)>;

// An empty handler takes the last one away.
void setUncaughtExceptionHandler(UncaughtExceptionHandler handler);
UncaughtExceptionHandler uncaughtExceptionHandler();

// The calling thread's stack as symbol texts, innermost first, at most `maxFrames` of them.
std::vector<std::string> callStackSymbols(std::size_t maxFrames = 128);

}  // namespace ql::ns
