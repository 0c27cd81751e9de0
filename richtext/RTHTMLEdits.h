#pragma once
// Changes to a document made in one pass from its start to its end: each replaces (or removes, or inserts at)
// a range that begins where the previous one ended or later. Nothing is copied until the first change, so a
// document that needs none costs no copy.

#include <cstddef>
#include <string>
#include <string_view>

namespace ql {

class RTHTMLEdits {
public:
    explicit RTHTMLEdits(std::string_view source) : source_(source) {}

    void replace(std::size_t from, std::size_t to, std::string_view text) {
        if (!changed_) {
            changed_ = true;
            result_.reserve(source_.size() + source_.size() / 8 + 64);
        }
        result_.append(source_.substr(copied_, from - copied_));
        result_.append(text);
        copied_ = to;
    }
    void insert(std::size_t at, std::string_view text) { replace(at, at, text); }
    void remove(std::size_t from, std::size_t to) { replace(from, to, {}); }

    // Where the next change may begin.
    std::size_t end() const { return copied_; }
    bool changed() const { return changed_; }
    // The changed document; only when something changed.
    std::string finish() {
        result_.append(source_.substr(copied_));
        copied_ = source_.size();
        return std::move(result_);
    }

private:
    std::string_view source_;
    std::string result_;
    std::size_t copied_ = 0;
    bool changed_ = false;
};

}  // namespace ql
