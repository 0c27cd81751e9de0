#pragma once
// ns::DictionaryKey: the key text of a dictionary entry. Dictionaries are made and copied far more often
// than their keys change (every attributed-text run carries one), and most keys are short names
// ("NSParagraphStyle", "CTForegroundColor"): a key of up to 23 bytes lives inside the key itself, and a
// longer one in one immutable heap text that every copy of the key shares. Either way it reads as text:
// it converts to std::string_view and std::string, compares with any text by bytes, and offers the
// reading members of std::string that code over dictionary entries uses.

#include <atomic>
#include <compare>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iosfwd>
#include <string>
#include <string_view>

namespace ql::ns {

class DictionaryKey {
public:
    // The longest key kept inside the key (one more byte holds the terminating NUL).
    static constexpr std::size_t inlineCapacity = 23;

    // A key of at most `fixedCopy` bytes whose text may be read that far from its start (a parser's padded
    // buffer) is copied at that fixed size, which needs no call. Only a ValueArena makes the tag, and the
    // key is made in place: a copy of it would read the bytes just written in pieces.
    static constexpr std::size_t fixedCopy = 16;
    class Padded {
        friend class ValueArena;
        Padded() = default;
    };
    DictionaryKey(Padded, const char* text, std::size_t size) noexcept : size_(static_cast<std::uint32_t>(size)), shared_(false) {
        std::memcpy(inline_, text, fixedCopy);
        inline_[size] = '\0';
    }

    DictionaryKey() noexcept : size_(0), shared_(false) { inline_[0] = '\0'; }
    // Keys are made, copied, moved and compared wherever attributes are: the common short forms take no call.
    DictionaryKey(std::string_view text) : size_(static_cast<std::uint32_t>(text.size())), shared_(false) {
        if (text.size() > inlineCapacity) {
            makeShared(text);
        } else {
            copyShort(inline_, text.data(), text.size());
            inline_[text.size()] = '\0';
        }
    }
    DictionaryKey(const char* text) : DictionaryKey(std::string_view(text)) {}
    DictionaryKey(const std::string& text) : DictionaryKey(std::string_view(text)) {}
    DictionaryKey(const DictionaryKey& other) noexcept : size_(other.size_), shared_(other.shared_) {
        std::memcpy(inline_, other.inline_, sizeof inline_);
        if (shared_) heap_->refs.fetch_add(1, std::memory_order_relaxed);
    }
    DictionaryKey(DictionaryKey&& other) noexcept : size_(other.size_), shared_(other.shared_) {
        std::memcpy(inline_, other.inline_, sizeof inline_);
        other.size_ = 0;
        other.shared_ = false;
        other.inline_[0] = '\0';
    }
    DictionaryKey& operator=(const DictionaryKey& other) noexcept {
        if (this != &other) {
            DictionaryKey copy(other);
            *this = std::move(copy);
        }
        return *this;
    }
    DictionaryKey& operator=(DictionaryKey&& other) noexcept {
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
    ~DictionaryKey() {
        if (shared_) release();
    }

    const char* data() const noexcept { return shared_ ? heap_->bytes() : inline_; }
    // Always NUL-terminated.
    const char* c_str() const noexcept { return data(); }
    std::size_t size() const noexcept { return size_; }
    std::size_t length() const noexcept { return size_; }
    bool empty() const noexcept { return size_ == 0; }
    std::string_view view() const noexcept { return {data(), size_}; }
    operator std::string_view() const noexcept { return view(); }
    operator std::string() const { return std::string(view()); }

    const char* begin() const noexcept { return data(); }
    const char* end() const noexcept { return data() + size_; }
    char operator[](std::size_t i) const noexcept { return data()[i]; }
    char front() const noexcept { return data()[0]; }
    char back() const noexcept { return data()[size_ - 1]; }
    bool starts_with(std::string_view prefix) const noexcept { return view().starts_with(prefix); }
    bool starts_with(char c) const noexcept { return view().starts_with(c); }
    bool ends_with(std::string_view suffix) const noexcept { return view().ends_with(suffix); }
    bool ends_with(char c) const noexcept { return view().ends_with(c); }
    std::size_t find(std::string_view text, std::size_t from = 0) const noexcept { return view().find(text, from); }
    std::size_t find(char c, std::size_t from = 0) const noexcept { return view().find(c, from); }
    std::size_t rfind(std::string_view text, std::size_t from = std::string_view::npos) const noexcept {
        return view().rfind(text, from);
    }
    std::size_t rfind(char c, std::size_t from = std::string_view::npos) const noexcept { return view().rfind(c, from); }
    // A copy, as std::string's substr gives one.
    std::string substr(std::size_t from = 0, std::size_t count = std::string_view::npos) const {
        return std::string(view().substr(from, count));
    }
    int compare(std::string_view other) const noexcept { return view().compare(other); }
    bool equals(std::string_view text) const noexcept {
        return size_ == text.size() && sameBytes(data(), text.data(), text.size());
    }

    // Byte order, as std::string orders.
    friend bool operator==(const DictionaryKey& a, const DictionaryKey& b) noexcept { return a.equals(b.view()); }
    friend bool operator==(const DictionaryKey& a, std::string_view b) noexcept { return a.equals(b); }
    friend bool operator==(const DictionaryKey& a, const char* b) noexcept { return a.equals(b); }
    friend bool operator==(const DictionaryKey& a, const std::string& b) noexcept { return a.equals(b); }
    friend std::strong_ordering operator<=>(const DictionaryKey& a, const DictionaryKey& b) noexcept {
        return a.view() <=> b.view();
    }
    friend std::strong_ordering operator<=>(const DictionaryKey& a, std::string_view b) noexcept { return a.view() <=> b; }
    friend std::strong_ordering operator<=>(const DictionaryKey& a, const char* b) noexcept {
        return a.view() <=> std::string_view(b);
    }
    friend std::strong_ordering operator<=>(const DictionaryKey& a, const std::string& b) noexcept {
        return a.view() <=> std::string_view(b);
    }

    friend std::string operator+(const DictionaryKey& a, std::string_view b) { return concatenate(a.view(), b); }
    friend std::string operator+(std::string_view a, const DictionaryKey& b) { return concatenate(a, b.view()); }
    friend std::string operator+(const DictionaryKey& a, const char* b) { return concatenate(a.view(), b); }
    friend std::string operator+(const char* a, const DictionaryKey& b) { return concatenate(a, b.view()); }
    friend std::string operator+(const DictionaryKey& a, const std::string& b) { return concatenate(a.view(), b); }
    friend std::string operator+(const std::string& a, const DictionaryKey& b) { return concatenate(a, b.view()); }
    friend std::string operator+(const DictionaryKey& a, char b) { return concatenate(a.view(), std::string_view(&b, 1)); }
    friend std::string operator+(char a, const DictionaryKey& b) { return concatenate(std::string_view(&a, 1), b.view()); }
    friend std::string operator+(const DictionaryKey& a, const DictionaryKey& b) { return concatenate(a.view(), b.view()); }
    friend std::ostream& operator<<(std::ostream& out, const DictionaryKey& key);

private:
    // A long key's text, shared by every copy of the key and never changed.
    struct Heap {
        std::atomic<std::uint32_t> refs;
        const char* bytes() const noexcept { return reinterpret_cast<const char*>(this + 1); }
    };

    static std::string concatenate(std::string_view a, std::string_view b);
    void makeShared(std::string_view text);
    void release() noexcept;

    // Short texts are copied and compared in at most two overlapping pieces of a fixed size, each of
    // which the compiler does in one or two moves: a key takes no call to memcpy or memcmp.
    template <std::size_t piece>
    static bool samePieces(const char* a, const char* b, std::size_t size) noexcept {
        return std::memcmp(a, b, piece) == 0 && std::memcmp(a + size - piece, b + size - piece, piece) == 0;
    }
    static bool sameBytes(const char* a, const char* b, std::size_t size) noexcept {
        if (size >= 8) return size <= 16 ? samePieces<8>(a, b, size) : std::memcmp(a, b, size) == 0;
        if (size >= 4) return samePieces<4>(a, b, size);
        return size == 0 || (a[0] == b[0] && a[size / 2] == b[size / 2] && a[size - 1] == b[size - 1]);
    }
    template <std::size_t piece>
    static void copyPieces(char* to, const char* from, std::size_t size) noexcept {
        std::memcpy(to, from, piece);
        std::memcpy(to + size - piece, from + size - piece, piece);
    }
    // At most inlineCapacity bytes.
    static void copyShort(char* to, const char* from, std::size_t size) noexcept {
        if (size >= 8) return size >= 16 ? copyPieces<16>(to, from, size) : copyPieces<8>(to, from, size);
        if (size >= 4) return copyPieces<4>(to, from, size);
        if (size == 0) return;
        to[0] = from[0];
        to[size / 2] = from[size / 2];
        to[size - 1] = from[size - 1];
    }

    union {
        char inline_[inlineCapacity + 1];
        Heap* heap_;
    };
    std::uint32_t size_;
    bool shared_;
};

}  // namespace ql::ns
