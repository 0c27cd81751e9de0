#pragma once
// The fatal-signal half of the crash store. A signal may arrive while any lock or the allocator is held, so
// the handler only appends a line "<signal> <seconds since 1970>" with open() and write() to a file of the
// crashing process ("pending-signal-<pid>" in the store's folder) and formats the numbers itself; the store
// turns those lines into ordinary records when it next opens.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace ql::duv_pending_signal {

struct PendingSignal {
    std::int32_t signal = 0;
    std::int64_t seconds = 0;
};

// Remembers the folder the handler writes into and sets it for the given signals, except those the process
// ignores, which stay ignored. The handler runs on a signal stack of the installing thread's own, so a
// stack overflow of that thread is recorded too; it then restores the default action and raises the
// signal again, so the process still ends by it. Only the first fault of the process is noted, whether a
// signal or an uncaught exception (DuvFirstFault.h): threads faulting with it wait for its note before they
// go on. An exception's note is whole once the abort that follows it is noted here too.
void install(const std::string& folder, std::span<const int> signals);

// The signals recorded in the folder by processes that have ended, oldest first; their files are removed.
// Lines that cannot be read are dropped with their file.
std::vector<PendingSignal> collect(const std::string& folder);

}  // namespace ql::duv_pending_signal
