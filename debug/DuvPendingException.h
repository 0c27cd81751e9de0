#pragma once
// The uncaught-exception half of the crash store's notes. The exception handler runs on the terminate path,
// where the failing thread may still hold the store's lock (the exception left a save half-way and nothing
// unwound it), the log's or the file layer's: waiting on any of them would hang the process for good. So
// the handler takes no lock: it writes the exception's record, with the time, as a property list of its own
// ("pending-exception-<pid>" in the store's folder), and the store files it as an ordinary record when it
// next opens.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/foundation/Value.h"

namespace ql::duv_pending_exception {

struct PendingException {
    std::int64_t seconds = 0;
    ns::Dictionary record;
};

// Writes the note of this process when its exception is the process's first fault (DuvFirstFault.h); the
// abort that follows completes it. The thread of a later fault waits here until the first fault's note is
// written, so that its abort cannot end the process before.
void note(const std::string& folder, const ns::Dictionary& record);

// The notes left in the folder, oldest first; their files are removed. Notes that cannot be read are
// dropped with their file.
std::vector<PendingException> collect(const std::string& folder);

}  // namespace ql::duv_pending_exception
