#include "analytics/WireProtocolUtil.h"

#include <cstdint>
#include <string>

#include "analytics/WireException.h"

namespace ql {

namespace {

void skip(WireType type, WireProtocol& protocol, int depth) {
    const bool nests = type == WireType::Struct || type == WireType::Map || type == WireType::Set ||
                       type == WireType::List;
    if (nests && depth >= WireProtocolUtil::MaxSkipDepth)
        throw WireProtocolException("Nesting deeper than " + std::to_string(WireProtocolUtil::MaxSkipDepth) +
                                    " levels in skipType");
    std::int32_t count = 0;
    switch (type) {
        case WireType::Bool: protocol.readBool(); return;
        case WireType::Byte: protocol.readByte(); return;
        case WireType::Double: protocol.readDouble(); return;
        case WireType::I16: protocol.readI16(); return;
        case WireType::I32: protocol.readI32(); return;
        case WireType::I64: protocol.readI64(); return;
        // Skipped texts are not decoded: their bytes need not be UTF-8.
        case WireType::String: protocol.readBinary(); return;
        case WireType::Struct: {
            protocol.readStructBeginReturningName(nullptr);
            for (;;) {
                WireType fieldType = WireType::Stop;
                protocol.readFieldBeginReturningName(nullptr, &fieldType, nullptr);
                if (fieldType == WireType::Stop) break;
                skip(fieldType, protocol, depth + 1);
                protocol.readFieldEnd();
            }
            protocol.readStructEnd();
            return;
        }
        case WireType::Map: {
            WireType keyType = WireType::Stop, valueType = WireType::Stop;
            protocol.readMapBeginReturningKeyType(&keyType, &valueType, &count);
            for (std::int32_t i = 0; i < count; ++i) {
                skip(keyType, protocol, depth + 1);
                skip(valueType, protocol, depth + 1);
            }
            protocol.readMapEnd();
            return;
        }
        case WireType::Set: {
            WireType elementType = WireType::Stop;
            protocol.readSetBeginReturningElementType(&elementType, &count);
            for (std::int32_t i = 0; i < count; ++i) skip(elementType, protocol, depth + 1);
            protocol.readSetEnd();
            return;
        }
        case WireType::List: {
            WireType elementType = WireType::Stop;
            protocol.readListBeginReturningElementType(&elementType, &count);
            for (std::int32_t i = 0; i < count; ++i) skip(elementType, protocol, depth + 1);
            protocol.readListEnd();
            return;
        }
        case WireType::Stop: break;
    }
    throw WireProtocolException("Unknown type code " + std::to_string(static_cast<int>(type)) + " in skipType");
}

}  // namespace

void WireProtocolUtil::skipType(WireType type, WireProtocol& protocol) { skip(type, protocol, 0); }

}  // namespace ql
