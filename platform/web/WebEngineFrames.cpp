#include "platform/web/WebEngineFrames.h"

#include <algorithm>
#include <charconv>
#include <optional>
#include <utility>

namespace ql::ui {
namespace {

constexpr std::string_view kEventHead = "{\"method\":\"";
constexpr std::string_view kReplyHead = "{\"id\":";
// Longer than any method's name with the event's head before it.
constexpr std::size_t kHeadLength = 128;
// A message's buffer serves the next one up to this size; a larger one is given back once its message ends.
constexpr std::size_t kKeptCapacity = std::size_t{1} << 20;

std::optional<std::uint64_t> replyID(std::string_view head) {
    if (!head.starts_with(kReplyHead)) return std::nullopt;
    head.remove_prefix(kReplyHead.size());
    std::uint64_t id = 0;
    const auto [end, failure] = std::from_chars(head.data(), head.data() + head.size(), id);
    if (failure != std::errc() || end == head.data()) return std::nullopt;
    return id;
}

void giveBack(std::vector<char>& buffer) { std::vector<char>().swap(buffer); }

}  // namespace

WebEngineFrames::WebEngineFrames(std::size_t largestFrame, Listened listened, FrameHandler frame,
                                 OversizedReplyHandler oversized)
    : largestFrame_(largestFrame), listened_(std::move(listened)), frame_(std::move(frame)), oversized_(std::move(oversized)) {}

WebEngineFrames::Verdict WebEngineFrames::judge(std::string_view head, bool whole) const {
    if (!head.starts_with(kEventHead)) {
        const bool mayStillBeAnEvent = head.size() < kEventHead.size() && kEventHead.starts_with(head);
        return mayStillBeAnEvent && !whole ? Verdict::Undecided : Verdict::Take;
    }
    const std::string_view name = head.substr(kEventHead.size());
    const std::size_t quote = name.find('"');
    if (quote == std::string_view::npos) return whole || head.size() >= kHeadLength ? Verdict::Take : Verdict::Undecided;
    return listened_(name.substr(0, quote)) ? Verdict::Take : Verdict::PassOver;
}

void WebEngineFrames::passOverOversized(std::string_view head) {
    verdict_ = Verdict::PassOver;
    if (const auto id = replyID(head)) oversized_(*id);
}

void WebEngineFrames::take(std::string_view bytes) {
    while (!bytes.empty()) {
        const std::size_t nul = bytes.find('\0');
        const bool ends = nul != std::string_view::npos;
        const std::string_view piece = bytes.substr(0, ends ? nul : bytes.size());
        bytes.remove_prefix(ends ? nul + 1 : bytes.size());
        if (verdict_ != Verdict::PassOver) {
            if (partial_.empty() && ends) {
                // Whole within one read: handed on from where it lies.
                if (piece.size() > largestFrame_) {
                    passOverOversized(piece);
                } else if (judge(piece, true) == Verdict::Take) {
                    frame_(piece);
                }
                endFrame();
                continue;
            }
            if (partial_.size() + piece.size() > largestFrame_) {
                passOverOversized(partial_.empty() ? piece : std::string_view(partial_.data(), partial_.size()));
                giveBack(partial_);
            } else {
                // Grown by doubling as usual, but never reserving beyond the bound.
                const std::size_t needed = partial_.size() + piece.size();
                if (needed > partial_.capacity()) partial_.reserve(std::min(std::max(needed, 2 * partial_.capacity()), largestFrame_));
                partial_.insert(partial_.end(), piece.begin(), piece.end());
                if (verdict_ == Verdict::Undecided) verdict_ = judge(std::string_view(partial_.data(), partial_.size()), ends);
                if (verdict_ == Verdict::PassOver) giveBack(partial_);
            }
        }
        if (!ends) return;
        if (verdict_ == Verdict::Take) frame_(std::string_view(partial_.data(), partial_.size()));
        endFrame();
    }
}

void WebEngineFrames::endFrame() {
    verdict_ = Verdict::Undecided;
    if (partial_.capacity() > kKeptCapacity) {
        giveBack(partial_);
    } else {
        partial_.clear();
    }
}

}  // namespace ql::ui
