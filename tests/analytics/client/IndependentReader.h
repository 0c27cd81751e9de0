#pragma once
// Reads an envelope file as the service would, with nothing of the client's code: a Python reader written
// from the record layout alone takes the envelope apart field by field, inflates its payload with Python's
// zlib and takes the log entry apart the same way. The answer is JSON: every record an object keyed by
// field id ("1", "2", ...), lists as arrays, maps as objects, texts as text (bytes that are not UTF-8 as
// "hex:..."). The envelope's payload field 7 holds the log entry it carried.

#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "platform/foundation/Data.h"
#include "platform/foundation/JSONSerialization.h"
#include "platform/foundation/Value.h"
#include "tests/support/PeerProcess.h"

namespace ql::test {

inline const std::string& independentEnvelopeReader() {
    static const std::string command = pythonCommand(R"(
import json, struct, sys, zlib

def reader(data):
    position = [0]
    def take(count):
        start = position[0]
        if count < 0 or start + count > len(data):
            raise SystemExit("short input")
        position[0] = start + count
        return data[start:start + count]
    def number(fmt, size):
        return struct.unpack(fmt, take(size))[0]
    def value(kind):
        if kind == 2: return take(1)[0] != 0
        if kind == 3: return number(">b", 1)
        if kind == 4: return number(">d", 8)
        if kind == 6: return number(">h", 2)
        if kind == 8: return number(">i", 4)
        if kind == 10: return number(">q", 8)
        if kind == 11: return take(number(">i", 4))
        if kind == 12: return record()
        if kind == 13:
            key_kind, value_kind, count = take(1)[0], take(1)[0], number(">i", 4)
            return {value(key_kind).decode("utf-8"): value(value_kind) for _ in range(count)}
        if kind in (14, 15):
            element_kind, count = take(1)[0], number(">i", 4)
            return [value(element_kind) for _ in range(count)]
        raise SystemExit("unknown type %d" % kind)
    def record():
        fields = {}
        while True:
            kind = take(1)[0]
            if kind == 0:
                return fields
            field_id = number(">h", 2)
            fields[str(field_id)] = value(kind)
    result = record()
    if position[0] != len(data):
        raise SystemExit("bytes after the record")
    return result

def texts(item):
    if isinstance(item, bytes):
        try:
            return item.decode("utf-8")
        except UnicodeDecodeError:
            return "hex:" + item.hex()
    if isinstance(item, dict):
        return {key: texts(inner) for key, inner in item.items()}
    if isinstance(item, list):
        return [texts(inner) for inner in item]
    return item

envelope = reader(sys.stdin.buffer.read())
if envelope.get("10") == 0:
    envelope["7"] = reader(zlib.decompress(envelope["7"]))
print(json.dumps(texts(envelope)))
)");
    return command;
}

// The envelope as the independent reader sees it; nil (and a failure) when it could not be read.
inline ns::Value readEnvelopeIndependently(const ns::Data& envelope) {
    const auto json = runPeer(independentEnvelopeReader(), envelope.view());
    EXPECT_TRUE(json) << "the independent reader refused the envelope";
    if (!json) return {};
    ns::Error error("", 0);
    return ns::JSONSerialization::JSONObjectWithData(std::string_view(*json), 0, &error);
}

// A field of a record read independently, by id; nil when absent.
inline const ns::Value& field(const ns::Value& record, int id) { return record[std::to_string(id)]; }

}  // namespace ql::test
