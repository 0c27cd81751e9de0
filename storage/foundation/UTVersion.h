#pragma once
// UTVersion: an immutable dotted version number of up to four parts (major.minor.maintenance.build),
// parsed from text, compared numerically and printed in its shortest form; also the system's version and
// the app's build. Absent parts are 0, so 1.2 and 1.2.0.0 are one version.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Object.h"
#include "platform/foundation/Value.h"

namespace ql {

class UTVersion : public ns::Object {
    QL_OBJECT(UTVersion, ns::Object)

public:
    UTVersion() = default;
    UTVersion(std::uint64_t major, std::uint64_t minor, std::uint64_t maintenance, std::uint64_t build = 0)
        : major_(major), minor_(minor), maintenance_(maintenance), build_(build) {}

    std::uint64_t major() const { return major_; }
    std::uint64_t minor() const { return minor_; }
    std::uint64_t maintenance() const { return maintenance_; }
    std::uint64_t build() const { return build_; }

    // Nothing unless the text starts with one to four dot-separated digit groups, ending there or at a
    // whitespace character. A group too large for a signed 64-bit number reads as the largest one.
    static std::shared_ptr<UTVersion> versionWithString(std::optional<std::string_view> text);
    // The main bundle's "CFBundleVersion", read afresh each time.
    static std::shared_ptr<UTVersion> appBundleVersion();
    // The device's system version, parsed once per process.
    static std::shared_ptr<UTVersion> osVersion();
    static bool osVersionIsLessThen(std::optional<std::string_view> text);
    static bool osVersionIsGreaterThen(std::optional<std::string_view> text);

    // -1, 0 or 1, part by part; every version ranks above an absent one.
    int compare(const UTVersion* other) const;
    bool isLessThenVersion(const UTVersion* other) const { return compare(other) == -1; }
    bool isGreaterThenVersion(const UTVersion* other) const { return compare(other) == 1; }
    bool isLessThenVersionString(std::optional<std::string_view> text) const;
    bool isGreaterThenVersionString(std::optional<std::string_view> text) const;
    // An absent version counts as 0.0.0.0 here.
    bool isEqualToVersion(const UTVersion* other) const;
    bool isEqualToString(std::optional<std::string_view> text) const;
    // A version or a text; anything else is unequal.
    bool isEqual(const ns::Value& other) const;
    bool isEqual(const ns::Object& other) const override;
    std::uint64_t hash() const;

    // "1.2", "1.2.3" or "1.2.3.4": the shortest form that keeps every non-zero part from maintenance on.
    std::string description() const override;
    std::shared_ptr<ns::Object> copy() const override;

private:
    std::uint64_t major_ = 0;
    std::uint64_t minor_ = 0;
    std::uint64_t maintenance_ = 0;
    std::uint64_t build_ = 0;
};

}  // namespace ql
