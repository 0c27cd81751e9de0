#include "platform/foundation/Data.h"

#include <algorithm>
#include <cstring>

namespace ql::ns {

Data::Data(const void* bytes, std::size_t length) {
    if (length > 0) {
        auto* p = static_cast<const std::uint8_t*>(bytes);
        bytes_ = std::make_shared<std::vector<std::uint8_t>>(p, p + length);
    }
}

Data::Data(std::vector<std::uint8_t> bytes) {
    if (!bytes.empty()) bytes_ = std::make_shared<std::vector<std::uint8_t>>(std::move(bytes));
}

Data::Data(std::string_view bytes) : Data(bytes.data(), bytes.size()) {}

Data::Data(std::shared_ptr<std::vector<std::uint8_t>> storage) {
    if (storage && !storage->empty()) bytes_ = std::move(storage);
}

Data::Data(std::shared_ptr<const std::uint8_t> bytes, std::size_t length) {
    if (bytes && length > 0) {
        shared_ = std::move(bytes);
        sharedLength_ = length;
    }
}

const std::uint8_t* Data::bytes() const {
    static constexpr std::uint8_t empty[1] = {0};
    if (shared_) return shared_.get();
    return bytes_ && !bytes_->empty() ? bytes_->data() : empty;
}

std::size_t Data::length() const { return shared_ ? sharedLength_ : bytes_ ? bytes_->size() : 0; }

std::vector<std::uint8_t>& Data::detach() {
    if (shared_) {
        bytes_ = std::make_shared<std::vector<std::uint8_t>>(shared_.get(), shared_.get() + sharedLength_);
        shared_.reset();
        sharedLength_ = 0;
    } else if (!bytes_) {
        bytes_ = std::make_shared<std::vector<std::uint8_t>>();
    } else if (bytes_.use_count() > 1) {
        bytes_ = std::make_shared<std::vector<std::uint8_t>>(*bytes_);
    }
    return *bytes_;
}

std::uint8_t* Data::mutableBytes() { return detach().data(); }

void Data::append(const void* bytes, std::size_t length) {
    if (length == 0) return;
    auto& v = detach();
    auto* p = static_cast<const std::uint8_t*>(bytes);
    v.insert(v.end(), p, p + length);
}

void Data::setLength(std::size_t length) { detach().resize(length, 0); }

void Data::replaceBytes(std::size_t location, std::size_t length, const void* bytes, std::size_t newLength) {
    auto& v = detach();
    location = std::min(location, v.size());
    length = std::min(length, v.size() - location);
    auto* p = static_cast<const std::uint8_t*>(bytes);
    auto at = v.erase(v.begin() + static_cast<std::ptrdiff_t>(location),
                      v.begin() + static_cast<std::ptrdiff_t>(location + length));
    v.insert(at, p, p + newLength);
}

Data Data::subdata(std::size_t location, std::size_t length) const {
    std::size_t size = this->length();
    location = std::min(location, size);
    length = std::min(length, size - location);
    return Data(bytes() + location, length);
}

bool Data::operator==(const Data& other) const {
    return length() == other.length() && std::memcmp(bytes(), other.bytes(), length()) == 0;
}

int Data::compare(const Data& other) const {
    std::size_t common = std::min(length(), other.length());
    int c = common ? std::memcmp(bytes(), other.bytes(), common) : 0;
    if (c != 0) return c < 0 ? -1 : 1;
    if (length() == other.length()) return 0;
    return length() < other.length() ? -1 : 1;
}

std::string Data::description() const {
    static constexpr char hex[] = "0123456789abcdef";
    std::string out = "<";
    const std::uint8_t* p = bytes();
    for (std::size_t i = 0; i < length(); ++i) {
        if (i > 0 && i % 4 == 0) out += ' ';
        out += hex[p[i] >> 4];
        out += hex[p[i] & 0xf];
    }
    out += '>';
    return out;
}

}  // namespace ql::ns
