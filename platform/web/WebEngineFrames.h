#pragma once
// Splitting what the engine writes into its messages, one per NUL-terminated frame, as reads hand the bytes
// over (a read may end anywhere in a frame). Only messages the app takes are gathered: an event nobody
// listens for is passed over as soon as its head names it, and a message that grows past the bound is
// passed over once it reaches it; either way its bytes are dropped as they come, and the next message is
// read as usual. The engine writes the kind of a message first ("method" for an event, "id" for a reply),
// which is what its head is read for; a message whose head reads otherwise is gathered and left to the
// parser.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

namespace ql::ui {

class WebEngineFrames {
public:
    // Whether anyone listens for events of this method; asked once per event.
    using Listened = std::function<bool(std::string_view method)>;
    using FrameHandler = std::function<void(std::string_view frame)>;
    // The id of a reply passed over for its size, whose caller would otherwise wait for it in vain.
    using OversizedReplyHandler = std::function<void(std::uint64_t id)>;

    WebEngineFrames(std::size_t largestFrame, Listened listened, FrameHandler frame, OversizedReplyHandler oversized);

    void take(std::string_view bytes);

    // The bytes held for a message not yet whole, counted as reserved.
    std::size_t heldBytes() const { return partial_.capacity(); }

private:
    enum class Verdict { Undecided, Take, PassOver };
    // What the head tells of a frame whose first bytes these are (the frame's end among them or not).
    Verdict judge(std::string_view head, bool whole) const;
    void passOverOversized(std::string_view head);
    void endFrame();

    const std::size_t largestFrame_;
    const Listened listened_;
    const FrameHandler frame_;
    const OversizedReplyHandler oversized_;
    std::vector<char> partial_;
    Verdict verdict_ = Verdict::Undecided;
};

}  // namespace ql::ui
