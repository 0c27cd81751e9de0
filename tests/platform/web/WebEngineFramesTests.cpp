// The engine's messages are taken apart wherever reads end; what nobody listens for and what is too large
// is passed over without being gathered, and reading goes on after it. An event that holds its page is kept
// within the bound by leaving the page's data out, and one passed over all the same is told of by its ids.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/foundation/JSONSerialization.h"
#include "platform/web/WebEngineFields.h"
#include "platform/web/WebEngineFrames.h"

namespace ql {
namespace {

struct Taken {
    explicit Taken(std::size_t largestFrame)
        : frames(
              largestFrame,
              [](std::string_view method) {
                  return method == "Page.frameNavigated" || method == "Fetch.requestPaused" || method == "Page.javascriptDialogOpening";
              },
              [this](std::string_view frame) { kept.emplace_back(frame); },
              [this](std::uint64_t id) { oversizedReplies.push_back(id); },
              [this](const ui::WebEngineHeldEvent& event) {
                  oversizedHeldEvents.push_back(event.method() + " " + event.session() + " " + event.requestID());
              }) {}
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
    std::vector<std::string> oversizedHeldEvents;
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

// A held request's event as the engine writes it, with the given header fields and body entries' texts.
std::string pausedRequest(const std::string& headers, const std::string& text, const std::vector<std::string>& entries,
                          const std::string& id = "interception-job-7.0") {
    std::string list;
    for (const auto& entry : entries) list += (list.empty() ? "" : ",") + entry;
    return R"({"method":"Fetch.requestPaused","params":{"requestId":")" + id +
           R"(","request":{"url":"http://127.0.0.1/echo","method":"POST","headers":{)" + headers + R"(},"postData":")" +
           text + R"(","hasPostData":true,"postDataEntries":[)" + list +
           R"(],"initialPriority":"High"},"frameId":"F1","resourceType":"XHR","networkId":"N1"},"sessionId":"S1"})";
}

std::string entry(const std::string& base64) { return R"({"bytes":")" + base64 + "\"}"; }

ns::Value parsed(const std::string& frame) { return ns::JSONSerialization::JSONObjectWithData(ns::Data(frame), 0, nullptr); }

const ns::Dictionary& requestOf(const ns::Value& message) {
    return ui::fieldsOf(ui::fieldsOf(ui::fieldsOf(message)["params"])["request"]);
}

TEST(WebEngineFrames, AHeldRequestKeepsItsBodyEntriesAndLeavesItsTextOut) {
    // Quotes, backslashes and the names of the fields left out inside texts, wherever reads end.
    const std::string headers = R"("postData":"a\"postData\":\"b","X-Tail":"c\\")";
    const std::string text = R"(\"postData\":\"x\\\"\u00e9\ufffd\\\\\\\\\"\\\\)";
    const std::string message = pausedRequest(headers, text, {entry("AAEC"), R"({"bytes":""})", entry("/w==")});
    const std::string navigated = R"({"method":"Page.frameNavigated","params":{}})";
    for (const std::size_t piece : {std::size_t{1}, std::size_t{2}, std::size_t{5}, std::size_t{64}, std::size_t{4096}}) {
        Taken taken(1 << 20);
        taken.take(frame(message) + frame(navigated), piece);
        ASSERT_EQ(taken.kept.size(), 2u) << piece;
        EXPECT_EQ(taken.kept[1], navigated) << piece;
        const ns::Value kept = parsed(taken.kept[0]);
        const auto& request = requestOf(kept);
        EXPECT_TRUE(request["postData"].isNull()) << piece;
        EXPECT_EQ(ui::fieldsOf(request["headers"])["postData"].stringValue(), "a\"postData\":\"b") << piece;
        EXPECT_EQ(ui::fieldsOf(request["headers"])["X-Tail"].stringValue(), "c\\") << piece;
        const auto* entries = request["postDataEntries"].asArray();
        ASSERT_TRUE(entries) << piece;
        ASSERT_EQ(entries->size(), 3u) << piece;
        EXPECT_EQ(ui::textField(ui::fieldsOf((*entries)[0]), "bytes"), "AAEC") << piece;
        EXPECT_EQ(ui::textField(ui::fieldsOf((*entries)[1]), "bytes"), "") << piece;
        EXPECT_EQ(ui::textField(ui::fieldsOf((*entries)[2]), "bytes"), "/w==") << piece;
        EXPECT_EQ(ui::textField(ui::fieldsOf(ui::fieldsOf(kept)["params"]), "networkId"), "N1") << piece;
        EXPECT_EQ(ui::textField(ui::fieldsOf(kept), "sessionId"), "S1") << piece;
        EXPECT_TRUE(taken.oversizedHeldEvents.empty()) << piece;
    }
}

TEST(WebEngineFrames, AHeldRequestPastTheBoundLeavesItsBodyOutOrIsToldOfByItsIDs) {
    constexpr std::size_t kBound = 1 << 20;
    const std::string small = R"({"id":1,"result":{}})";
    // Bodies that fit are kept; from the one that would pass the bound on, each is left out.
    const std::string fits(kBound / 4, 'A');
    const std::string tooMuch(kBound, 'B');
    const std::string bodies = pausedRequest(R"("A":"1")", std::string(3 * kBound, 'x'), {entry(fits), entry(tooMuch), entry("AAAA")});
    // Header fields past the bound on their own cannot be left out: the event is passed over.
    const std::string headers = pausedRequest(R"("A":")" + std::string(2 * kBound, 'h') + "\"", "", {}, "interception-job-9.0");
    // A dialog's texts are cut as they come; its address is not.
    const std::string dialog = R"({"method":"Page.javascriptDialogOpening","params":{"url":"http://127.0.0.1/)" +
                               std::string(2 * kBound, 'u') + R"(","message":"q","type":"prompt","defaultPrompt":"d"},"sessionId":"S2"})";
    Taken taken(kBound);
    taken.take(frame(bodies) + frame(small) + frame(headers) + frame(small) + frame(dialog) + frame(small), 64 * 1024);
    EXPECT_LE(taken.mostHeld, kBound);
    ASSERT_EQ(taken.kept.size(), 4u);
    const ns::Value kept = parsed(taken.kept[0]);
    const auto& request = requestOf(kept);
    const auto* entries = request["postDataEntries"].asArray();
    ASSERT_TRUE(entries);
    ASSERT_EQ(entries->size(), 3u);
    EXPECT_EQ(ui::textField(ui::fieldsOf((*entries)[0]), "bytes"), fits);
    EXPECT_TRUE(ui::fieldsOf((*entries)[1])["bytes"].isNull());
    EXPECT_TRUE(ui::fieldsOf((*entries)[2])["bytes"].isNull());
    EXPECT_EQ(ui::textField(request, "url"), "http://127.0.0.1/echo");
    EXPECT_EQ(ui::textField(ui::fieldsOf(ui::fieldsOf(kept)["params"]), "frameId"), "F1");
    EXPECT_EQ(ui::textField(ui::fieldsOf(kept), "sessionId"), "S1");
    EXPECT_EQ(taken.kept[1], small);
    EXPECT_EQ(taken.kept[2], small);
    EXPECT_EQ(taken.kept[3], small);
    EXPECT_EQ(taken.oversizedHeldEvents, (std::vector<std::string>{"Fetch.requestPaused S1 interception-job-9.0",
                                                                    "Page.javascriptDialogOpening S2 "}));
}

// A dialog as the engine writes it, with the given texts (as written in JSON).
std::string dialogOpening(const std::string& message, const std::string& defaultPrompt) {
    return R"({"method":"Page.javascriptDialogOpening","params":{"url":"http://127.0.0.1/","frameId":"F","message":")" + message +
           R"(","type":"prompt","hasBrowserHandler":false,"defaultPrompt":")" + defaultPrompt + R"("},"sessionId":"S3"})";
}

std::string times(std::size_t count, const std::string& piece) {
    std::string all;
    for (std::size_t i = 0; i < count; ++i) all += piece;
    return all;
}

TEST(WebEngineFrames, ADialogsTextsAreCutToTheirFirstUnitsNeverInsideACharacter) {
    constexpr std::size_t kLimit = ui::WebEngineHeldEvent::kLongestDialogText;
    const std::string smile = "\U0001F600";
    const struct {
        std::string written;
        std::string read;
    } cases[] = {
        {"short \\u00e9 \\\"quoted\\\"", "short \u00e9 \"quoted\""},
        {std::string(2 * kLimit, 'd'), std::string(kLimit, 'd')},
        // Every character beyond ASCII escaped, as the engine writes it; escapes of one character.
        {times(kLimit + 5, "\\u00e9"), times(kLimit, "\u00e9")},
        {times(kLimit + 3, "\\\""), std::string(kLimit, '"')},
        {times(kLimit / 2 + 3, "\\\\\\n"), times(kLimit / 2, "\\\n")},
        // A pair of surrogates is kept whole or not at all.
        {std::string(kLimit - 1, 'a') + "\\ud83d\\ude00b", std::string(kLimit - 1, 'a')},
        {std::string(kLimit - 2, 'a') + "\\ud83d\\ude00b", std::string(kLimit - 2, 'a') + smile},
        // Written as UTF-8 bytes, which JSON allows as well: characters of three bytes, of four (two units).
        {times(kLimit + 1, "\u4e2d"), times(kLimit, "\u4e2d")},
        {"a" + times(kLimit / 2, smile), "a" + times(kLimit / 2 - 1, smile)},
    };
    for (const auto& each : cases) {
        const std::string written = dialogOpening(each.written, each.written);
        for (const std::size_t piece : {std::size_t{1}, std::size_t{5}, std::size_t{4096}}) {
            SCOPED_TRACE(each.read.substr(0, 20) + " in pieces of " + std::to_string(piece));
            Taken taken(1 << 20);
            taken.take(frame(written) + frame(R"({"id":1,"result":{}})"), piece);
            ASSERT_EQ(taken.kept.size(), 2u);
            const ns::Value kept = parsed(taken.kept[0]);
            const auto& params = ui::fieldsOf(ui::fieldsOf(kept)["params"]);
            EXPECT_EQ(ui::textField(params, "defaultPrompt"), each.read);
            EXPECT_EQ(ui::textField(params, "message"), each.read);
            EXPECT_EQ(ui::textField(params, "type"), "prompt");
            EXPECT_EQ(ui::textField(params, "url"), "http://127.0.0.1/");
        }
    }

    // A default text far past the bound is cut all the same: the dialog is kept, within a little of its cut.
    Taken taken(1 << 20);
    taken.take(frame(dialogOpening("q", times(std::size_t{8} << 20, "\\u00e9"))), 64 * 1024);
    ASSERT_EQ(taken.kept.size(), 1u);
    const ns::Value kept = parsed(taken.kept[0]);
    EXPECT_EQ(ui::textField(ui::fieldsOf(ui::fieldsOf(kept)["params"]), "defaultPrompt"), times(kLimit, "\u00e9"));
    EXPECT_LT(taken.mostHeld, std::size_t{256} << 10);
    EXPECT_TRUE(taken.oversizedHeldEvents.empty());
}

}  // namespace
}  // namespace ql
