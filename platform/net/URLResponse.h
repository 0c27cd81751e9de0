#pragma once
// ns::URLResponse and ns::HTTPURLResponse: what a load learned about its reply before the body, after the
// platform's response classes. Responses are immutable once made, so they may be shared across threads.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Object.h"
#include "platform/foundation/URL.h"
#include "platform/net/HTTPHeaderFields.h"

namespace ql::ns {

// The platform's "size unknown".
inline constexpr std::int64_t URLResponseUnknownLength = -1;

// The parts of a Content-Type value: the lower-case MIME type and the charset parameter, if any.
struct ContentType {
    std::optional<std::string> mimeType;
    std::optional<std::string> charset;
};
ContentType parseContentType(std::string_view value);

class URLResponse : public Object {
    QL_OBJECT_NAMED(URLResponse, Object, "NSURLResponse")
public:
    URLResponse(std::optional<ns::URL> url, std::optional<std::string> MIMEType, std::int64_t expectedContentLength,
                std::optional<std::string> textEncodingName);

    const std::optional<ns::URL>& URL() const { return url_; }
    // Lower-case "type/subtype" without parameters; nothing when the reply named none.
    const std::optional<std::string>& MIMEType() const { return mimeType_; }
    // -1 when the reply did not tell its length.
    std::int64_t expectedContentLength() const { return expectedLength_; }
    // The charset the reply named, as written; nothing when it named none.
    const std::optional<std::string>& textEncodingName() const { return encodingName_; }
    // A name for saving the body: the reply's own file name, else the URL's last path component, else its
    // host, else "Unknown".
    virtual std::string suggestedFilename() const;

    std::string description() const override;

private:
    std::optional<ns::URL> url_;
    std::optional<std::string> mimeType_;
    std::int64_t expectedLength_;
    std::optional<std::string> encodingName_;
};

class HTTPURLResponse final : public URLResponse {
    QL_OBJECT_NAMED(HTTPURLResponse, URLResponse, "NSHTTPURLResponse")
public:
    // MIME type, text encoding and expected length come from the header fields.
    HTTPURLResponse(ns::URL url, std::int64_t statusCode, std::optional<std::string> HTTPVersion,
                    HTTPHeaderFields headerFields);

    std::int64_t statusCode() const { return statusCode_; }
    const std::optional<std::string>& HTTPVersion() const { return version_; }
    // Field names as the server wrote them; repeated fields joined with ", ". Look fields up with
    // valueForHTTPHeaderField, which ignores case.
    Dictionary allHeaderFields() const { return headers_.dictionary(); }
    const HTTPHeaderFields& headerFields() const { return headers_; }
    std::optional<std::string> valueForHTTPHeaderField(std::string_view field) const { return headers_.value(field); }

    std::string suggestedFilename() const override;
    std::string description() const override;

    // The platform's short phrase for a status ("not found" for 404), by class for codes it does not name.
    static std::string localizedStringForStatusCode(std::int64_t statusCode);

private:
    HTTPURLResponse(ns::URL url, std::int64_t statusCode, std::optional<std::string> HTTPVersion,
                    HTTPHeaderFields&& headerFields, ContentType contentType);

    std::int64_t statusCode_;
    std::optional<std::string> version_;
    HTTPHeaderFields headers_;
};

}  // namespace ql::ns
