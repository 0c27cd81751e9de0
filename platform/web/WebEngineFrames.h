#pragma once
// Splitting what the engine writes into its messages, one per NUL-terminated frame, as reads hand the bytes
// over (a read may end anywhere in a frame). Only messages the app takes are gathered: an event nobody
// listens for is passed over as soon as its head names it, and a message that grows past the bound is
// passed over once it reaches it; either way its bytes are dropped as they come, and the next message is
// read as usual. The engine writes the kind of a message first ("method" for an event, "id" for a reply),
// which is what its head is read for; a message whose head reads otherwise is gathered and left to the
// parser. An event that holds its page until answered is gathered as WebEngineHeldEvent keeps it, and is
// told of by its ids should it be passed over all the same.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/web/WebEngineHeldEvent.h"

namespace ql::ui {

class WebEngineFrames {
public:
    // Whether anyone listens for events of this method; asked once per event.
    using Listened = std::function<bool(std::string_view method)>;
    using FrameHandler = std::function<void(std::string_view frame)>;
    // The id of a reply passed over for its size, whose caller would otherwise wait for it in vain.
    using OversizedReplyHandler = std::function<void(std::uint64_t id)>;
    // An event holding its page that was passed over for its size, whose page would otherwise wait for ever.
    using OversizedHeldEventHandler = std::function<void(const WebEngineHeldEvent& event)>;

    WebEngineFrames(std::size_t largestFrame, Listened listened, FrameHandler frame, OversizedReplyHandler oversizedReply,
                    OversizedHeldEventHandler oversizedHeldEvent);

    void take(std::string_view bytes);

    // The bytes held for a message not yet whole, counted as reserved.
    std::size_t heldBytes() const { return partial_.capacity(); }

private:
    enum class Verdict { Undecided, Take, Hold, PassOver };
    // What the head tells of a frame whose first bytes these are (the frame's end among them or not).
    Verdict judge(std::string_view head, bool whole) const;
    void gather(std::string_view piece, bool ends);
    void passOverOversized(std::string_view head);
    void endFrame();

    const std::size_t largestFrame_;
    const Listened listened_;
    const FrameHandler frame_;
    const OversizedReplyHandler oversizedReply_;
    const OversizedHeldEventHandler oversizedHeldEvent_;
    std::vector<char> partial_;
    Verdict verdict_ = Verdict::Undecided;
    std::optional<WebEngineHeldEvent> held_;
};

}  // namespace ql::ui
