#include "platform/net/DownloadResumeData.h"

#include "platform/foundation/PropertyListSerialization.h"
#include "platform/foundation/Sandbox.h"

namespace ql::ns {

namespace {

constexpr std::string_view kURLKey = "NSURLSessionDownloadURL";
constexpr std::string_view kBytesKey = "NSURLSessionResumeBytesReceived";
constexpr std::string_view kEntityTagKey = "NSURLSessionResumeEntityTag";
constexpr std::string_view kLastModifiedKey = "NSURLSessionResumeServerDownloadDate";
constexpr std::string_view kPathKey = "NSURLSessionResumeInfoLocalPath";
constexpr std::string_view kHeadersKey = "NSURLSessionResumeRequestHeaderFields";

constexpr std::string_view kDownloadFilePrefix = "download-";

// The fields that ask for a part: the resumed request sets its own.
bool isRangeField(std::string_view name) {
    return equalsIgnoringASCIICase(name, "Range") || equalsIgnoringASCIICase(name, "If-Range");
}

std::optional<std::string> text(const Dictionary& plist, std::string_view key) {
    const Value* value = plist.find(key);
    if (!value || !value->isString()) return std::nullopt;
    return std::string(value->asString());
}

}  // namespace

std::string downloadFilePattern() { return temporaryDirectory() + std::string(kDownloadFilePrefix) + "XXXXXX"; }

bool isDownloadFilePath(const std::string& path) {
    const std::string folder = temporaryDirectory() + std::string(kDownloadFilePrefix);
    if (!path.starts_with(folder)) return false;
    const std::string_view name = std::string_view(path).substr(folder.size());
    return !name.empty() && name.find('/') == std::string_view::npos && name != "." && name != "..";
}

std::optional<DownloadResumeData> DownloadResumeData::forDownload(const URLRequest& request,
                                                                  const HTTPURLResponse& response,
                                                                  std::int64_t bytesReceived,
                                                                  std::string partialFilePath) {
    const auto& url = response.URL() ? response.URL() : request.URL();
    if (!url || bytesReceived <= 0 || request.HTTPMethod() != "GET" || !isDownloadFilePath(partialFilePath))
        return std::nullopt;
    if (response.statusCode() != 200 && response.statusCode() != 206) return std::nullopt;
    // Ranges count the bytes as sent, not as decoded.
    const auto encoding = response.valueForHTTPHeaderField("Content-Encoding");
    if (encoding && !equalsIgnoringASCIICase(*encoding, "identity")) return std::nullopt;
    DownloadResumeData resume(*url);
    resume.entityTag = response.valueForHTTPHeaderField("ETag");
    resume.lastModified = response.valueForHTTPHeaderField("Last-Modified");
    if (!resume.validator()) return std::nullopt;
    for (const auto& [name, value] : request.headerFields().fields())
        if (!isRangeField(name)) resume.headerFields.set(name, value);
    resume.bytesReceived = bytesReceived;
    resume.partialFilePath = std::move(partialFilePath);
    return resume;
}

std::optional<DownloadResumeData> DownloadResumeData::fromData(const Data& data) {
    const Value plist = PropertyListSerialization::propertyListWithData(data, PropertyListImmutable, nullptr, nullptr);
    const Dictionary* entries = plist.asDictionary();
    if (!entries) return std::nullopt;
    const auto urlText = text(*entries, kURLKey);
    const auto url = urlText ? URL::fromString(*urlText) : std::nullopt;
    const auto path = text(*entries, kPathKey);
    const Value* bytes = entries->find(kBytesKey);
    if (!url || !path || !isDownloadFilePath(*path) || !bytes || !bytes->isNumber() || bytes->int64Value() <= 0)
        return std::nullopt;
    DownloadResumeData resume(*url);
    resume.partialFilePath = *path;
    resume.bytesReceived = bytes->int64Value();
    resume.entityTag = text(*entries, kEntityTagKey);
    resume.lastModified = text(*entries, kLastModifiedKey);
    if (!resume.validator()) return std::nullopt;
    if (const Value* headers = entries->find(kHeadersKey); headers && headers->asDictionary()) {
        const HTTPHeaderFields fields = HTTPHeaderFields::fromDictionary(*headers->asDictionary());
        for (const auto& [name, value] : fields.fields())
            if (!isRangeField(name)) resume.headerFields.set(name, value);
    }
    return resume;
}

Data DownloadResumeData::data() const {
    Dictionary entries;
    entries.set(std::string(kURLKey), Value(url.absoluteString()));
    entries.set(std::string(kBytesKey), Value(bytesReceived));
    entries.set(std::string(kPathKey), Value(partialFilePath));
    if (entityTag) entries.set(std::string(kEntityTagKey), Value(*entityTag));
    if (lastModified) entries.set(std::string(kLastModifiedKey), Value(*lastModified));
    entries.set(std::string(kHeadersKey), Value(headerFields.dictionary()));
    return PropertyListSerialization::dataWithPropertyList(Value(std::move(entries)), PropertyListFormat::XML, nullptr)
        .value_or(Data());
}

URLRequest DownloadResumeData::request() const {
    URLRequest request(url);
    for (const auto& [name, value] : headerFields.fields()) request.setValue(value, name);
    return request;
}

}  // namespace ql::ns
