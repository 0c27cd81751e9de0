#include "platform/web/WebReplyBody.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstring>

#include "platform/foundation/Base64.h"

namespace ql::ui {

WebReplyBody::~WebReplyBody() { clear(); }

void WebReplyBody::clear() {
    for (std::uint8_t* chunk : chunks_) munmap(chunk, kChunkSize);
    chunks_.clear();
    budget_->giveBack(length_);
    length_ = 0;
}

bool WebReplyBody::append(std::span<const std::uint8_t> bytes) {
    if (!budget_->take(bytes.size())) return false;
    const std::size_t chunksNeeded = (length_ + bytes.size() + kChunkSize - 1) / kChunkSize;
    while (chunks_.size() < chunksNeeded) {
        void* chunk = mmap(nullptr, kChunkSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (chunk == MAP_FAILED) {
            budget_->giveBack(bytes.size());
            return false;
        }
        chunks_.push_back(static_cast<std::uint8_t*>(chunk));
    }
    while (!bytes.empty()) {
        const std::size_t offset = length_ % kChunkSize;
        const std::size_t count = std::min(bytes.size(), kChunkSize - offset);
        std::memcpy(chunks_[length_ / kChunkSize] + offset, bytes.data(), count);
        length_ += count;
        bytes = bytes.subspan(count);
    }
    return true;
}

std::string WebReplyBody::base64EncodedString() const {
    std::string text;
    text.reserve((length_ + 2) / 3 * 4);
    for (std::size_t at = 0; at < length_; at += kChunkSize) {
        text += ns::base64EncodedString(std::span<const std::uint8_t>(chunks_[at / kChunkSize], std::min(kChunkSize, length_ - at)));
    }
    return text;
}

ns::Data WebReplyBody::data() const {
    ns::Data whole;
    whole.setLength(length_);
    for (std::size_t at = 0; at < length_; at += kChunkSize) {
        std::memcpy(whole.mutableBytes() + at, chunks_[at / kChunkSize], std::min(kChunkSize, length_ - at));
    }
    return whole;
}

}  // namespace ql::ui
