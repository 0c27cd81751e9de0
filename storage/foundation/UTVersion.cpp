#include "storage/foundation/UTVersion.h"

#include <array>
#include <cctype>
#include <limits>
#include <mutex>

#include "platform/foundation/Bundle.h"
#include "platform/ui/Device.h"

namespace ql {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The platform's integer reading of a digit group: saturates at the largest signed 64-bit value.
std::uint64_t groupValue(std::string_view digits) {
    constexpr auto limit = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
    std::uint64_t value = 0;
    for (char c : digits) {
        auto digit = static_cast<std::uint64_t>(c - '0');
        if (value > (limit - digit) / 10) return limit;
        value = value * 10 + digit;
    }
    return value;
}

}  // namespace

std::shared_ptr<UTVersion> UTVersion::versionWithString(std::optional<std::string_view> text) {
    if (!text) return nullptr;
    std::array<std::uint64_t, 4> parts{};
    std::size_t at = 0;
    for (std::size_t part = 0; part < parts.size(); ++part) {
        std::size_t start = at;
        if (part > 0) {
            if (at >= text->size() || (*text)[at] != '.' || at + 1 >= text->size() || !isDigit((*text)[at + 1])) break;
            start = ++at;
        }
        while (at < text->size() && isDigit((*text)[at])) ++at;
        if (at == start) return nullptr;  // only the first group can be missing here
        parts[part] = groupValue(text->substr(start, at - start));
    }
    if (at < text->size() && !std::isspace(static_cast<unsigned char>((*text)[at]))) return nullptr;
    return std::make_shared<UTVersion>(parts[0], parts[1], parts[2], parts[3]);
}

std::shared_ptr<UTVersion> UTVersion::appBundleVersion() {
    ns::Value version = ns::Bundle::main().objectForInfoDictionaryKey("CFBundleVersion");
    if (!version.isString()) return nullptr;
    return versionWithString(version.asString());
}

std::shared_ptr<UTVersion> UTVersion::osVersion() {
    static const auto& version =
        *new std::shared_ptr<UTVersion>(versionWithString(ui::Device::currentDevice().systemVersion()));
    return version;
}

bool UTVersion::osVersionIsLessThen(std::optional<std::string_view> text) {
    auto version = osVersion();
    return version && version->isLessThenVersionString(text);
}

bool UTVersion::osVersionIsGreaterThen(std::optional<std::string_view> text) {
    auto version = osVersion();
    return version && version->isGreaterThenVersionString(text);
}

int UTVersion::compare(const UTVersion* other) const {
    if (!other) return 1;
    const std::array<std::uint64_t, 4> mine{major_, minor_, maintenance_, build_};
    const std::array<std::uint64_t, 4> theirs{other->major_, other->minor_, other->maintenance_, other->build_};
    for (std::size_t i = 0; i < mine.size(); ++i) {
        if (mine[i] != theirs[i]) return mine[i] < theirs[i] ? -1 : 1;
    }
    return 0;
}

bool UTVersion::isLessThenVersionString(std::optional<std::string_view> text) const {
    return isLessThenVersion(versionWithString(text).get());
}

bool UTVersion::isGreaterThenVersionString(std::optional<std::string_view> text) const {
    return isGreaterThenVersion(versionWithString(text).get());
}

bool UTVersion::isEqualToVersion(const UTVersion* other) const {
    const UTVersion zero;
    const UTVersion& that = other ? *other : zero;
    return major_ == that.major_ && minor_ == that.minor_ && maintenance_ == that.maintenance_ && build_ == that.build_;
}

bool UTVersion::isEqualToString(std::optional<std::string_view> text) const {
    return isEqualToVersion(versionWithString(text).get());
}

bool UTVersion::isEqual(const ns::Value& other) const {
    if (other.isString()) return isEqualToString(other.asString());
    auto version = other.asObject<UTVersion>();
    return version && isEqualToVersion(version.get());
}

bool UTVersion::isEqual(const ns::Object& other) const {
    const auto* version = dynamic_cast<const UTVersion*>(&other);
    return version && isEqualToVersion(version);
}

std::uint64_t UTVersion::hash() const { return ((major_ * 31 + minor_) * 31 + maintenance_) * 31 + build_; }

std::string UTVersion::description() const {
    // Parts print unsigned: a part beyond 32 bits must not come out negative or cut.
    std::string text = std::to_string(major_) + "." + std::to_string(minor_);
    if (build_ != 0) return text + "." + std::to_string(maintenance_) + "." + std::to_string(build_);
    if (maintenance_ != 0) return text + "." + std::to_string(maintenance_);
    return text;
}

std::shared_ptr<ns::Object> UTVersion::copy() const {
    return std::make_shared<UTVersion>(major_, minor_, maintenance_, build_);
}

}  // namespace ql
