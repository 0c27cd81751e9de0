#pragma once
// What the C library's streams still hold in their buffers, written out when the process ends at once: _exit()
// skips the flush an ordinary end does. Internal to the end of the process.

namespace ql::ns {

// Flushes every open stdio stream that no thread holds now. A stream a thread has locked may be halfway through a
// write of its own, so its buffer is left as it is. The streams are walked on a thread of their own, under the C
// library's lock on its list of them, which a thread blocked in a flush of its own may hold for good: this waits for
// the walk at most `seconds` of real time. Answers whether the walk was over in time.
bool flushStreamsNoThreadHolds(double seconds);

}  // namespace ql::ns
