#include "platform/net/LoadEventQueue.h"

namespace ql::ns {

bool isFinal(const LoadEvent& event) {
    return std::holds_alternative<load_event::Finished>(event) || std::holds_alternative<load_event::Failed>(event);
}

bool LoadEventQueue::wantsDeliveryNow() const {
    std::lock_guard lock(mutex_);
    return waitingBytes_ >= kDeliverAtOnceFrom;
}

// holdBack_ is called under the lock, so that holding back and letting go reach the load in the order
// they were decided; it only passes the word on and never calls back into the queue.
bool LoadEventQueue::push(LoadEvent event) {
    std::lock_guard lock(mutex_);
    const bool wasEmpty = events_.empty();
    if (auto* received = std::get_if<load_event::Received>(&event)) {
        waitingBytes_ += received->data.length();
        auto* last = events_.empty() ? nullptr : std::get_if<load_event::Received>(&events_.back());
        if (last && last->data.length() + received->data.length() <= kLargestJoinedPiece) {
            last->data.append(received->data);
        } else {
            events_.push_back(std::move(event));
        }
        if (!heldBack_ && waitingBytes_ > kHoldBackAbove) {
            heldBack_ = true;
            holdBack_(true);
        }
    } else {
        events_.push_back(std::move(event));
    }
    return wasEmpty;
}

std::optional<LoadEvent> LoadEventQueue::pop() {
    std::lock_guard lock(mutex_);
    if (events_.empty()) return std::nullopt;
    std::optional<LoadEvent> event(std::move(events_.front()));
    events_.pop_front();
    if (auto* received = std::get_if<load_event::Received>(&*event)) {
        waitingBytes_ -= received->data.length();
        if (heldBack_ && waitingBytes_ < kResumeBelow) {
            heldBack_ = false;
            holdBack_(false);
        }
    }
    return event;
}

void LoadEventQueue::clear() {
    // Destroyed after the lock is released; made only when there is something to drop, as an empty
    // queue allocates too.
    std::optional<std::deque<LoadEvent>> dropped;
    std::lock_guard lock(mutex_);
    waitingBytes_ = 0;
    if (events_.empty()) return;
    dropped.emplace();
    dropped->swap(events_);
}

bool LoadEventQueue::empty() const {
    std::lock_guard lock(mutex_);
    return events_.empty();
}

}  // namespace ql::ns
