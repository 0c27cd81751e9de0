#include "platform/web/WebReplyBudget.h"

#include <malloc.h>

namespace ql::ui {
namespace {

// What must have passed through the widest budget before its emptying is worth handing memory back for.
constexpr std::size_t kReturnMemoryAfter = std::size_t{16} << 20;

}  // namespace

bool WebReplyBudget::take(std::size_t bytes) {
    std::size_t held = held_.load(std::memory_order_relaxed);
    do {
        if (bytes > limit_ - held) return false;
    } while (!held_.compare_exchange_weak(held, held + bytes, std::memory_order_relaxed));
    if (wider_ && !wider_->take(bytes)) {
        held_.fetch_sub(bytes, std::memory_order_relaxed);
        return false;
    }
    if (!wider_) takenSinceEmpty_.fetch_add(bytes, std::memory_order_relaxed);
    return true;
}

void WebReplyBudget::giveBack(std::size_t bytes) {
    const std::size_t left = held_.fetch_sub(bytes, std::memory_order_relaxed) - bytes;
    if (wider_) {
        wider_->giveBack(bytes);
    } else if (left == 0 && takenSinceEmpty_.exchange(0, std::memory_order_relaxed) >= kReturnMemoryAfter) {
        malloc_trim(0);
    }
}

}  // namespace ql::ui
