#include "platform/foundation/DictionaryKey.h"

#include <cstring>
#include <new>
#include <ostream>
#include <stdexcept>

namespace ql::ns {

DictionaryKey::DictionaryKey(std::string_view text) {
    if (text.size() > UINT32_MAX) throw std::length_error("dictionary key too long");
    size_ = static_cast<std::uint32_t>(text.size());
    shared_ = text.size() > inlineCapacity;
    char* bytes = inline_;
    if (shared_) {
        heap_ = new (::operator new(sizeof(Heap) + text.size() + 1)) Heap{1};
        bytes = const_cast<char*>(heap_->bytes());
    }
    if (!text.empty()) std::memcpy(bytes, text.data(), text.size());
    bytes[text.size()] = '\0';
}

DictionaryKey::DictionaryKey(const DictionaryKey& other) noexcept : size_(other.size_), shared_(other.shared_) {
    if (shared_) {
        heap_ = other.heap_;
        heap_->refs.fetch_add(1, std::memory_order_relaxed);
    } else {
        std::memcpy(inline_, other.inline_, sizeof inline_);
    }
}

DictionaryKey::DictionaryKey(DictionaryKey&& other) noexcept : size_(other.size_), shared_(other.shared_) {
    std::memcpy(inline_, other.inline_, sizeof inline_);
    other.size_ = 0;
    other.shared_ = false;
    other.inline_[0] = '\0';
}

DictionaryKey& DictionaryKey::operator=(const DictionaryKey& other) noexcept {
    if (this != &other) {
        DictionaryKey copy(other);
        *this = std::move(copy);
    }
    return *this;
}

DictionaryKey& DictionaryKey::operator=(DictionaryKey&& other) noexcept {
    if (this != &other) {
        if (shared_) release();
        std::memcpy(inline_, other.inline_, sizeof inline_);
        size_ = other.size_;
        shared_ = other.shared_;
        other.size_ = 0;
        other.shared_ = false;
        other.inline_[0] = '\0';
    }
    return *this;
}

void DictionaryKey::release() noexcept {
    // A sole holder needs no atomic decrement: no one else can be copying the text meanwhile.
    if (heap_->refs.load(std::memory_order_acquire) == 1 || heap_->refs.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        heap_->~Heap();
        ::operator delete(heap_);
    }
}

std::string DictionaryKey::concatenate(std::string_view a, std::string_view b) {
    std::string out;
    out.reserve(a.size() + b.size());
    out += a;
    out += b;
    return out;
}

std::ostream& operator<<(std::ostream& out, const DictionaryKey& key) { return out << key.view(); }

}  // namespace ql::ns
