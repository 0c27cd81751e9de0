#pragma once
// WireProtocol: the operations through which records write and read themselves. Struct names and field
// names are handed over for protocols that would use them; the binary protocol ignores them. Every out-
// argument of the read operations may be null when the caller does not want that part.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "analytics/WireType.h"
#include "platform/foundation/Data.h"

namespace ql {

class WireProtocol {
public:
    virtual ~WireProtocol() = default;

    virtual void writeStructBeginWithName(std::string_view name) = 0;
    virtual void writeStructEnd() = 0;
    virtual void writeFieldBeginWithName(std::string_view name, WireType type, std::int16_t fieldID) = 0;
    virtual void writeFieldEnd() = 0;
    virtual void writeFieldStop() = 0;
    virtual void writeMapBeginWithKeyType(WireType keyType, WireType valueType, std::int32_t size) = 0;
    virtual void writeMapEnd() = 0;
    virtual void writeListBeginWithElementType(WireType elementType, std::int32_t size) = 0;
    virtual void writeListEnd() = 0;
    virtual void writeString(std::string_view text) = 0;
    virtual void writeBinary(const ns::Data& bytes) = 0;
    virtual void writeI32(std::int32_t value) = 0;
    virtual void writeI64(std::int64_t value) = 0;
    virtual void writeDouble(double value) = 0;

    virtual void readStructBeginReturningName(std::optional<std::string>* name) = 0;
    virtual void readStructEnd() = 0;
    // On the stop marker the field id is left as it was.
    virtual void readFieldBeginReturningName(std::optional<std::string>* name, WireType* type,
                                             std::int16_t* fieldID) = 0;
    virtual void readFieldEnd() = 0;
    virtual void readMapBeginReturningKeyType(WireType* keyType, WireType* valueType, std::int32_t* size) = 0;
    virtual void readMapEnd() = 0;
    virtual void readListBeginReturningElementType(WireType* elementType, std::int32_t* size) = 0;
    virtual void readListEnd() = 0;
    virtual void readSetBeginReturningElementType(WireType* elementType, std::int32_t* size) = 0;
    virtual void readSetEnd() = 0;
    // Nothing when the bytes are not UTF-8, as the platform's text from such bytes is nil.
    virtual std::optional<std::string> readString() = 0;
    virtual ns::Data readBinary() = 0;
    virtual bool readBool() = 0;
    virtual std::int8_t readByte() = 0;
    virtual std::int16_t readI16() = 0;
    virtual std::int32_t readI32() = 0;
    virtual std::int64_t readI64() = 0;
    virtual double readDouble() = 0;

    // Records call this before they allocate what they decode (a nested record, the slots of a map or
    // list). A protocol reading untrusted bytes raises WireProtocolException once the total passes what
    // it allows; by default nothing is counted.
    virtual void chargeDecoding(std::size_t bytes, const char* operation) {
        static_cast<void>(bytes);
        static_cast<void>(operation);
    }
};

}  // namespace ql
