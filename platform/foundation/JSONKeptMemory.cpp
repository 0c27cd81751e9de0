#include "platform/foundation/JSONKeptMemory.h"

#include <mutex>

#include "platform/foundation/Clock.h"
#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/JSONReader.h"
#include "platform/foundation/JSONTextBuffer.h"
#include "platform/foundation/MemoryWarning.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/ValueArena.h"

namespace ql::ns::detail {

namespace {

// What large texts keep goes back once none has come for a while: a check is scheduled after a large text
// and again while they keep coming. Only the latest scheduled check counts; one is scheduled anew when the
// pending one lies too far ahead (a test switched to the manual clock, which lags real time).
class IdleRelease {
public:
    static IdleRelease& shared() {
        static IdleRelease* release = new IdleRelease;  // never destroyed: a check may be queued at exit
        return *release;
    }

    void noteLargeText() {
        std::lock_guard lock(mutex_);
        last_ = Clock::now();
        if (due_ == 0 || due_ > last_ + keptJSONMemoryIdleSeconds) schedule(last_ + keptJSONMemoryIdleSeconds);
    }

private:
    // Under mutex_.
    void schedule(double due) {
        due_ = due;
        DispatchQueue::global(DispatchQueue::Priority::Background)->after(due - Clock::now(), [this, due] { check(due); });
    }

    void check(double due) {
        {
            std::lock_guard lock(mutex_);
            if (due != due_) return;
            if (Clock::now() < last_ + keptJSONMemoryIdleSeconds) return schedule(last_ + keptJSONMemoryIdleSeconds);
            due_ = 0;
        }
        releaseKeptJSONMemory();
    }

    std::mutex mutex_;
    double last_ = 0;  // when the latest large text was read or written
    double due_ = 0;   // of the pending check; 0 when none is
};

}  // namespace

KeptJSONMemory keptJSONMemory() {
    return {sharedParserCapacity(), ValueArena::keptBytes(), threadReadScratchBytes(), spareWritePageBytes()};
}

void releaseKeptJSONMemory() noexcept {
    // Chunks first: once nothing is kept, trees let go afterwards are not kept either.
    ValueArena::releaseKeptChunks();
    releaseSharedParser();
    releaseSpareWritePages();
}

void giveBackKeptJSONMemoryOnMemoryWarnings() {
    // The centre holds the registration for good: its token is not kept.
    [[maybe_unused]] static const bool registered =
        NotificationCenter::defaultCenter().addObserverForName(MemoryWarningNotification, nullptr, nullptr,
                                                               [](const Notification&) { releaseKeptJSONMemory(); }) != nullptr;
}

void noteLargeJSONText() {
    giveBackKeptJSONMemoryOnMemoryWarnings();
    IdleRelease::shared().noteLargeText();
}

}  // namespace ql::ns::detail
