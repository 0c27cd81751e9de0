#pragma once
// What a cancelled download keeps so that a later download task can ask only for the rest: the URL and
// header fields of its request, how many bytes its partial file holds, the reply's validator, and that
// file. It travels as a property list, and is read back as untrusted input: a file outside the sandbox's
// temporary downloads is never named by it. Internal to the loading system.

#include <cstdint>
#include <optional>
#include <string>

#include "platform/foundation/Data.h"
#include "platform/foundation/URL.h"
#include "platform/net/HTTPHeaderFields.h"
#include "platform/net/URLRequest.h"
#include "platform/net/URLResponse.h"

namespace ql::ns {

struct DownloadResumeData {
    explicit DownloadResumeData(URL resourceURL) : url(std::move(resourceURL)) {}

    URL url;
    HTTPHeaderFields headerFields;  // of the request, without its range fields
    std::int64_t bytesReceived = 0;
    std::string partialFilePath;
    std::optional<std::string> entityTag;
    std::optional<std::string> lastModified;

    // What a download whose request, reply and partial file these are keeps, or nothing when its reply
    // cannot be asked for in part: no bytes yet, a reply that is no plain 200 or 206 (compressed, say),
    // a request other than GET, or no validator to tell the same resource again.
    static std::optional<DownloadResumeData> forDownload(const URLRequest& request, const HTTPURLResponse& response,
                                                         std::int64_t bytesReceived, std::string partialFilePath);
    // Nothing when the data is no resume data, or names a file that no download made.
    static std::optional<DownloadResumeData> fromData(const Data& data);
    Data data() const;

    // The request that asks for the whole resource again, as the download's own.
    URLRequest request() const;
    // The "If-Range" value: the entity tag when the reply had one, else its date of last change.
    std::optional<std::string> validator() const { return entityTag ? entityTag : lastModified; }
};

// Where downloads keep their files while they run: "<tmp>/download-XXXXXX".
std::string downloadFilePattern();
// Whether a path names such a file.
bool isDownloadFilePath(const std::string& path);

}  // namespace ql::ns
