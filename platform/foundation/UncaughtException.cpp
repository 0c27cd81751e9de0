#include "platform/foundation/UncaughtException.h"

#include <execinfo.h>

#include <cstdlib>
#include <exception>
#include <mutex>

namespace ql::ns {

namespace {

std::mutex handlerMutex;
UncaughtExceptionHandler installedHandler;  // guarded by handlerMutex
std::terminate_handler previousTerminate = nullptr;

[[noreturn]] void onTerminate() {
    static thread_local bool terminating = false;
    if (!terminating) {
        terminating = true;
        const UncaughtExceptionHandler handler = uncaughtExceptionHandler();
        if (const std::exception_ptr current = std::current_exception(); current && handler) {
            // The stack has not been unwound: what is captured here is where the exception was thrown.
            std::vector<std::string> stack = callStackSymbols();
            try {
                std::rethrow_exception(current);
            } catch (const Exception& exception) {
                Exception described = exception;
                described.setCallStackSymbols(std::move(stack));
                handler(described);
            } catch (const std::exception& exception) {
                Exception described(GenericException, exception.what());
                described.setCallStackSymbols(std::move(stack));
                handler(described);
            } catch (...) {
                Exception described(GenericException, "an exception of unknown type");
                described.setCallStackSymbols(std::move(stack));
                handler(described);
            }
        }
    }
    if (previousTerminate) previousTerminate();
    std::abort();
}

}  // namespace

void setUncaughtExceptionHandler(UncaughtExceptionHandler handler) {
    std::lock_guard lock(handlerMutex);
    installedHandler = std::move(handler);
    static std::once_flag once;
    std::call_once(once, [] { previousTerminate = std::set_terminate(&onTerminate); });
}

UncaughtExceptionHandler uncaughtExceptionHandler() {
    std::lock_guard lock(handlerMutex);
    return installedHandler;
}

std::vector<std::string> callStackSymbols(std::size_t maxFrames) {
    std::vector<void*> frames(maxFrames);
    const int depth = ::backtrace(frames.data(), static_cast<int>(frames.size()));
    std::vector<std::string> symbols;
    if (depth <= 0) return symbols;
    char** texts = ::backtrace_symbols(frames.data(), depth);
    if (!texts) return symbols;
    symbols.reserve(static_cast<std::size_t>(depth));
    for (int i = 0; i < depth; ++i) symbols.emplace_back(texts[i]);
    std::free(texts);
    return symbols;
}

}  // namespace ql::ns
