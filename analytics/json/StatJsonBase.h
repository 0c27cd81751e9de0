#pragma once
// StatJsonBase: what the analytics client's JSON parser and writer share: the nesting limit and the trace
// of errors of the last call, innermost cause first, each error holding the one before it as its
// underlying error.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Error.h"
#include "platform/foundation/Object.h"

namespace ql {

inline constexpr std::string_view StatJsonErrorDomain = "com.ziviv.JSON.ErrorDomain";

enum class StatJsonErrorCode : std::int64_t {
    Unsupported = 1,       // a value that cannot be written
    BadNumber = 2,
    BadStructure = 3,
    NotContainer = 4,      // the top level is no object or array
    ControlCharacter = 5,  // raw, in a string
    BadUnicode = 6,
    TooDeep = 7,
    BadEscape = 8,
    TrailingComma = 9,
    Garbage = 10,          // text after the value
    EarlyEnd = 11,
    NoInput = 12,
};

class StatJsonBase : public ns::Object {
    QL_OBJECT(StatJsonBase, ns::Object)
public:
    static constexpr std::uint64_t DefaultMaxDepth = 512;
    // The stack guard: containers never nest deeper than this, whatever maxDepth says and also with the
    // limit switched off, since the parser and the writer recurse once per level, and so would the error
    // trace of a failure. Passing it fails with error 7 naming the guard rather than maxDepth.
    static constexpr std::uint64_t DepthCeiling = 2048;

    // 0 switches the limit off; the stack guard DepthCeiling still holds.
    std::uint64_t maxDepth() const { return maxDepth_; }
    void setMaxDepth(std::uint64_t maxDepth) { maxDepth_ = maxDepth; }

    // The errors of the last call, oldest first; empty when it succeeded.
    const std::vector<ns::Error>& errorTrace() const { return errorTrace_; }
    // Observers of "errorTrace" are told before and after each of these changes.
    void addErrorWithCode(StatJsonErrorCode code, std::string description);
    void clearErrorTrace();

    // "errorTrace" answers the trace as an array of errors, or nil when there is none.
    ns::Value valueForKey(std::string_view key) const override;

protected:
    // One more container is open; false (with error 7) when that is one too many.
    bool enterContainer();
    void leaveContainer() { --depth_; }
    void resetDepth() { depth_ = 0; }
    std::uint64_t depth() const { return depth_; }

private:
    std::uint64_t maxDepth_ = DefaultMaxDepth;
    std::uint64_t depth_ = 0;
    std::vector<ns::Error> errorTrace_;
};

}  // namespace ql
