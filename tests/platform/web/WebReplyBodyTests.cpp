// Replies gathered for pages: each level of their budget grants bytes only when every wider level has room,
// and a body holds its bytes in chunks that come out whole, as one piece or as Base64, wherever they end.

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/Base64.h"
#include "platform/web/WebReplyBody.h"
#include "platform/web/WebReplyBudget.h"

namespace ql {
namespace {

using ui::WebReplyBody;
using ui::WebReplyBudget;

std::vector<std::uint8_t> patterned(std::size_t size) {
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
    return bytes;
}

TEST(WebReplyBudget, BytesAreGrantedOnlyWhenEveryLevelHasRoomAndGoBackToEvery) {
    auto all = std::make_shared<WebReplyBudget>(100);
    auto view = std::make_shared<WebReplyBudget>(60, all);
    auto otherView = std::make_shared<WebReplyBudget>(60, all);
    WebReplyBudget reply(50, view);

    EXPECT_TRUE(reply.take(50));
    EXPECT_FALSE(reply.take(1)) << "past the reply's own bound";
    EXPECT_TRUE(view->take(10));
    EXPECT_FALSE(view->take(1)) << "past the view's";
    EXPECT_TRUE(otherView->take(40));
    EXPECT_FALSE(otherView->take(1)) << "past what every view shares";
    EXPECT_EQ(all->held(), 100u);
    // A refusal takes nothing from any level.
    EXPECT_EQ(view->held(), 60u);
    EXPECT_EQ(otherView->held(), 40u);

    reply.giveBack(50);
    EXPECT_EQ(view->held(), 10u);
    EXPECT_EQ(all->held(), 50u);
    EXPECT_TRUE(otherView->take(20));
    EXPECT_EQ(all->held(), 70u);
}

TEST(WebReplyBody, ChunksComeOutWholeAndTheirBytesGoBackToTheBudget) {
    constexpr std::size_t kChunk = WebReplyBody::kChunkSize;
    auto view = std::make_shared<WebReplyBudget>(4 * kChunk);
    for (const std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{2}, kChunk - 1, kChunk, kChunk + 1, 2 * kChunk + 2}) {
        const auto bytes = patterned(size);
        const ns::Data whole(bytes.data(), bytes.size());
        {
            WebReplyBody body(std::make_shared<WebReplyBudget>(3 * kChunk, view));
            // In pieces that straddle the chunks' ends.
            for (std::size_t at = 0; at < size; at += 100'003) {
                ASSERT_TRUE(body.append(std::span(bytes).subspan(at, std::min<std::size_t>(100'003, size - at)))) << size;
            }
            EXPECT_EQ(body.length(), size);
            EXPECT_EQ(view->held(), size);
            EXPECT_EQ(body.data(), whole) << size;
            const std::string text = body.base64EncodedString();
            EXPECT_EQ(text, ns::base64EncodedString(whole)) << size;
            EXPECT_EQ(ns::dataWithBase64EncodedString(text), whole) << size;
        }
        EXPECT_EQ(view->held(), 0u) << size;
    }

    // Past its budget a body takes none of the bytes offered, keeps what it had, and lets go of all when told.
    WebReplyBody body(std::make_shared<WebReplyBudget>(kChunk, view));
    const auto bytes = patterned(kChunk);
    ASSERT_TRUE(body.append(std::span(bytes).first(kChunk - 10)));
    EXPECT_FALSE(body.append(std::span(bytes).first(11)));
    EXPECT_EQ(body.length(), kChunk - 10);
    EXPECT_EQ(view->held(), kChunk - 10);
    body.clear();
    EXPECT_EQ(body.length(), 0u);
    EXPECT_EQ(view->held(), 0u);
    EXPECT_TRUE(body.append(std::span(bytes).first(3)));
    EXPECT_EQ(body.base64EncodedString(), ns::base64EncodedString(ns::Data(bytes.data(), 3)));
}

}  // namespace
}  // namespace ql
