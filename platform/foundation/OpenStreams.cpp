#include "platform/foundation/OpenStreams.h"

#include <pthread.h>
#include <stdio.h>
#include <time.h>

#include <atomic>
#include <chrono>

#ifdef __GLIBC__
// The C library's own walk over its open streams, exported for its clients but declared in no installed header.
extern "C" {
struct _IO_FILE_plus;
void _IO_list_lock();
void _IO_list_unlock();
_IO_FILE_plus* _IO_iter_begin();
_IO_FILE_plus* _IO_iter_end();
_IO_FILE_plus* _IO_iter_next(_IO_FILE_plus* iterator);
FILE* _IO_iter_file(_IO_FILE_plus* iterator);
}
#endif

namespace ql::ns {

namespace {

void flushUnlessHeld(FILE* stream) {
    if (::ftrylockfile(stream) != 0) return;
    ::fflush_unlocked(stream);
    ::funlockfile(stream);
}

void flushEveryStreamNotHeld() {
#ifdef __GLIBC__
    _IO_list_lock();
    for (_IO_FILE_plus* it = _IO_iter_begin(); it != _IO_iter_end(); it = _IO_iter_next(it))
        flushUnlessHeld(_IO_iter_file(it));
    _IO_list_unlock();
#else
    flushUnlessHeld(stdout);
    flushUnlessHeld(stderr);
#endif
}

void* walk(void* over) {
    flushEveryStreamNotHeld();
    static_cast<std::atomic<bool>*>(over)->store(true);
    return nullptr;
}

bool startDetached(std::atomic<bool>* over) {
    pthread_attr_t detached;
    if (::pthread_attr_init(&detached) != 0) return false;
    pthread_t walker;
    const bool started = ::pthread_attr_setdetachstate(&detached, PTHREAD_CREATE_DETACHED) == 0 &&
                         ::pthread_create(&walker, &detached, walk, over) == 0;
    ::pthread_attr_destroy(&detached);
    return started;
}

}  // namespace

bool flushStreamsNoThreadHolds(double seconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    // Shared with the walk, which may outlive the wait: given back only once the walk is known to be over. The walk
    // runs detached, since the process may end (on another thread too) before anyone could join it.
    auto* over = new std::atomic<bool>(false);
    if (!startDetached(over)) {
        delete over;
        // No thread to bound it with: standard output alone, whose buffer a run's reader looks for first.
        flushUnlessHeld(stdout);
        return false;
    }
    const timespec aMillisecond{0, 1'000'000};
    while (!over->load() && std::chrono::steady_clock::now() < deadline) ::nanosleep(&aMillisecond, nullptr);
    if (!over->load()) return false;  // `over` stays the walk's: the process is about to end
    delete over;
    return true;
}

}  // namespace ql::ns
