#include <gtest/gtest.h>

#include <thread>

#include "platform/foundation/MemoryWarning.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/net/ReceivedPiecePool.h"

using namespace ql::ns;

namespace {

void fill(ReceivedPiecePool::Buffer& buffer, std::size_t length, std::uint8_t seed) {
    for (std::size_t i = 0; i < length; ++i) buffer.push_back(static_cast<std::uint8_t>(seed + i));
}

}  // namespace

TEST(ReceivedPiecePoolTests, LargePiecesLendTheirBufferUntilTheLastCopyGoes) {
    auto pool = std::make_shared<ReceivedPiecePool>(1024, 2);
    auto buffer = pool->take();
    ASSERT_TRUE(buffer);
    EXPECT_TRUE(buffer->empty());
    EXPECT_GE(buffer->capacity(), 1024u);
    fill(*buffer, 600, 7);
    const std::uint8_t* storage = buffer->data();
    Data piece = pool->hand(buffer);
    EXPECT_FALSE(buffer);  // went with the piece
    ASSERT_EQ(piece.length(), 600u);
    EXPECT_EQ(piece.bytes(), storage);  // not copied
    EXPECT_EQ(piece.bytes()[599], static_cast<std::uint8_t>(7 + 599));

    Data copy = piece;
    piece = Data();
    EXPECT_EQ(pool->keptBufferCount(), 0u);  // a copy still reads it
    // A change detaches the changer; the piece's bytes stay as they were for the other copies.
    Data changed = copy;
    changed.mutableBytes()[0] = 0;
    EXPECT_EQ(copy.bytes()[0], 7);
    changed = Data();
    copy = Data();
    EXPECT_EQ(pool->keptBufferCount(), 1u);
    auto again = pool->take();
    EXPECT_EQ(again->data(), storage);  // the warm one
    EXPECT_TRUE(again->empty());

    // A piece whose last copy goes on another thread comes back too, and one that outlives its pool is freed.
    fill(*again, 1000, 1);
    Data elsewhere = pool->hand(again);
    std::thread([moved = std::move(elsewhere)]() mutable { moved = Data(); }).join();
    EXPECT_EQ(pool->keptBufferCount(), 1u);
    auto last = pool->take();
    fill(*last, 900, 2);
    Data outliving = pool->hand(last);
    pool.reset();
    EXPECT_EQ(outliving.bytes()[899], static_cast<std::uint8_t>(2 + 899));
}

TEST(ReceivedPiecePoolTests, SmallPiecesAreCopiedAndTheBufferKept) {
    auto pool = std::make_shared<ReceivedPiecePool>(1024, 2);
    auto buffer = pool->take();
    EXPECT_TRUE(pool->hand(buffer).empty());  // nothing gathered: no piece
    fill(*buffer, 100, 3);  // under an eighth of the capacity
    const std::uint8_t* storage = buffer->data();
    Data piece = pool->hand(buffer);
    ASSERT_TRUE(buffer);
    EXPECT_TRUE(buffer->empty());
    EXPECT_EQ(buffer->data(), storage);
    ASSERT_EQ(piece.length(), 100u);
    EXPECT_NE(piece.bytes(), storage);
    EXPECT_EQ(piece.bytes()[99], static_cast<std::uint8_t>(3 + 99));
}

TEST(ReceivedPiecePoolTests, KeepsAtMostItsShareOfBuffersOfItsOwnSize) {
    auto pool = std::make_shared<ReceivedPiecePool>(1024, 2);
    std::vector<Data> pieces;
    for (int i = 0; i < 4; ++i) {
        auto buffer = pool->take();
        fill(*buffer, 512, static_cast<std::uint8_t>(i));
        pieces.push_back(pool->hand(buffer));
    }
    // A piece appended to in place outgrows the pool's size and is not taken back.
    pieces[0].append(std::string(2000, 'x'));
    pieces.clear();
    EXPECT_EQ(pool->keptBufferCount(), 2u);
    pool->giveBack(nullptr);
    pool->giveBack(std::make_unique<ReceivedPiecePool::Buffer>(10));
    EXPECT_EQ(pool->keptBufferCount(), 2u);
}

TEST(ReceivedPiecePoolTests, AMemoryWarningGivesTheKeptBuffersBack) {
    auto pool = std::make_shared<ReceivedPiecePool>(1024, 4);
    const auto keepTwo = [&] {
        std::vector<Data> pieces;
        for (int i = 0; i < 2; ++i) {
            auto buffer = pool->take();
            fill(*buffer, 512, 1);
            pieces.push_back(pool->hand(buffer));
        }
    };
    keepTwo();
    NotificationCenter::defaultCenter().post(MemoryWarningNotification);
    EXPECT_EQ(pool->keptBufferCount(), 2u);  // not asked to
    pool->giveBackSpareBuffersOnMemoryWarnings();
    auto lent = pool->take();
    fill(*lent, 512, 2);
    Data outstanding = pool->hand(lent);
    NotificationCenter::defaultCenter().post(MemoryWarningNotification);
    EXPECT_EQ(pool->keptBufferCount(), 0u);
    // A piece still lent comes back afterwards, and later pieces are kept again.
    outstanding = Data();
    EXPECT_EQ(pool->keptBufferCount(), 1u);
    keepTwo();
    EXPECT_EQ(pool->keptBufferCount(), 2u);
    // A pool that is gone no longer hears warnings.
    pool.reset();
    NotificationCenter::defaultCenter().post(MemoryWarningNotification);
}
