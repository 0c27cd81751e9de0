#include "platform/foundation/UncaughtException.h"

#include <execinfo.h>
#include <signal.h>

#include <atomic>
#include <cstdlib>
#include <exception>
#include <memory>
#include <mutex>

namespace ql::ns {

namespace {

// The way out of an uncaught exception takes no lock: the failing thread may hold any, nothing having been
// unwound. So the handler is reached through an atomic pointer, and every handler ever set stays alive for
// the process, since a thread on its way out may still be running one that a later call replaced.
std::mutex settingMutex;
std::vector<std::unique_ptr<const UncaughtExceptionHandler>> everSet;  // guarded by settingMutex
std::atomic<const UncaughtExceptionHandler*> installedHandler{nullptr};
std::terminate_handler previousTerminate = nullptr;

[[noreturn]] void onTerminate() {
    static thread_local bool terminating = false;
    if (!terminating) {
        terminating = true;
        const UncaughtExceptionHandler* handler = installedHandler.load();
        if (const std::exception_ptr current = std::current_exception(); current && handler) {
            // The stack has not been unwound: what is captured here is where the exception was thrown.
            std::vector<std::string> stack = callStackSymbols();
            try {
                std::rethrow_exception(current);
            } catch (const Exception& exception) {
                Exception described = exception;
                described.setCallStackSymbols(std::move(stack));
                (*handler)(described);
            } catch (const std::exception& exception) {
                Exception described(GenericException, exception.what());
                described.setCallStackSymbols(std::move(stack));
                (*handler)(described);
            } catch (...) {
                Exception described(GenericException, "an exception of unknown type");
                described.setCallStackSymbols(std::move(stack));
                (*handler)(described);
            }
            // The handler has told of it. The runtime's own message would be written under the standard
            // error's lock, which a thread that faulted or blocked while logging may hold for good; abort()
            // itself may take a lock or flush the standard streams, so the signal is raised first.
            ::raise(SIGABRT);
            std::abort();
        }
    }
    if (previousTerminate) previousTerminate();
    std::abort();
}

}  // namespace

void setUncaughtExceptionHandler(UncaughtExceptionHandler handler) {
    std::lock_guard lock(settingMutex);
    const UncaughtExceptionHandler* installed = nullptr;
    if (handler) {
        everSet.push_back(std::make_unique<const UncaughtExceptionHandler>(std::move(handler)));
        installed = everSet.back().get();
    }
    installedHandler.store(installed);
    static std::once_flag once;
    std::call_once(once, [] { previousTerminate = std::set_terminate(&onTerminate); });
}

UncaughtExceptionHandler uncaughtExceptionHandler() {
    const UncaughtExceptionHandler* installed = installedHandler.load();
    return installed ? *installed : UncaughtExceptionHandler{};
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
