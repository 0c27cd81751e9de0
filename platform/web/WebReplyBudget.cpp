#include "platform/web/WebReplyBudget.h"

namespace ql::ui {

bool WebReplyBudget::take(std::size_t bytes) {
    std::size_t held = held_.load(std::memory_order_relaxed);
    do {
        if (bytes > limit_ - held) return false;
    } while (!held_.compare_exchange_weak(held, held + bytes, std::memory_order_relaxed));
    if (wider_ && !wider_->take(bytes)) {
        held_.fetch_sub(bytes, std::memory_order_relaxed);
        return false;
    }
    return true;
}

void WebReplyBudget::giveBack(std::size_t bytes) {
    held_.fetch_sub(bytes, std::memory_order_relaxed);
    if (wider_) wider_->giveBack(bytes);
}

}  // namespace ql::ui
