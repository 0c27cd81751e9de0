#pragma once
// The one-byte type codes of the binary record protocol. Records hold only double, i32, i64, string,
// struct, map and list fields; the other codes appear only in input that a reader skips.

#include <cstdint>

namespace ql {

enum class WireType : std::uint8_t {
    Stop = 0,  // ends a struct's field list
    Bool = 2,
    Byte = 3,
    Double = 4,
    I16 = 6,
    I32 = 8,
    I64 = 10,
    String = 11,  // texts and bytes alike
    Struct = 12,
    Map = 13,
    Set = 14,
    List = 15,
};

}  // namespace ql
