#include "net/NetMultipartFormData.h"

#include <cerrno>
#include <cstdio>
#include <random>

#include "net/NetHTTPRequestSerializer.h"
#include "net/NetMIMEType.h"
#include "net/NetQueryString.h"
#include "net/NetStringEncoding.h"
#include "net/NetStrings.h"
#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/FileManager.h"

namespace ql {

namespace {

std::string makeBoundary() {
    thread_local std::mt19937 generator{std::random_device{}()};
    std::uniform_int_distribution<std::uint32_t> random;
    char text[32];
    std::snprintf(text, sizeof text, "Boundary+%08X%08X", random(generator), random(generator));
    return text;
}

ns::Error fileURLError(std::string_view reason) {
    return ns::Error(std::string(NetURLRequestSerializationErrorDomain), NetMultipartFileErrorCode,
                     {{std::string(ns::LocalizedFailureReasonErrorKey), ns::Value(NetLocalizedString(reason))}});
}

ns::Dictionary fileHeaders(std::string_view name, std::string_view fileName, std::string_view mimeType) {
    ns::Dictionary headers;
    headers.set("Content-Disposition",
                ns::Value("form-data; name=\"" + std::string(name) + "\"; filename=\"" + std::string(fileName) + "\""));
    if (!mimeType.empty()) headers.set("Content-Type", ns::Value(mimeType));
    return headers;
}

}  // namespace

NetStreamingMultipartFormData::NetStreamingMultipartFormData(const ns::URLRequest& request,
                                                             std::uint64_t stringEncoding)
    : request_(request),
      stringEncoding_(stringEncoding),
      boundary_(makeBoundary()),
      bodyStream_(std::make_shared<NetMultipartBodyStream>(stringEncoding)) {}

bool NetStreamingMultipartFormData::appendPartWithFileURL(const ns::URL& fileURL, std::string_view name,
                                                          std::optional<ns::Error>* error) {
    const std::string mimeType =
        NetMIMETypeForPathExtension(fileURL.pathExtension()).value_or("application/octet-stream");
    return appendPartWithFileURL(fileURL, name, fileURL.lastPathComponent(), mimeType, error);
}

bool NetStreamingMultipartFormData::appendPartWithFileURL(const ns::URL& fileURL, std::string_view name,
                                                          std::string_view fileName, std::string_view mimeType,
                                                          std::optional<ns::Error>* error) {
    if (!fileURL.isFileURL()) {
        if (error) *error = fileURLError("Expected URL to be a file URL");
        return false;
    }
    const std::string path = fileURL.path();
    if (!ns::FileManager::defaultManager().fileExistsAtPath(path)) {
        if (error) *error = fileURLError("File URL not reachable.");
        return false;
    }
    ns::Error attributesError(std::string(ns::CocoaErrorDomain), ns::FileReadUnknownError);
    const auto attributes = ns::FileManager::defaultManager().attributesOfItemAtPath(path, &attributesError);
    if (!attributes) {
        if (error) *error = std::move(attributesError);
        return false;
    }
    appendPart(fileHeaders(name, fileName, mimeType), fileURL, attributes->size);
    return true;
}

void NetStreamingMultipartFormData::appendPartWithInputStream(std::shared_ptr<ns::InputStream> inputStream,
                                                              std::string_view name, std::string_view fileName,
                                                              std::uint64_t length, std::string_view mimeType) {
    appendPart(fileHeaders(name, fileName, mimeType), std::move(inputStream), length);
}

void NetStreamingMultipartFormData::appendPartWithFileData(const ns::Data& data, std::string_view name,
                                                           std::string_view fileName, std::string_view mimeType) {
    appendPartWithHeaders(fileHeaders(name, fileName, mimeType), data);
}

void NetStreamingMultipartFormData::appendPartWithFormData(const ns::Data& data, std::string_view name) {
    appendPartWithHeaders({{"Content-Disposition", ns::Value("form-data; name=\"" + std::string(name) + "\"")}}, data);
}

void NetStreamingMultipartFormData::appendPartWithHeaders(const ns::Dictionary& headers, const ns::Data& body) {
    appendPart(headers, body, body.length());
}

void NetStreamingMultipartFormData::appendPart(ns::Dictionary headers, NetHTTPBodyPart::Body body,
                                               std::uint64_t length) {
    bodyStream_->appendHTTPBodyPart(
        std::make_shared<NetHTTPBodyPart>(stringEncoding_, std::move(headers), boundary_, std::move(body), length));
}

void NetStreamingMultipartFormData::throttleBandwidthWithPacketSize(std::uint64_t numberOfBytes, double delay) {
    bodyStream_->setNumberOfBytesInPacket(numberOfBytes);
    bodyStream_->setDelay(delay);
}

ns::URLRequest NetStreamingMultipartFormData::requestByFinalizingMultipartFormData() {
    if (bodyStream_->isEmpty()) return request_;
    bodyStream_->setInitialAndFinalBoundaries();
    request_.setHTTPBodyStream(bodyStream_);
    request_.setValue("multipart/form-data; boundary=" + boundary_, "Content-Type");
    request_.setValue(std::to_string(bodyStream_->contentLength()), "Content-Length");
    return request_;
}

std::optional<ns::URLRequest> NetHTTPRequestSerializer::multipartFormRequestWithMethod(
    std::string_view method, std::string_view URLString, const ns::Value& parameters, const ConstructingBodyBlock& block,
    std::optional<ns::Error>* error) const {
    std::optional<ns::URLRequest> request = requestWithMethod(method, URLString, ns::Value(), error);
    if (!request) return std::nullopt;

    auto formData = std::make_shared<NetStreamingMultipartFormData>(*request, NetUTF8StringEncoding);
    if (!parameters.isNil()) {
        for (const NetQueryStringPair& pair : NetFlattenedQueryPairs(std::nullopt, parameters)) {
            std::optional<ns::Data> data;
            if (const ns::Data* bytes = pair.value().asData()) data = *bytes;
            else if (pair.value().isNull()) data = ns::Data();
            else data = NetEncodeText(NetQueryTextForm(pair.value()), stringEncoding());
            if (data) formData->appendPartWithFormData(*data, NetQueryTextForm(pair.field()));
        }
    }
    if (block) block(*formData);
    return formData->requestByFinalizingMultipartFormData();
}

namespace {

ns::Error ioError() { return ns::Error(std::string(ns::POSIXErrorDomain), EIO); }

}  // namespace

std::optional<ns::Error> NetCopyStreamContents(const std::shared_ptr<ns::InputStream>& input, ns::OutputStream& output) {
    // Streams here are read and written directly, so neither needs a run loop.
    output.open();
    if (!input) {
        output.close();
        return output.streamError();
    }
    input->open();

    std::optional<ns::Error> error;
    std::uint8_t buffer[1024];
    while (!error && input->hasBytesAvailable() && output.hasSpaceAvailable()) {
        const std::int64_t bytesRead = input->read(buffer, sizeof buffer);
        if (input->streamError() || bytesRead < 0) {
            error = input->streamError().value_or(ioError());
            break;
        }
        // A file may take fewer bytes than offered: the rest of the chunk must still reach it.
        std::int64_t bytesWritten = 0;
        while (bytesWritten < bytesRead) {
            const std::int64_t count =
                output.write(buffer + bytesWritten, static_cast<std::size_t>(bytesRead - bytesWritten));
            if (output.streamError() || count <= 0) {
                error = output.streamError().value_or(ioError());
                break;
            }
            bytesWritten += count;
        }
        if (bytesRead == 0) break;
    }
    if (!error) error = input->streamError();
    if (!error) error = output.streamError();
    output.close();
    input->close();
    return error;
}

ns::URLRequest NetHTTPRequestSerializer::requestWithMultipartFormRequest(const ns::URLRequest& request,
                                                                         const ns::URL& fileURL,
                                                                         WriteCompletionHandler handler) const {
    std::shared_ptr<ns::InputStream> input = request.HTTPBodyStream();
    std::shared_ptr<ns::OutputStream> output = ns::OutputStream::outputStreamWithURL(fileURL, false);
    const std::string target = fileURL.absoluteString();
    ns::DispatchQueue::global()->async([input, output, target, handler = std::move(handler)] {
        const std::optional<ns::Error> error =
            output ? NetCopyStreamContents(input, *output) : ns::fileError(ns::FileWriteInvalidFileNameError, target);
        if (handler) ns::DispatchQueue::main()->async([handler, error] { handler(error); });
    });
    ns::URLRequest copy = request;
    copy.setHTTPBodyStream(nullptr);
    return copy;
}

}  // namespace ql
