#include "platform/foundation/DictionaryKey.h"

#include <cstring>
#include <new>
#include <ostream>
#include <stdexcept>

namespace ql::ns {

void DictionaryKey::makeShared(std::string_view text) {
    if (text.size() > UINT32_MAX) throw std::length_error("dictionary key too long");
    heap_ = new (::operator new(sizeof(Heap) + text.size() + 1)) Heap{1};
    char* bytes = const_cast<char*>(heap_->bytes());
    std::memcpy(bytes, text.data(), text.size());
    bytes[text.size()] = '\0';
    shared_ = true;
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
