#pragma once
// Reads a keyed archive (KeyedArchiver) back into values and Coding objects, finding classes by name in
// the class registry. An object referred to twice comes back as one instance; a reference back to an
// object still being decoded answers that instance, as on the platform.
//
// Under secure coding every decoded object, container elements included, must be of one of the classes
// allowed by the innermost decodeObjectOfClass(es) call (the unarchiving call's classes at the top), and
// Coding classes must answer supportsSecureCoding. A corrupt archive, an unknown or refused class, or too
// deep a nesting answers an error (CoderReadCorruptError), never a crash.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Data.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/Value.h"

namespace ql::ns {

class Class;

// Error code of the Cocoa domain for an archive that cannot be read.
inline constexpr std::int64_t CoderReadCorruptError = 4864;

class KeyedUnarchiver {
public:
    // The root object of an archive; nil with an error when it cannot be read.
    static Value unarchiveObjectWithData(const Data& data, Error* error);
    // The same with secure coding: the root must be of one of `classes`.
    static Value unarchivedObjectOfClasses(const std::vector<const Class*>& classes, const Data& data, Error* error);
    static Value unarchivedObjectOfClass(const Class& cls, const Data& data, Error* error);

    // The coder operations, for Coding::initWithCoder. Absent keys decode as nil, NO or zero. A value of
    // the wrong kind, or one that does not fit the asked type, fails the unarchiving.
    bool requiresSecureCoding() const { return secure_; }
    bool containsValueForKey(std::string_view key) const;
    Value decodeObjectForKey(std::string_view key);
    Value decodeObjectOfClass(const Class& cls, std::string_view key);
    Value decodeObjectOfClasses(const std::vector<const Class*>& classes, std::string_view key);
    template <class T>
    std::shared_ptr<T> decodeObjectOfClass(std::string_view key) {
        return decodeObjectOfClass(T::classObject(), key).template asObject<T>();
    }
    bool decodeBoolForKey(std::string_view key);
    std::int32_t decodeInt32ForKey(std::string_view key);
    std::int64_t decodeInt64ForKey(std::string_view key);
    std::int64_t decodeIntegerForKey(std::string_view key);
    double decodeDoubleForKey(std::string_view key);
    float decodeFloatForKey(std::string_view key);
    Data decodeBytesForKey(std::string_view key);

    // Fails the unarchiving with this error (the first one wins); every later decode answers nil or zero.
    void failWithError(Error error);
    const std::optional<Error>& error() const { return error_; }

    KeyedUnarchiver(const KeyedUnarchiver&) = delete;
    KeyedUnarchiver& operator=(const KeyedUnarchiver&) = delete;

private:
    enum class State : std::uint8_t { Unread, Reading, Read };
    // The size of a decoded value's tree once shared references are expanded (see BinaryPropertyList.h).
    struct Extent {
        std::uint64_t weight = 1;
        std::size_t height = 0;  // collections and objects on the deepest path
    };
    struct Slot {
        State state = State::Unread;
        Value value;
        Extent extent;
    };

    explicit KeyedUnarchiver(bool secure) : secure_(secure) {}
    Value unarchive(const Data& data, const std::vector<const Class*>* classes, Error* error);
    bool open(const Data& data);
    void fail(std::string reason);
    const Value* entry(std::string_view key) const;
    const Value* numberEntry(std::string_view key);
    Value decodeReference(std::string_view key);
    Value object(std::uint64_t index, std::string_view key);
    const Class* classOf(const Value& entry, std::string_view key);
    bool isAllowed(const Class& cls) const;
    Value valueObject(std::string_view className, const Dictionary& entry, Extent& extent);
    Value codingObject(const Class& cls, const Dictionary& entry, Slot& slot);
    std::optional<Array> references(const Dictionary& entry, std::string_view key, Extent& extent);

    bool secure_;
    Value archive_;
    const Array* objects_ = nullptr;
    std::vector<Slot> slots_;
    std::uint64_t weightBudget_ = 0;
    // The keyed contents of the object being decoded; the first is "$top".
    std::vector<const Dictionary*> scopes_;
    std::vector<std::vector<const Class*>> allowed_;
    std::size_t depth_ = 0;
    std::optional<Error> error_;
};

}  // namespace ql::ns
