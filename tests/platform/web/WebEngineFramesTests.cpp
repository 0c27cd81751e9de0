// The engine's messages are taken apart wherever reads end; what nobody listens for and what is too large
// is passed over without being gathered, and reading goes on after it.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/web/WebEngineFrames.h"

namespace ql {
namespace {

struct Taken {
    explicit Taken(std::size_t largestFrame)
        : frames(
              largestFrame, [](std::string_view method) { return method == "Page.frameNavigated"; },
              [this](std::string_view frame) { kept.emplace_back(frame); },
              [this](std::uint64_t id) { oversizedReplies.push_back(id); }) {}
    // Hands the bytes over in pieces of `piece` bytes, noting the most held meanwhile.
    void take(const std::string& bytes, std::size_t piece) {
        for (std::size_t at = 0; at < bytes.size(); at += piece) {
            frames.take(std::string_view(bytes).substr(at, piece));
            mostHeld = std::max(mostHeld, frames.heldBytes());
        }
    }
    ui::WebEngineFrames frames;
    std::vector<std::string> kept;
    std::vector<std::uint64_t> oversizedReplies;
    std::size_t mostHeld = 0;
};

std::string frame(const std::string& message) { return message + '\0'; }

TEST(WebEngineFrames, MessagesAreTakenWholeWhereverReadsEndAndOnlyWhatIsListenedForIsKept) {
    const std::string navigated = R"({"method":"Page.frameNavigated","params":{"frame":{"id":"F"}},"sessionId":"S"})";
    const std::string console = R"({"method":"Runtime.consoleAPICalled","params":{"args":[{"value":"a\u0000b"}]}})";
    const std::string reply = R"({"id":7,"result":{"title":"x"},"sessionId":"S"})";
    const std::string otherLayout = R"({"params":{},"method":"Runtime.consoleAPICalled"})";
    const std::string stream = frame(navigated) + frame(console) + frame(reply) + frame(otherLayout) + frame("{}") + frame(navigated);
    const std::vector<std::string> expected{navigated, reply, otherLayout, "{}", navigated};
    for (const std::size_t piece : {std::size_t{1}, std::size_t{2}, std::size_t{7}, std::size_t{40}, stream.size()}) {
        Taken taken(1 << 20);
        taken.take(stream, piece);
        EXPECT_EQ(taken.kept, expected) << piece;
        EXPECT_TRUE(taken.oversizedReplies.empty()) << piece;
    }
}

TEST(WebEngineFrames, WhatIsPassedOverIsNotGatheredAndReadingGoesOn) {
    constexpr std::size_t kBound = 4 << 20;
    const std::string small = R"({"id":1,"result":{}})";
    const std::string hugeConsole = R"({"method":"Runtime.consoleAPICalled","params":{"value":")" + std::string(3 * kBound, 'x') + "\"}}";
    const std::string hugeReply = R"({"id":42,"result":{"value":")" + std::string(kBound, 'y') + "\"}}";
    const std::string hugeEvent = R"({"method":"Page.frameNavigated","params":{"url":")" + std::string(kBound, 'z') + "\"}}";
    const std::string large = R"({"id":3,"result":{"value":")" + std::string(kBound / 2, 'w') + "\"}}";
    const std::string navigated = R"({"method":"Page.frameNavigated","params":{}})";

    // Heard of only by its head, the console message is dropped as it comes.
    Taken taken(kBound);
    taken.take(frame(hugeConsole), 64 * 1024);
    EXPECT_LT(taken.mostHeld, 1024u);
    // Past the bound, a reply is reported by its id, an event dropped; neither holds more than the bound.
    taken.take(frame(hugeReply) + frame(small) + frame(hugeEvent) + frame(navigated), 64 * 1024);
    EXPECT_LE(taken.mostHeld, kBound);
    EXPECT_EQ(taken.oversizedReplies, std::vector<std::uint64_t>{42});
    EXPECT_EQ(taken.kept, (std::vector<std::string>{small, navigated}));
    // One read holding a whole message past the bound is passed over just the same.
    taken.kept.clear();
    taken.take(frame(hugeReply) + frame(small), hugeReply.size() + small.size() + 2);
    EXPECT_EQ(taken.oversizedReplies, (std::vector<std::uint64_t>{42, 42}));
    EXPECT_EQ(taken.kept, std::vector<std::string>{small});

    // A large message within the bound is kept whole, and its buffer goes back once it is handed on.
    taken.kept.clear();
    taken.take(frame(large) + frame(small), 64 * 1024);
    ASSERT_EQ(taken.kept.size(), 2u);
    EXPECT_EQ(taken.kept[0], large);
    EXPECT_LT(taken.frames.heldBytes(), 1u << 20);
}

}  // namespace
}  // namespace ql
