#pragma once
// What the replies gathered for pages hold at once, in bytes, within a bound. A budget may draw on a wider
// one as well (one reply's on its view's, a view's on the one every view shares): bytes are granted only
// when every level has room for them, and given back to every level.
//
// The widest budget also hands the heap's free memory back to the system when it empties after much has
// passed through it: a reply's body arrives in small pieces, freed as they are gathered, which the
// allocator would otherwise keep in its arenas, scattered among what stays.

#include <atomic>
#include <cstddef>
#include <memory>

namespace ql::ui {

class WebReplyBudget {
public:
    explicit WebReplyBudget(std::size_t limit, std::shared_ptr<WebReplyBudget> wider = nullptr)
        : limit_(limit), wider_(std::move(wider)) {}
    WebReplyBudget(const WebReplyBudget&) = delete;
    WebReplyBudget& operator=(const WebReplyBudget&) = delete;

    // All or nothing: false, taking nothing, when this budget or a wider one has no room.
    bool take(std::size_t bytes);
    void giveBack(std::size_t bytes);

    std::size_t held() const { return held_.load(std::memory_order_relaxed); }
    std::size_t limit() const { return limit_; }

private:
    const std::size_t limit_;
    const std::shared_ptr<WebReplyBudget> wider_;
    std::atomic<std::size_t> held_{0};
    std::atomic<std::size_t> takenSinceEmpty_{0};
};

}  // namespace ql::ui
