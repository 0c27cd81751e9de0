#pragma once
// A reply's body as it is gathered for a page, counted against a budget for as long as it is held. It grows
// in chunks mapped from the system one by one rather than in one buffer copied into ever larger ones: a
// body given up or handed on returns its memory to the system at once, however large it grew, and many
// bodies growing side by side leave no heap behind them in pieces too small to give back.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/foundation/Data.h"
#include "platform/web/WebReplyBudget.h"

namespace ql::ui {

class WebReplyBody {
public:
    // A multiple of three, so that each whole chunk is Base64-encoded on its own.
    static constexpr std::size_t kChunkSize = std::size_t{3} << 18;

    explicit WebReplyBody(std::shared_ptr<WebReplyBudget> budget) : budget_(std::move(budget)) {}
    WebReplyBody(const WebReplyBody&) = delete;
    WebReplyBody& operator=(const WebReplyBody&) = delete;
    ~WebReplyBody();

    // Adds the bytes; false, adding none, when the budget (or the system) has no room for them.
    bool append(std::span<const std::uint8_t> bytes);

    // Lets go of every byte at once, giving back its share of the budget.
    void clear();

    std::size_t length() const { return length_; }
    std::string base64EncodedString() const;
    // The bytes in one piece.
    ns::Data data() const;

private:
    std::shared_ptr<WebReplyBudget> budget_;
    std::vector<std::uint8_t*> chunks_;
    std::size_t length_ = 0;
};

}  // namespace ql::ui
