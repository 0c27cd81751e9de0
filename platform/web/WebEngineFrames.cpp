#include "platform/web/WebEngineFrames.h"

#include <algorithm>
#include <charconv>
#include <optional>
#include <string>
#include <utility>

#include "platform/web/WebEngineFrameBuffer.h"

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

// The method an event's head names, once the head is long enough to name it whole.
std::optional<std::string_view> eventMethod(std::string_view head) {
    if (!head.starts_with(kEventHead)) return std::nullopt;
    const std::string_view name = head.substr(kEventHead.size());
    const std::size_t quote = name.find('"');
    if (quote == std::string_view::npos) return std::nullopt;
    return name.substr(0, quote);
}

std::string_view viewOf(const std::vector<char>& bytes) { return std::string_view(bytes.data(), bytes.size()); }

}  // namespace

WebEngineFrames::WebEngineFrames(std::size_t largestFrame, Listened listened, FrameHandler frame,
                                 OversizedReplyHandler oversizedReply, OversizedHeldEventHandler oversizedHeldEvent)
    : largestFrame_(largestFrame),
      listened_(std::move(listened)),
      frame_(std::move(frame)),
      oversizedReply_(std::move(oversizedReply)),
      oversizedHeldEvent_(std::move(oversizedHeldEvent)) {}

WebEngineFrames::Verdict WebEngineFrames::judge(std::string_view head, bool whole) const {
    if (!head.starts_with(kEventHead)) {
        const bool mayStillBeAnEvent = head.size() < kEventHead.size() && kEventHead.starts_with(head);
        return mayStillBeAnEvent && !whole ? Verdict::Undecided : Verdict::Take;
    }
    const auto method = eventMethod(head);
    if (!method) return whole || head.size() >= kHeadLength ? Verdict::Take : Verdict::Undecided;
    if (!listened_(*method)) return Verdict::PassOver;
    return WebEngineHeldEvent::holdsItsPage(*method) ? Verdict::Hold : Verdict::Take;
}

void WebEngineFrames::passOverOversized(std::string_view head) {
    verdict_ = Verdict::PassOver;
    if (const auto id = replyID(head)) oversizedReply_(*id);
}

void WebEngineFrames::take(std::string_view bytes) {
    while (!bytes.empty()) {
        const std::size_t nul = bytes.find('\0');
        const bool ends = nul != std::string_view::npos;
        const std::string_view piece = bytes.substr(0, ends ? nul : bytes.size());
        bytes.remove_prefix(ends ? nul + 1 : bytes.size());
        if (verdict_ == Verdict::Undecided && partial_.empty() && ends && piece.size() <= largestFrame_) {
            // Whole within one read: handed on from where it lies, unless it holds its page.
            const Verdict verdict = judge(piece, true);
            if (verdict != Verdict::Hold) {
                if (verdict == Verdict::Take) frame_(piece);
                endFrame();
                continue;
            }
        }
        gather(piece, ends);
        if (!ends) return;
        if (verdict_ == Verdict::Hold && held_->passedOver()) {
            oversizedHeldEvent_(*held_);
        } else if (verdict_ == Verdict::Take || verdict_ == Verdict::Hold) {
            frame_(viewOf(partial_));
        }
        endFrame();
    }
}

void WebEngineFrames::gather(std::string_view piece, bool ends) {
    if (verdict_ == Verdict::Undecided) {
        // The head is read first, whatever the bound: it tells what the rest is.
        const std::size_t headPart = std::min(piece.size(), kHeadLength - std::min(kHeadLength, partial_.size()));
        partial_.insert(partial_.end(), piece.begin(), piece.begin() + static_cast<std::ptrdiff_t>(headPart));
        piece.remove_prefix(headPart);
        verdict_ = judge(viewOf(partial_), ends && piece.empty());
        if (verdict_ == Verdict::PassOver) giveBack(partial_);
        if (verdict_ == Verdict::Hold) {
            const std::string head(viewOf(partial_));
            partial_.clear();
            held_.emplace(*eventMethod(head), largestFrame_);
            held_->take(head, partial_);
        }
    }
    switch (verdict_) {
        case Verdict::Undecided:
        case Verdict::PassOver: return;
        case Verdict::Hold: held_->take(piece, partial_); return;
        case Verdict::Take:
            if (partial_.size() + piece.size() > largestFrame_) {
                passOverOversized(viewOf(partial_));
                giveBack(partial_);
            } else {
                appendWithin(partial_, piece, largestFrame_);
            }
            return;
    }
}

void WebEngineFrames::endFrame() {
    verdict_ = Verdict::Undecided;
    held_.reset();
    if (partial_.capacity() > kKeptCapacity) {
        giveBack(partial_);
    } else {
        partial_.clear();
    }
}

}  // namespace ql::ui
