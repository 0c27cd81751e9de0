#pragma once
// Building a multipart/form-data body. NetMultipartFormData is what a caller's block sees: operations that
// append form fields, data, files and streams as parts. NetStreamingMultipartFormData implements it over a
// NetMultipartBodyStream and finally puts that stream and its header fields on the request.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "net/NetMultipartBodyStream.h"
#include "platform/foundation/Data.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/Object.h"
#include "platform/foundation/Stream.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/Value.h"
#include "platform/net/URLRequest.h"

namespace ql {

class NetMultipartFormData {
public:
    virtual ~NetMultipartFormData() = default;

    // A file part named after the file, typed by its extension ("application/octet-stream" for unknown
    // ones). False (and why) when the URL is no file URL or the file cannot be reached or examined.
    virtual bool appendPartWithFileURL(const ns::URL& fileURL, std::string_view name,
                                       std::optional<ns::Error>* error = nullptr) = 0;
    virtual bool appendPartWithFileURL(const ns::URL& fileURL, std::string_view name, std::string_view fileName,
                                       std::string_view mimeType, std::optional<ns::Error>* error = nullptr) = 0;
    // A part read from the stream while the body is sent; `length` is the byte count it must deliver. An
    // empty MIME type leaves out the part's "Content-Type".
    virtual void appendPartWithInputStream(std::shared_ptr<ns::InputStream> inputStream, std::string_view name,
                                           std::string_view fileName, std::uint64_t length,
                                           std::string_view mimeType) = 0;
    virtual void appendPartWithFileData(const ns::Data& data, std::string_view name, std::string_view fileName,
                                        std::string_view mimeType) = 0;
    virtual void appendPartWithFormData(const ns::Data& data, std::string_view name) = 0;
    virtual void appendPartWithHeaders(const ns::Dictionary& headers, const ns::Data& body) = 0;
    virtual void throttleBandwidthWithPacketSize(std::uint64_t numberOfBytes, double delay) = 0;
};

// The error a file part reports when its URL is unusable (code −1000 of the request-serialization domain).
inline constexpr std::int64_t NetMultipartFileErrorCode = -1000;

class NetStreamingMultipartFormData final : public ns::Object, public NetMultipartFormData {
    QL_OBJECT(NetStreamingMultipartFormData, ns::Object)
public:
    // Keeps its own copy of the request; makes a fresh boundary.
    NetStreamingMultipartFormData(const ns::URLRequest& request, std::uint64_t stringEncoding);

    const ns::URLRequest& request() const { return request_; }
    std::uint64_t stringEncoding() const { return stringEncoding_; }
    // "Boundary+" and sixteen upper-case hexadecimal digits.
    const std::string& boundary() const { return boundary_; }
    const std::shared_ptr<NetMultipartBodyStream>& bodyStream() const { return bodyStream_; }

    bool appendPartWithFileURL(const ns::URL& fileURL, std::string_view name,
                               std::optional<ns::Error>* error = nullptr) override;
    bool appendPartWithFileURL(const ns::URL& fileURL, std::string_view name, std::string_view fileName,
                               std::string_view mimeType, std::optional<ns::Error>* error = nullptr) override;
    void appendPartWithInputStream(std::shared_ptr<ns::InputStream> inputStream, std::string_view name,
                                   std::string_view fileName, std::uint64_t length, std::string_view mimeType) override;
    void appendPartWithFileData(const ns::Data& data, std::string_view name, std::string_view fileName,
                                std::string_view mimeType) override;
    void appendPartWithFormData(const ns::Data& data, std::string_view name) override;
    void appendPartWithHeaders(const ns::Dictionary& headers, const ns::Data& body) override;
    void throttleBandwidthWithPacketSize(std::uint64_t numberOfBytes, double delay) override;

    // The request with the body stream, "Content-Type" (with the boundary) and "Content-Length"; the
    // request unchanged when no part was appended.
    ns::URLRequest requestByFinalizingMultipartFormData();

private:
    void appendPart(ns::Dictionary headers, NetHTTPBodyPart::Body body, std::uint64_t length);

    ns::URLRequest request_;
    const std::uint64_t stringEncoding_;
    const std::string boundary_;
    const std::shared_ptr<NetMultipartBodyStream> bodyStream_;
};

// Opens both streams and copies the input (none: nothing) into the output in slices of 1024 bytes, giving
// the output whatever it did not take at once again; then closes both. Nothing, or the first error of
// either stream (a stream that fails without saying why still fails the copy).
std::optional<ns::Error> NetCopyStreamContents(const std::shared_ptr<ns::InputStream>& input, ns::OutputStream& output);

}  // namespace ql
