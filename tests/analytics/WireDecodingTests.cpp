// Decoding untrusted bytes into records: what the format allows must be read, and what a hostile input
// can make the decoder allocate must stay bounded.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "analytics/WireBinaryProtocol.h"
#include "analytics/WireEvent.h"
#include "analytics/WireException.h"
#include "analytics/WireIdTracking.h"
#include "analytics/WireInstantMsg.h"
#include "analytics/WireMemoryBuffer.h"
#include "tests/analytics/WireTestSupport.h"

using namespace ql;
using ql::testing::bytesFromHex;

namespace {

// An InstantMsg whose field 3 (events) is a list header declaring `declared` elements of the type code
// `elementType`, followed by `count` empty structs.
ns::Data eventList(std::uint8_t elementType, std::int32_t declared, std::size_t count) {
    std::string bytes = {0x0F, 0x00, 0x03, static_cast<char>(elementType)};
    for (int shift = 24; shift >= 0; shift -= 8) bytes += static_cast<char>((declared >> shift) & 0xFF);
    bytes.append(count, '\0');
    bytes += '\0';
    return ns::Data(bytes);
}

std::string decodingFailure(WireBinaryProtocol& protocol, WireBase& record) {
    try {
        record.read(protocol);
    } catch (const WireProtocolException& e) {
        return e.reason();
    }
    return "";
}

}  // namespace

TEST(WireDecoding, ElementCountsAreBoundedByTheSmallestElementNotTheDeclaredType) {
    // Declared as three i64 but holding three empty structs: the reader reads records whatever the
    // header declares, and three one-byte records fit.
    WireInstantMsg message;
    ql::testing::readInto(message, "0F 00 03 0A 00 00 00 03 00 00 00 00");
    ASSERT_TRUE(message.eventsIsSet());
    ASSERT_EQ(message.events()->size(), 3u);
    EXPECT_FALSE((*message.events())[0]->nameIsSet());

    // A map entry takes two bytes at least (an empty key is four, but the count check does not know the
    // reader): one entry with an empty key and an empty record.
    WireIdTracking tracking;
    ql::testing::readInto(tracking, "0D 00 01 0A 0A 00 00 00 01 00 00 00 00 00 00");
    ASSERT_TRUE(tracking.snapshotsIsSet());
    EXPECT_EQ(tracking.snapshots()->count(""), 1u);

    // Counts beyond one byte per element are still refused before anything is allocated.
    WireBinaryProtocol protocol(std::make_shared<WireMemoryBuffer>(eventList(0x0C, 5, 3)));
    WireInstantMsg refused;
    EXPECT_EQ(decodingFailure(protocol, refused), "Element count beyond the data in readListBegin, size: 5, bytes left: 4");
}

TEST(WireDecoding, WhatOneDecodingMayAllocateIsBounded) {
    // Each one-byte element becomes a whole record: far more memory than input.
    constexpr std::size_t elements = 100'000;
    {
        WireBinaryProtocol protocol(std::make_shared<WireMemoryBuffer>(eventList(0x0C, elements, elements)),
                                    std::size_t{1} << 20);
        WireInstantMsg message;
        const std::string reason = decodingFailure(protocol, message);
        EXPECT_NE(reason.find("Decoding would allocate beyond its budget in readListBegin"), std::string::npos)
            << reason;
    }
    // The default budget takes the same list, and charges at least its records' size.
    {
        WireBinaryProtocol protocol(std::make_shared<WireMemoryBuffer>(eventList(0x0C, elements, elements)));
        WireInstantMsg message;
        EXPECT_EQ(decodingFailure(protocol, message), "");
        EXPECT_EQ(message.events()->size(), elements);
        EXPECT_LE(protocol.decodingBudgetLeft(),
                  WireBinaryProtocol::DefaultDecodingBudget - elements * sizeof(WireEvent));
    }
    // Texts count with their length.
    {
        WireBinaryProtocol protocol(std::make_shared<WireMemoryBuffer>(bytesFromHex("00 00 00 03 61 62 63")), 2);
        try {
            protocol.readString();
            ADD_FAILURE() << "a text beyond the budget was read";
        } catch (const WireProtocolException& e) {
            EXPECT_EQ(e.reason(), "Decoding would allocate beyond its budget in readString, size: 3, budget left: 2");
        }
    }
    // Several megabytes of one-byte elements, past the default budget: refused, not hundreds of megabytes.
    {
        constexpr std::size_t many = 4 << 20;
        WireBinaryProtocol protocol(std::make_shared<WireMemoryBuffer>(eventList(0x0C, many, many)));
        WireInstantMsg message;
        EXPECT_NE(decodingFailure(protocol, message).find("beyond its budget"), std::string::npos);
    }
}
