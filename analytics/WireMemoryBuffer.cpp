#include "analytics/WireMemoryBuffer.h"

#include <string>

#include "analytics/WireException.h"

namespace ql {

WireMemoryBuffer::WireMemoryBuffer(const ns::Data& bytes) : bytes_(bytes.bytes(), bytes.bytes() + bytes.length()) {}

ns::Data WireMemoryBuffer::getBuffer() const { return ns::Data(bytes_.data(), bytes_.size()); }

void WireMemoryBuffer::raiseEndOfData(std::size_t length, const char* operation) const {
    throw WireProtocolException("Unexpected end of data in " + std::string(operation) + ": " + std::to_string(length) +
                                " bytes wanted, " + std::to_string(bytesRemaining()) + " left");
}

}  // namespace ql
