#pragma once
// Writes a graph of values and Coding objects as the platform's keyed archive: a binary property list with
// "$archiver", "$version", "$top" and the "$objects" table, in which objects refer to each other by
// PropertyListUID. An object reached twice is written once, so shared objects and cycles survive.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/foundation/Data.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/Value.h"

namespace ql::ns {

class Class;
class Object;

// Error code of the Cocoa domain for a value that cannot be archived.
inline constexpr std::int64_t CoderInvalidValueError = 4866;

class KeyedArchiver {
public:
    // Nothing (and CoderInvalidValueError) when the graph holds an object that does not adopt Coding or
    // nests deeper than the property-list limit.
    static std::optional<Data> archivedDataWithRootObject(const Value& root, Error* error);

    // The coder operations, for Coding::encodeWithCoder. A key used twice keeps the last value.
    void encodeObject(const Value& object, std::string_view key);
    void encodeBool(bool value, std::string_view key);
    void encodeInt32(std::int32_t value, std::string_view key);
    void encodeInt64(std::int64_t value, std::string_view key);
    void encodeInteger(std::int64_t value, std::string_view key);
    void encodeDouble(double value, std::string_view key);
    void encodeFloat(float value, std::string_view key);
    void encodeBytes(const Data& bytes, std::string_view key);

    KeyedArchiver(const KeyedArchiver&) = delete;
    KeyedArchiver& operator=(const KeyedArchiver&) = delete;

private:
    KeyedArchiver();
    void set(std::string_view key, Value value);
    void fail(std::string reason);
    Value reference(const Value& object);
    std::uint64_t append(Value entry);
    std::optional<std::uint64_t> uniqueScalar(const Value& object);
    Value containerEntry(const Value& object, const Class& cls);
    Value objectEntry(const std::shared_ptr<Object>& object, std::uint64_t index);
    Value classReference(const Class& cls);
    std::optional<Data> finish(Error* error);

    Array objects_;
    // The keyed contents of the object being encoded; the first is "$top".
    std::vector<Dictionary> scopes_;
    std::unordered_map<const Object*, std::uint64_t> objectIndexes_;
    // Keeps every archived object alive, so that no address in objectIndexes_ is reused by another.
    std::vector<std::shared_ptr<Object>> retained_;
    std::unordered_map<std::string, std::uint64_t> scalarIndexes_;
    std::unordered_map<const Class*, std::uint64_t> classIndexes_;
    std::size_t depth_ = 0;
    std::optional<Error> error_;
};

}  // namespace ql::ns
