#include "storage/foundation/UTPaths.h"

#include <cstdint>
#include <limits>
#include <optional>

#include "platform/foundation/Sandbox.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/UUID.h"

namespace ql {

namespace {

struct SplitPath {
    std::string_view base;       // the path without its extension
    std::string_view extension;  // without the dot; empty when none
};

SplitPath split(std::string_view path) {
    const std::string extension = ns::pathExtension(path);
    if (extension.empty() || path.size() <= extension.size() || path.back() == '/') return {path, {}};
    return {path.substr(0, path.size() - extension.size() - 1), path.substr(path.size() - extension.size())};
}

// Where "(digits)" closes the base, the position of its "(".
std::optional<std::size_t> sequenceStart(std::string_view base) {
    if (base.size() < 3 || base.back() != ')') return std::nullopt;
    std::size_t at = base.size() - 1;
    while (at > 0 && base[at - 1] >= '0' && base[at - 1] <= '9') --at;
    if (at == base.size() - 1 || at == 0 || base[at - 1] != '(') return std::nullopt;
    return at - 1;
}

std::string joined(std::string_view base, std::string_view extension) {
    std::string path(base);
    if (!extension.empty()) path.append(".").append(extension);
    return path;
}

}  // namespace

const std::string& cachesPath() {
    static const auto& path =
        *new std::string(ns::searchPathForDirectoriesInDomains(ns::CachesDirectory, ns::UserDomainMask, true).back());
    return path;
}

const std::string& documentsPath() {
    static const auto& path =
        *new std::string(ns::searchPathForDirectoriesInDomains(ns::DocumentDirectory, ns::UserDomainMask, true).back());
    return path;
}

const std::string& temporaryPath() {
    static const auto& path = *new std::string(ns::temporaryDirectory());
    return path;
}

std::string pathForTemporaryFile() {
    std::string path = temporaryPath();
    if (path.empty() || path.back() != '/') path.push_back('/');
    return path + ns::UUID().UUIDString();
}

std::string pathByDeletingSequenceNumber(std::string_view path) {
    // Only the number closing the name goes; the same text elsewhere in the path stays.
    const SplitPath parts = split(path);
    auto start = sequenceStart(parts.base);
    if (!start) return std::string(path);
    return joined(parts.base.substr(0, *start), parts.extension);
}

std::string pathByIncrementingSequenceNumber(std::string_view path) {
    const SplitPath parts = split(path);
    constexpr auto largest = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
    std::uint64_t number = 0;
    std::string_view base = parts.base;
    if (auto start = sequenceStart(base)) {
        for (char c : base.substr(*start + 1, base.size() - *start - 2)) {
            auto digit = static_cast<std::uint64_t>(c - '0');
            number = number > (largest - digit) / 10 ? largest : number * 10 + digit;
        }
        base = base.substr(0, *start);
    }
    const std::uint64_t next = number == largest ? largest : number + 1;
    return joined(std::string(base) + "(" + std::to_string(next) + ")", parts.extension);
}

}  // namespace ql
