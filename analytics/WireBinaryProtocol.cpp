#include "analytics/WireBinaryProtocol.h"

#include <bit>
#include <limits>
#include <new>
#include <utility>

#include "analytics/WireException.h"
#include "platform/foundation/Text.h"

namespace ql {

namespace {

// The fewest bytes an element of any type can take: container counts are checked against the bytes left
// with these, whatever element type the header declares, since a reader need not read the declared type.
constexpr std::size_t SmallestElement = 1;
constexpr std::size_t SmallestMapEntry = 2;

}  // namespace

WireBinaryProtocol::WireBinaryProtocol(std::shared_ptr<WireMemoryBuffer> transport, std::size_t decodingBudget)
    : transport_(std::move(transport)), decodingBudgetLeft_(decodingBudget) {}

void WireBinaryProtocol::chargeDecoding(std::size_t bytes, const char* operation) {
    if (bytes > decodingBudgetLeft_)
        throw WireProtocolException("Decoding would allocate beyond its budget in " + std::string(operation) +
                                    ", size: " + std::to_string(bytes) +
                                    ", budget left: " + std::to_string(decodingBudgetLeft_));
    decodingBudgetLeft_ -= bytes;
}

// ---- Writing ----

void WireBinaryProtocol::writeByte(std::uint8_t value) { transport_->write(&value, 1); }

void WireBinaryProtocol::writeFieldBeginWithName(std::string_view, WireType type, std::int16_t fieldID) {
    const auto id = static_cast<std::uint16_t>(fieldID);
    const std::uint8_t header[3] = {static_cast<std::uint8_t>(type), static_cast<std::uint8_t>(id >> 8),
                                    static_cast<std::uint8_t>(id)};
    transport_->write(header, sizeof header);
}

void WireBinaryProtocol::writeFieldStop() { writeByte(static_cast<std::uint8_t>(WireType::Stop)); }

void WireBinaryProtocol::writeMapBeginWithKeyType(WireType keyType, WireType valueType, std::int32_t size) {
    writeByte(static_cast<std::uint8_t>(keyType));
    writeByte(static_cast<std::uint8_t>(valueType));
    writeI32(size);
}

void WireBinaryProtocol::writeListBeginWithElementType(WireType elementType, std::int32_t size) {
    writeByte(static_cast<std::uint8_t>(elementType));
    writeI32(size);
}

void WireBinaryProtocol::writeLength(std::size_t length, const char* operation) {
    if (length > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
        throw WireProtocolException("Length too large for " + std::string(operation) +
                                    ", size: " + std::to_string(length));
    writeI32(static_cast<std::int32_t>(length));
}

void WireBinaryProtocol::writeString(std::string_view text) {
    writeLength(text.size(), "writeString");
    transport_->write(text.data(), text.size());
}

void WireBinaryProtocol::writeBinary(const ns::Data& bytes) {
    writeLength(bytes.length(), "writeBinary");
    transport_->write(bytes.bytes(), bytes.length());
}

void WireBinaryProtocol::writeI32(std::int32_t value) {
    const auto u = static_cast<std::uint32_t>(value);
    const std::uint8_t bytes[4] = {static_cast<std::uint8_t>(u >> 24), static_cast<std::uint8_t>(u >> 16),
                                   static_cast<std::uint8_t>(u >> 8), static_cast<std::uint8_t>(u)};
    transport_->write(bytes, sizeof bytes);
}

void WireBinaryProtocol::writeI64(std::int64_t value) {
    const auto u = static_cast<std::uint64_t>(value);
    std::uint8_t bytes[8];
    for (int i = 0; i < 8; ++i) bytes[i] = static_cast<std::uint8_t>(u >> (56 - 8 * i));
    transport_->write(bytes, sizeof bytes);
}

void WireBinaryProtocol::writeDouble(double value) { writeI64(std::bit_cast<std::int64_t>(value)); }

// ---- Reading ----

std::uint8_t WireBinaryProtocol::readUInt8(const char* operation) { return transport_->read(1, operation)[0]; }

std::uint64_t WireBinaryProtocol::readBigEndian(std::size_t width, const char* operation) {
    std::uint64_t value = 0;
    for (std::uint8_t byte : transport_->read(width, operation)) value = (value << 8) | byte;
    return value;
}

void WireBinaryProtocol::readStructBeginReturningName(std::optional<std::string>* name) {
    if (name) name->reset();
}

void WireBinaryProtocol::readFieldBeginReturningName(std::optional<std::string>* name, WireType* type,
                                                     std::int16_t* fieldID) {
    if (name) name->reset();
    const auto code = static_cast<WireType>(readUInt8("readFieldBegin"));
    if (type) *type = code;
    if (code == WireType::Stop) return;
    const auto id = static_cast<std::int16_t>(readBigEndian(2, "readFieldBegin"));
    if (fieldID) *fieldID = id;
}

std::int32_t WireBinaryProtocol::readCount(std::size_t elementSize, const char* operation) {
    const std::int32_t count = readI32();
    // A count of zero or less is an empty container, not an error.
    if (count > 0 && static_cast<std::uint64_t>(count) * elementSize > transport_->bytesRemaining())
        throw WireProtocolException("Element count beyond the data in " + std::string(operation) +
                                    ", size: " + std::to_string(count) +
                                    ", bytes left: " + std::to_string(transport_->bytesRemaining()));
    return count;
}

void WireBinaryProtocol::readMapBeginReturningKeyType(WireType* keyType, WireType* valueType, std::int32_t* size) {
    const auto k = static_cast<WireType>(readUInt8("readMapBegin"));
    const auto v = static_cast<WireType>(readUInt8("readMapBegin"));
    const std::int32_t count = readCount(SmallestMapEntry, "readMapBegin");
    if (keyType) *keyType = k;
    if (valueType) *valueType = v;
    if (size) *size = count;
}

void WireBinaryProtocol::readListBeginReturningElementType(WireType* elementType, std::int32_t* size) {
    const auto e = static_cast<WireType>(readUInt8("readListBegin"));
    const std::int32_t count = readCount(SmallestElement, "readListBegin");
    if (elementType) *elementType = e;
    if (size) *size = count;
}

void WireBinaryProtocol::readSetBeginReturningElementType(WireType* elementType, std::int32_t* size) {
    const auto e = static_cast<WireType>(readUInt8("readSetBegin"));
    const std::int32_t count = readCount(SmallestElement, "readSetBegin");
    if (elementType) *elementType = e;
    if (size) *size = count;
}

std::string_view WireBinaryProtocol::readSized(const char* operation) {
    const std::int32_t length = readI32();
    if (length < 0)
        throw WireProtocolException("Negative length in " + std::string(operation) +
                                    ", size: " + std::to_string(length));
    if (static_cast<std::size_t>(length) > transport_->bytesRemaining())
        throw WireProtocolException("Length beyond the data in " + std::string(operation) +
                                    ", size: " + std::to_string(length) +
                                    ", bytes left: " + std::to_string(transport_->bytesRemaining()));
    auto bytes = transport_->read(static_cast<std::size_t>(length), operation);
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

std::optional<std::string> WireBinaryProtocol::readString() {
    const std::string_view bytes = readSized("readString");
    if (!ns::isValidUTF8(bytes)) return std::nullopt;
    chargeDecoding(bytes.size(), "readString");
    try {
        return std::string(bytes);
    } catch (const std::bad_alloc&) {
        throw WireProtocolException("Unable to allocate memory in readString, size: " + std::to_string(bytes.size()));
    }
}

ns::Data WireBinaryProtocol::readBinary() {
    const std::string_view bytes = readSized("readBinary");
    chargeDecoding(bytes.size(), "readBinary");
    try {
        return ns::Data(bytes.data(), bytes.size());
    } catch (const std::bad_alloc&) {
        throw WireProtocolException("Unable to allocate memory in readBinary, size: " + std::to_string(bytes.size()));
    }
}

bool WireBinaryProtocol::readBool() { return readUInt8("readBool") != 0; }

std::int8_t WireBinaryProtocol::readByte() { return static_cast<std::int8_t>(readUInt8("readByte")); }

std::int16_t WireBinaryProtocol::readI16() { return static_cast<std::int16_t>(readBigEndian(2, "readI16")); }

std::int32_t WireBinaryProtocol::readI32() { return static_cast<std::int32_t>(readBigEndian(4, "readI32")); }

std::int64_t WireBinaryProtocol::readI64() { return static_cast<std::int64_t>(readBigEndian(8, "readI64")); }

double WireBinaryProtocol::readDouble() { return std::bit_cast<double>(readBigEndian(8, "readDouble")); }

}  // namespace ql
