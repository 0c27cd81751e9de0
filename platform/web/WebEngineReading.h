#pragma once
// What the app's reader of the engine's messages tells the waits on the engine. Bytes read are the engine's
// work; so is the reader's own work on them: the engine answers in order, so while the reader takes
// seconds over a large message (on a loaded machine), the answer a wait is for may sit behind it, the
// engine meanwhile waiting on the app and showing nothing.

#include <atomic>
#include <cstdint>

namespace ql::ui {

struct WebEngineReading {
    std::atomic<std::uint64_t> arrived{0};
    std::atomic<bool> digesting{false};

    // Marks the reader at work on what came (or, `digesting` false, not: while it writes to the engine
    // itself, which would otherwise pass for the engine's work) for its life.
    class Marked {
    public:
        Marked(WebEngineReading& reading, bool digesting)
            : flag_(reading.digesting), before_(flag_.exchange(digesting)) {}
        ~Marked() { flag_ = before_; }
        Marked(const Marked&) = delete;
        Marked& operator=(const Marked&) = delete;

    private:
        std::atomic<bool>& flag_;
        bool before_;
    };
};

}  // namespace ql::ui
