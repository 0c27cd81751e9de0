#include "analytics/WireField.h"

#include <cstdio>
#include <limits>

#include "analytics/WireException.h"
#include "analytics/WireRecord.h"
#include "platform/foundation/Error.h"

namespace ql {

namespace wire {

void rejectArchivedValue(ns::KeyedUnarchiver& coder, std::string_view key, std::string_view expected) {
    coder.failWithError(ns::Error(std::string(ns::CocoaErrorDomain), ns::CoderReadCorruptError,
                                  {{std::string(ns::DebugDescriptionErrorKey),
                                    ns::Value("value for key (" + std::string(key) + ") is not of class " +
                                              std::string(expected))}}));
}

std::optional<std::string> decodeText(ns::KeyedUnarchiver& coder, std::string_view key) {
    const ns::Value v = coder.decodeObjectForKey(key);
    if (v.isNil()) return std::nullopt;
    if (!v.isString()) {
        rejectArchivedValue(coder, key, "NSString");
        return std::nullopt;
    }
    return std::string(v.asString());
}

void rejectMapKey() { throw WireProtocolException("Map key is not UTF-8 text in readString"); }

std::int32_t countOf(std::size_t size) {
    if (size > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
        throw WireProtocolException("Too many elements to write: " + std::to_string(size));
    return static_cast<std::int32_t>(size);
}

void printDouble(std::string& out, double value) {
    char text[512];  // "%f" of the largest double has 309 digits before the point
    std::snprintf(text, sizeof text, "%f", value);
    out += text;
}

void printValue(std::string& out, const ns::Value& value) { out += value.description(); }

void raiseRequiredFieldNotSet(std::string_view name) {
    throw WireProtocolException("Required field '" + std::string(name) + "' is not set.");
}

}  // namespace wire

WireBinary::Held WireBinary::decode(ns::KeyedUnarchiver& c, std::string_view key) {
    const ns::Value v = c.decodeObjectForKey(key);
    if (v.isNil()) return std::nullopt;
    if (const ns::Data* bytes = v.asData()) return *bytes;
    wire::rejectArchivedValue(c, key, "NSData");
    return std::nullopt;
}

}  // namespace ql
