#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "analytics/WireBinaryProtocol.h"
#include "analytics/WireException.h"
#include "analytics/WireMemoryBuffer.h"
#include "analytics/WireProtocolUtil.h"
#include "tests/analytics/WireTestSupport.h"

using namespace ql;
using ql::testing::bytesFromHex;
using ql::testing::hexFromBytes;

namespace {

struct Wire {
    std::shared_ptr<WireMemoryBuffer> buffer = std::make_shared<WireMemoryBuffer>();
    WireBinaryProtocol protocol{buffer};
    std::string hex() const { return hexFromBytes(buffer->getBuffer()); }
};

WireBinaryProtocol reader(std::string_view hex) {
    return WireBinaryProtocol(std::make_shared<WireMemoryBuffer>(bytesFromHex(hex)));
}

// The reason of the protocol exception `f` raises; "" when it raises none.
template <class F>
std::string failure(F&& f) {
    try {
        f();
    } catch (const WireProtocolException& e) {
        EXPECT_EQ(e.name(), "WireProtocolException");
        return e.reason();
    }
    return "";
}

TEST(WireBinaryProtocol, WritesBigEndianValuesAndHeaders) {
    Wire w;
    w.protocol.writeStructBeginWithName("Ignored");
    w.protocol.writeFieldBeginWithName("name", WireType::I32, 1);
    w.protocol.writeI32(-2);
    w.protocol.writeFieldEnd();
    w.protocol.writeFieldBeginWithName("big", WireType::I64, 0x1234);
    w.protocol.writeI64(0x0102030405060708);
    w.protocol.writeDouble(1.0);
    w.protocol.writeString("ab");
    w.protocol.writeString({});
    w.protocol.writeString("\xE4\xB8\xAD");
    w.protocol.writeBinary(ns::Data(std::string_view("\x00\xFF", 2)));
    w.protocol.writeMapBeginWithKeyType(WireType::String, WireType::Struct, 3);
    w.protocol.writeMapEnd();
    w.protocol.writeListBeginWithElementType(WireType::Struct, 2);
    w.protocol.writeListEnd();
    w.protocol.writeFieldStop();
    w.protocol.writeStructEnd();
    EXPECT_EQ(w.hex(),
              "08 00 01 FF FF FF FE "
              "0A 12 34 01 02 03 04 05 06 07 08 "
              "3F F0 00 00 00 00 00 00 "
              "00 00 00 02 61 62 "
              "00 00 00 00 "
              "00 00 00 03 E4 B8 AD "
              "00 00 00 02 00 FF "
              "0B 0C 00 00 00 03 "
              "0C 00 00 00 02 "
              "00");
}

TEST(WireBinaryProtocol, ReadsWhatItWrites) {
    Wire w;
    w.protocol.writeFieldBeginWithName("", WireType::String, -1);
    w.protocol.writeI32(std::numeric_limits<std::int32_t>::min());
    w.protocol.writeI64(-5);
    w.protocol.writeDouble(-0.25);
    w.protocol.writeDouble(std::numeric_limits<double>::quiet_NaN());
    w.protocol.writeString("héllo");
    w.protocol.writeMapBeginWithKeyType(WireType::String, WireType::I32, 1);
    w.protocol.writeString("k");
    w.protocol.writeI32(7);
    w.protocol.writeListBeginWithElementType(WireType::I64, 0);
    w.protocol.writeFieldStop();

    WireBinaryProtocol r(std::make_shared<WireMemoryBuffer>(w.buffer->getBuffer()));
    std::optional<std::string> name = "filled";
    WireType type{};
    std::int16_t id = 0;
    r.readStructBeginReturningName(&name);
    EXPECT_FALSE(name);
    name = "filled";
    r.readFieldBeginReturningName(&name, &type, &id);
    EXPECT_FALSE(name);
    EXPECT_EQ(type, WireType::String);
    EXPECT_EQ(id, -1);
    EXPECT_EQ(r.readI32(), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(r.readI64(), -5);
    EXPECT_EQ(r.readDouble(), -0.25);
    EXPECT_TRUE(std::isnan(r.readDouble()));
    EXPECT_EQ(r.readString(), "héllo");
    WireType keyType{}, valueType{};
    std::int32_t size = -1;
    r.readMapBeginReturningKeyType(&keyType, &valueType, &size);
    EXPECT_EQ(keyType, WireType::String);
    EXPECT_EQ(valueType, WireType::I32);
    EXPECT_EQ(size, 1);
    EXPECT_EQ(r.readString(), "k");
    EXPECT_EQ(r.readI32(), 7);
    r.readListBeginReturningElementType(nullptr, &size);
    EXPECT_EQ(size, 0);
    // The stop marker carries no id: the caller's id stays as it was.
    id = 42;
    r.readFieldBeginReturningName(nullptr, &type, &id);
    EXPECT_EQ(type, WireType::Stop);
    EXPECT_EQ(id, 42);
    EXPECT_EQ(r.transport()->bytesRemaining(), 0u);
}

TEST(WireBinaryProtocol, RefusesLengthsAndCountsBeyondTheData) {
    EXPECT_EQ(failure([] { reader("00 00 00 05 61 62").readString(); }),
              "Length beyond the data in readString, size: 5, bytes left: 2");
    EXPECT_EQ(failure([] { reader("7F FF FF FF").readString(); }),
              "Length beyond the data in readString, size: 2147483647, bytes left: 0");
    EXPECT_EQ(failure([] { reader("FF FF FF FF").readBinary(); }), "Negative length in readBinary, size: -1");
    EXPECT_EQ(failure([] { reader("00 00 01").readI32(); }),
              "Unexpected end of data in readI32: 4 bytes wanted, 3 left");
    EXPECT_EQ(failure([] { reader("").readFieldBeginReturningName(nullptr, nullptr, nullptr); }),
              "Unexpected end of data in readFieldBegin: 1 bytes wanted, 0 left");
    EXPECT_EQ(failure([] { reader("0A 00").readFieldBeginReturningName(nullptr, nullptr, nullptr); }),
              "Unexpected end of data in readFieldBegin: 2 bytes wanted, 1 left");
    // Whatever types a header declares, a map entry takes two bytes at least and any element one.
    EXPECT_EQ(failure([] {
                  std::int32_t n = 0;
                  reader("0B 0C 00 00 00 03 00 00 00 00 00").readMapBeginReturningKeyType(nullptr, nullptr, &n);
              }),
              "Element count beyond the data in readMapBegin, size: 3, bytes left: 5");
    EXPECT_EQ(failure([] {
                  std::int32_t n = 0;
                  reader("0A 7F FF FF FF 00").readListBeginReturningElementType(nullptr, &n);
              }),
              "Element count beyond the data in readListBegin, size: 2147483647, bytes left: 1");
    EXPECT_EQ(failure([] {
                  std::int32_t n = 0;
                  reader("03 00 00 00 03 01 02").readSetBeginReturningElementType(nullptr, &n);
              }),
              "Element count beyond the data in readSetBegin, size: 3, bytes left: 2");
    // Counts that fit, and counts of zero or less, pass.
    std::int32_t n = 0;
    reader("0B 0C 00 00 00 02 00 00 00 00 00").readMapBeginReturningKeyType(nullptr, nullptr, &n);
    EXPECT_EQ(n, 2);
    reader("0A 00 00 00 03 00 00 00").readListBeginReturningElementType(nullptr, &n);
    EXPECT_EQ(n, 3);
    reader("0C FF FF FF FE").readListBeginReturningElementType(nullptr, &n);
    EXPECT_EQ(n, -2);
}

TEST(WireBinaryProtocol, TextThatIsNotUTF8ReadsAsNone) {
    auto r = reader("00 00 00 02 C3 28 00 00 00 02 C3 A9");
    EXPECT_EQ(r.readString(), std::nullopt);
    EXPECT_EQ(r.readString(), "é");
    EXPECT_EQ(hexFromBytes(reader("00 00 00 02 C3 28").readBinary()), "C3 28");
}

// Each value followed by the byte 7E, which must be what comes next after skipping.
TEST(WireProtocolUtil, SkipsOneValueOfEveryType) {
    const std::pair<WireType, std::string> cases[] = {
        {WireType::Bool, "01"},
        {WireType::Byte, "FF"},
        {WireType::I16, "12 34"},
        {WireType::I32, "00 00 00 01"},
        {WireType::I64, "00 00 00 00 00 00 00 01"},
        {WireType::Double, "3F F0 00 00 00 00 00 00"},
        {WireType::String, "00 00 00 02 C3 28"},
        // A struct with an i32 field, a nested struct with a list of two i16 and a set of bytes, then stop.
        {WireType::Struct,
         "08 00 01 00 00 00 05 0C 00 02 0F 00 07 06 00 00 00 02 00 01 00 02 "
         "0E 00 08 03 00 00 00 01 09 00 00"},
        {WireType::Map, "0B 02 00 00 00 02 00 00 00 01 61 01 00 00 00 01 62 00"},
        {WireType::Set, "0B 00 00 00 01 00 00 00 00"},
        {WireType::List, "0D 00 00 00 01 08 08 00 00 00 01 00 00 00 01 00 00 00 02"},
    };
    for (const auto& [type, hex] : cases) {
        auto r = reader(hex + " 7E");
        WireProtocolUtil::skipType(type, r);
        EXPECT_EQ(r.readByte(), 0x7E) << static_cast<int>(type);
    }
}

TEST(WireProtocolUtil, RefusesUnknownTypesAndNestingTooDeep) {
    EXPECT_EQ(failure([] {
                  auto r = reader("01");
                  WireProtocolUtil::skipType(static_cast<WireType>(7), r);
              }),
              "Unknown type code 7 in skipType");
    // A struct whose field has type 1.
    EXPECT_EQ(failure([] {
                  auto r = reader("01 00 01 00 00");
                  WireProtocolUtil::skipType(WireType::Struct, r);
              }),
              "Unknown type code 1 in skipType");

    // Lists of lists, `levels` deep, the innermost empty.
    const auto nestedLists = [](int levels) {
        std::string hex;
        for (int i = 1; i < levels; ++i) hex += "0F 00 00 00 01 ";
        return hex + "0F 00 00 00 00";
    };
    auto r = reader(nestedLists(WireProtocolUtil::MaxSkipDepth));
    WireProtocolUtil::skipType(WireType::List, r);
    EXPECT_EQ(r.transport()->bytesRemaining(), 0u);
    EXPECT_EQ(failure([&] {
                  auto deeper = reader(nestedLists(WireProtocolUtil::MaxSkipDepth + 1));
                  WireProtocolUtil::skipType(WireType::List, deeper);
              }),
              "Nesting deeper than 64 levels in skipType");
    // Structs nest the same way.
    std::string structs;
    for (int i = 0; i < 100; ++i) structs += "0C 00 01 ";
    EXPECT_EQ(failure([&] {
                  auto deeper = reader(structs);
                  WireProtocolUtil::skipType(WireType::Struct, deeper);
              }),
              "Nesting deeper than 64 levels in skipType");
}

}  // namespace
