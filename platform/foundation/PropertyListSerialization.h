#pragma once
// Property lists in the platform's XML and binary formats, read (with the format detected) and written.
// A property list is a tree of dictionaries (text keys), arrays, texts, data, dates, integers, reals and
// booleans; keyed archives add object references (PropertyListUID). Bad input answers an error value.

#include <cstddef>
#include <cstdint>
#include <optional>

#include "platform/foundation/Data.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/Value.h"

namespace ql::ns {

enum class PropertyListFormat { OpenStep = 1, XML = 100, Binary = 200 };

// Reading options, with the platform's values.
enum PropertyListMutabilityOptions : unsigned {
    PropertyListImmutable = 0,
    PropertyListMutableContainers = 1,
    PropertyListMutableContainersAndLeaves = 2,
};

// Error codes of the Cocoa domain.
inline constexpr std::int64_t PropertyListReadCorruptError = 3840;
inline constexpr std::int64_t PropertyListWriteInvalidError = 3852;

class PropertyListSerialization {
public:
    // Containers nested deeper than this are refused by readers and writers alike, so that hostile input
    // cannot exhaust the stack and whatever is written can be read back.
    static constexpr std::size_t kMaxDepth = 200;
    // The largest property list file read whole from disk: far beyond what any store or resource holds, so
    // that a file grown without end (or a device in a file's place) is refused rather than read.
    static constexpr std::uint64_t kMaxFileLength = std::uint64_t{64} << 20;

    // Nothing (and PropertyListWriteInvalidError) when the value is not valid for the format; the OpenStep
    // format is not written, as on the platform.
    static std::optional<Data> dataWithPropertyList(const Value& plist, PropertyListFormat format, Error* error);
    // Nil (and PropertyListReadCorruptError) when the data is no XML or binary property list.
    static Value propertyListWithData(const Data& data, unsigned options, PropertyListFormat* formatOut, Error* error);
    static bool propertyListIsValidForFormat(const Value& plist, PropertyListFormat format);
};

}  // namespace ql::ns
