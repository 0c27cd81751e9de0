#include "storage/foundation/UTPropertyListLoading.h"

#include "platform/foundation/FileManager.h"
#include "platform/foundation/PropertyListSerialization.h"

namespace ql {

namespace {

// Only local files can be read here; other schemes answer the platform's unsupported-scheme error.
constexpr std::int64_t FileReadUnsupportedSchemeError = 262;

std::optional<ns::Data> readURL(const ns::URL& url, ns::Error* error) {
    if (!url.isFileURL()) {
        if (error) *error = ns::Error(std::string(ns::CocoaErrorDomain), FileReadUnsupportedSchemeError);
        return std::nullopt;
    }
    return ns::dataWithContentsOfFile(url.path(), ns::PropertyListSerialization::kMaxFileLength, error);
}

ns::Value parse(const ns::Data& data, ns::Error* error) {
    ns::Error parseError(std::string(), 0);
    ns::Value list = ns::PropertyListSerialization::propertyListWithData(data, ns::PropertyListImmutable, nullptr, &parseError);
    if (list.isNil() && error && !parseError.domain().empty()) *error = std::move(parseError);
    return list;
}

}  // namespace

std::optional<ns::Array> arrayWithContentsOfData(const ns::Data& data, ns::Error* error) {
    ns::Value list = parse(data, error);
    if (const ns::Array* array = list.asArray()) return *array;
    return std::nullopt;
}

std::optional<ns::Array> arrayWithContentsOfURL(const ns::URL& url, ns::Error* error) {
    auto data = readURL(url, error);
    if (!data) return std::nullopt;
    return arrayWithContentsOfData(*data, error);
}

std::optional<ns::Array> arrayWithContentsOfFile(const std::string& path, ns::Error* error) {
    return arrayWithContentsOfURL(ns::URL::fileURLWithPath(path, false), error);
}

std::optional<ns::Dictionary> dictionaryWithContentsOfData(const ns::Data& data, ns::Error* error) {
    ns::Value list = parse(data, error);
    if (const ns::Dictionary* dictionary = list.asDictionary()) return *dictionary;
    return std::nullopt;
}

std::optional<ns::Dictionary> dictionaryWithContentsOfURL(const ns::URL& url, ns::Error* error) {
    auto data = readURL(url, error);
    if (!data) return std::nullopt;
    return dictionaryWithContentsOfData(*data, error);
}

std::optional<ns::Dictionary> dictionaryWithContentsOfFile(const std::string& path, ns::Error* error) {
    return dictionaryWithContentsOfURL(ns::URL::fileURLWithPath(path, false), error);
}

}  // namespace ql
