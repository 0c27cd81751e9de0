#pragma once
// Hex helpers for the binary record tests: bytes written by hand as "0B 00 01 ..." and back.

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

#include "analytics/WireBinaryProtocol.h"
#include "analytics/WireMemoryBuffer.h"
#include "platform/foundation/Data.h"

namespace ql::testing {

inline ns::Data bytesFromHex(std::string_view hex) {
    std::string bytes;
    for (std::size_t i = 0; i < hex.size();) {
        if (hex[i] == ' ') {
            ++i;
            continue;
        }
        bytes += static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16));
        i += 2;
    }
    return ns::Data(bytes);
}

inline std::string hexFromBytes(const ns::Data& data) {
    std::string out;
    for (std::uint8_t b : data.span()) {
        char text[4];
        std::snprintf(text, sizeof text, out.empty() ? "%02X" : " %02X", b);
        out += text;
    }
    return out;
}

// The bytes a record (or anything with write(WireProtocol&)) writes, in hex.
template <class T>
std::string written(const T& record) {
    auto buffer = std::make_shared<WireMemoryBuffer>();
    WireBinaryProtocol protocol(buffer);
    record.write(protocol);
    return hexFromBytes(buffer->getBuffer());
}

// A record of type R read from hex bytes into `record`.
template <class R>
void readInto(R& record, std::string_view hex) {
    WireBinaryProtocol protocol(std::make_shared<WireMemoryBuffer>(bytesFromHex(hex)));
    record.read(protocol);
}

}  // namespace ql::testing
