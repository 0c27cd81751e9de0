#pragma once
// Skipping values that a reader does not want: fields of unknown id or of an unexpected type.

#include "analytics/WireProtocol.h"
#include "analytics/WireType.h"

namespace ql {

class WireProtocolUtil {
public:
    // Structs, maps, sets and lists may nest this deep inside a skipped value.
    static constexpr int MaxSkipDepth = 64;

    // Reads and discards one value of the type. A type code the protocol does not know, or nesting deeper
    // than MaxSkipDepth, raises WireProtocolException: the rest of the input could not be trusted.
    static void skipType(WireType type, WireProtocol& protocol);
};

}  // namespace ql
