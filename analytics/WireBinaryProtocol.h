#pragma once
// The binary record protocol over a memory buffer: big-endian integers, IEEE 754 doubles as 64-bit
// patterns, texts and bytes as a 32-bit length and the bytes, one type byte and a 16-bit id per field.
//
// The bytes it reads are untrusted (endpoint replies, stored imprints): every length and element count is
// checked against the bytes left before anything is allocated (an element takes at least one byte, a map
// entry two), and violations raise WireProtocolException. Small elements still cost far more memory than
// bytes (a record read from one byte is an object of a hundred bytes or more), so what one protocol object
// may allocate while decoding is bounded as well: texts, byte strings, records and container slots count
// against a budget, DefaultDecodingBudget unless given, and decoding past it raises WireProtocolException.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "analytics/WireMemoryBuffer.h"
#include "analytics/WireProtocol.h"

namespace ql {

class WireBinaryProtocol final : public WireProtocol {
public:
    // 64 MiB: many times what the largest log entry the client writes (under 4 MiB) decodes into.
    static constexpr std::size_t DefaultDecodingBudget = std::size_t{64} << 20;

    explicit WireBinaryProtocol(std::shared_ptr<WireMemoryBuffer> transport,
                                std::size_t decodingBudget = DefaultDecodingBudget);

    const std::shared_ptr<WireMemoryBuffer>& transport() const { return transport_; }
    // What decoding may still allocate.
    std::size_t decodingBudgetLeft() const { return decodingBudgetLeft_; }

    void writeStructBeginWithName(std::string_view) override {}
    void writeStructEnd() override {}
    void writeFieldBeginWithName(std::string_view name, WireType type, std::int16_t fieldID) override;
    void writeFieldEnd() override {}
    void writeFieldStop() override;
    void writeMapBeginWithKeyType(WireType keyType, WireType valueType, std::int32_t size) override;
    void writeMapEnd() override {}
    void writeListBeginWithElementType(WireType elementType, std::int32_t size) override;
    void writeListEnd() override {}
    void writeString(std::string_view text) override;
    void writeBinary(const ns::Data& bytes) override;
    void writeI32(std::int32_t value) override;
    void writeI64(std::int64_t value) override;
    void writeDouble(double value) override;

    void readStructBeginReturningName(std::optional<std::string>* name) override;
    void readStructEnd() override {}
    void readFieldBeginReturningName(std::optional<std::string>* name, WireType* type,
                                     std::int16_t* fieldID) override;
    void readFieldEnd() override {}
    void readMapBeginReturningKeyType(WireType* keyType, WireType* valueType, std::int32_t* size) override;
    void readMapEnd() override {}
    void readListBeginReturningElementType(WireType* elementType, std::int32_t* size) override;
    void readListEnd() override {}
    void readSetBeginReturningElementType(WireType* elementType, std::int32_t* size) override;
    void readSetEnd() override {}
    std::optional<std::string> readString() override;
    ns::Data readBinary() override;
    bool readBool() override;
    std::int8_t readByte() override;
    std::int16_t readI16() override;
    std::int32_t readI32() override;
    std::int64_t readI64() override;
    double readDouble() override;
    void chargeDecoding(std::size_t bytes, const char* operation) override;

private:
    void writeByte(std::uint8_t value);
    void writeLength(std::size_t length, const char* operation);
    std::uint8_t readUInt8(const char* operation);
    std::uint64_t readBigEndian(std::size_t width, const char* operation);
    // The bytes of a length-prefixed text or byte string.
    std::string_view readSized(const char* operation);
    // A container header's count, checked against what the remaining bytes could hold.
    std::int32_t readCount(std::size_t elementSize, const char* operation);

    std::shared_ptr<WireMemoryBuffer> transport_;
    std::size_t decodingBudgetLeft_;
};

}  // namespace ql
