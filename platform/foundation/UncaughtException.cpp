#include "platform/foundation/UncaughtException.h"

#include <execinfo.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <exception>
#include <memory>
#include <mutex>

namespace ql::ns {

namespace {

// The way out of an uncaught exception takes no lock: the failing thread may hold any, nothing having been
// unwound. So the handler is reached through an atomic pointer, and every handler ever set stays alive for
// the process, since a thread on its way out may still be running one that a later call replaced. They are
// kept where the exit handlers never reach: a thread may fail while they run.
std::mutex settingMutex;
std::vector<std::unique_ptr<const UncaughtExceptionHandler>>& everSet() {  // guarded by settingMutex
    static auto* const handlers = new std::vector<std::unique_ptr<const UncaughtExceptionHandler>>;
    return *handlers;
}
std::atomic<const UncaughtExceptionHandler*> installedHandler{nullptr};
std::terminate_handler previousTerminate = nullptr;

// Threads on their way out of an uncaught exception, the handler at work or done: each then ends the process.
std::atomic<int> failing{0};
// Set by the last of the exit handlers: a thread failing after it could not finish before the process is gone.
std::atomic<bool> exitHandlersOver{false};

// Made before any other object of static storage of the program (the earliest priority a program may ask
// for), so destroyed after all of them: the last exit handler. The process is not gone before a handler at work
// has told of its exception (it then ends the process itself), a little while at most.
struct LastExitHandler {
    ~LastExitHandler() {
        exitHandlersOver.store(true);
        const auto giveUpAt = std::chrono::steady_clock::now() + std::chrono::seconds(3);
        while (failing.load() > 0 && std::chrono::steady_clock::now() < giveUpAt) {
            const timespec pause{0, 1'000'000};
            ::nanosleep(&pause, nullptr);
        }
    }
};
#ifdef __clang__
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wexit-time-destructors"  // the end waits here, on purpose
#endif
__attribute__((init_priority(101))) LastExitHandler lastExitHandler;
#ifdef __clang__
#pragma clang diagnostic pop
#endif

[[noreturn]] void onTerminate() {
    static thread_local bool terminating = false;
    if (!terminating) {
        terminating = true;
        const UncaughtExceptionHandler* handler = installedHandler.load();
        if (const std::exception_ptr current = std::current_exception(); current && handler) {
            failing.fetch_add(1);
            // The process ends as main asked, at any moment now, and would cut the handler's work short.
            if (exitHandlersOver.load())
                for (;;) ::pause();
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
        everSet().push_back(std::make_unique<const UncaughtExceptionHandler>(std::move(handler)));
        installed = everSet().back().get();
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
