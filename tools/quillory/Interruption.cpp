#include "tools/quillory/Interruption.h"

#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <system_error>

#include "platform/foundation/RunLoop.h"

namespace ql::quillory {

namespace {

std::atomic<int> taken{0};
std::atomic<int> takenDescriptor{-1};  // an event counter, readable once a signal was taken

int checked(int result, const char* what) {
    if (result < 0) throw std::system_error(errno, std::generic_category(), what);
    return result;
}

void signalOnce(int fd) {
    const std::uint64_t one = 1;
    (void)!::write(fd, &one, sizeof one);
}

}  // namespace

Interruption::Interruption() {
    if (takenDescriptor.load() >= 0) throw std::system_error(EBUSY, std::generic_category(), "signals are watched already");
    sigemptyset(&watched_);
    for (const int watched : {SIGINT, SIGTERM, SIGHUP}) {
        // A job started in the background by a shell ignores Ctrl-C, and so does everything it runs.
        struct sigaction current {};
        if (::sigaction(watched, nullptr, &current) == 0 && current.sa_handler == SIG_IGN) continue;
        sigaddset(&watched_, watched);
    }
    if (const int failure = ::pthread_sigmask(SIG_BLOCK, &watched_, &previousMask_); failure != 0) {
        throw std::system_error(failure, std::generic_category(), "cannot block the signals");
    }
    try {
        signals_ = checked(::signalfd(-1, &watched_, SFD_CLOEXEC), "cannot watch the signals");
        stop_ = checked(::eventfd(0, EFD_CLOEXEC), "cannot make the watcher's stop");
        takenDescriptor.store(checked(::eventfd(0, EFD_CLOEXEC), "cannot make the interruption's descriptor"));
        mainLoop_ = ns::RunLoop::main();
        watcher_ = std::thread([this] { watch(); });
    } catch (...) {
        for (const int fd : {signals_, stop_, takenDescriptor.exchange(-1)}) {
            if (fd >= 0) ::close(fd);
        }
        ::pthread_sigmask(SIG_SETMASK, &previousMask_, nullptr);
        throw;
    }
}

Interruption::~Interruption() {
    stopWatching();
    for (const int fd : {signals_, stop_, takenDescriptor.exchange(-1)}) ::close(fd);
    taken.store(0);
    // A signal that came after the watcher stopped ends the process now, as it would have without it.
    ::pthread_sigmask(SIG_SETMASK, &previousMask_, nullptr);
}

int Interruption::signal() { return taken.load(); }

void Interruption::check() {
    if (const int signal = taken.load()) throw Interrupted{signal};
}

int Interruption::descriptor() { return takenDescriptor.load(); }

void Interruption::watch() const {
    pollfd ready[] = {{signals_, POLLIN, 0}, {stop_, POLLIN, 0}};
    for (;;) {
        if (::poll(ready, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (ready[1].revents) return;
        signalfd_siginfo info {};
        if (::read(signals_, &info, sizeof info) != sizeof info) continue;
        // The first signal decides how the process ends; the clean-up it started is bounded, so later ones
        // wait for it.
        int none = 0;
        if (taken.compare_exchange_strong(none, static_cast<int>(info.ssi_signo))) {
            signalOnce(takenDescriptor.load());
            mainLoop_->wakeUp();
        }
    }
}

void Interruption::stopWatching() {
    if (!watcher_.joinable()) return;
    signalOnce(stop_);
    watcher_.join();
}

void Interruption::endProcessIfInterrupted() {
    stopWatching();
    const int signal = taken.load();
    if (!signal) return;
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
    struct sigaction byDefault {};
    byDefault.sa_handler = SIG_DFL;
    sigemptyset(&byDefault.sa_mask);
    ::sigaction(signal, &byDefault, nullptr);
    // Raised while still blocked here, it is delivered as this thread lets it through.
    ::raise(signal);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signal);
    ::pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
    // The default of every watched signal ends the process; should one ever not, the status says the same.
    ::_exit(128 + signal);
}

}  // namespace ql::quillory
