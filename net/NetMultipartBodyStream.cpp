#include "net/NetMultipartBodyStream.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "net/NetStringEncoding.h"
#include "platform/net/URLError.h"

namespace ql {

namespace {

constexpr std::string_view kCRLF = "\r\n";

// Texts that the encoding cannot carry are left out on both sides (length and bytes), so the two agree.
ns::Data encoded(const std::string& text, std::uint64_t encoding) {
    return NetEncodeText(text, encoding).value_or(ns::Data());
}

bool isReadable(ns::StreamStatus status) {
    switch (status) {
        case ns::StreamStatus::NotOpen:
        case ns::StreamStatus::Opening:
        case ns::StreamStatus::Open:
        case ns::StreamStatus::Reading:
        case ns::StreamStatus::Writing: return true;
        default: return false;
    }
}

ns::Error exhaustedError() { return ns::urlError(ns::URLErrorRequestBodyStreamExhausted, std::nullopt); }

}  // namespace

NetHTTPBodyPart::NetHTTPBodyPart(std::uint64_t stringEncoding, ns::Dictionary headers, std::string boundary, Body body,
                                 std::uint64_t bodyContentLength)
    : stringEncoding_(stringEncoding),
      headers_(std::move(headers)),
      boundary_(std::move(boundary)),
      body_(std::move(body)),
      bodyContentLength_(bodyContentLength) {
    initialBoundaryText_ = encoded("--" + boundary_ + std::string(kCRLF), stringEncoding_);
    encapsulationText_ = encoded(std::string(kCRLF) + "--" + boundary_ + std::string(kCRLF), stringEncoding_);
    std::string headerBlock;
    for (const auto& [name, value] : headers_) headerBlock += name + ": " + value.stringValue() + std::string(kCRLF);
    headerBlock += kCRLF;
    headersText_ = encoded(headerBlock, stringEncoding_);
    finalBoundaryText_ = encoded(std::string(kCRLF) + "--" + boundary_ + "--" + std::string(kCRLF), stringEncoding_);
}

NetHTTPBodyPart::~NetHTTPBodyPart() {
    if (inputStream_) inputStream_->close();
}

std::shared_ptr<NetHTTPBodyPart> NetHTTPBodyPart::copy() const {
    return std::make_shared<NetHTTPBodyPart>(stringEncoding_, headers_, boundary_, body_, bodyContentLength_);
}

const ns::Data& NetHTTPBodyPart::closingBoundary() const {
    static const auto& none = *new ns::Data;
    return hasFinalBoundary_ ? finalBoundaryText_ : none;
}

std::uint64_t NetHTTPBodyPart::contentLength() const {
    return openingBoundary().length() + headersText_.length() + bodyContentLength_ + closingBoundary().length();
}

const std::shared_ptr<ns::InputStream>& NetHTTPBodyPart::inputStream() {
    if (!inputStream_) {
        if (const auto* data = std::get_if<ns::Data>(&body_)) {
            inputStream_ = ns::InputStream::inputStreamWithData(*data);
        } else if (const auto* url = std::get_if<ns::URL>(&body_)) {
            inputStream_ = ns::InputStream::inputStreamWithURL(*url);
        } else {
            inputStream_ = std::get<std::shared_ptr<ns::InputStream>>(body_);
        }
        // A URL that names no file has no stream; an empty one stands in, and reading the part then
        // reports the missing bytes.
        if (!inputStream_) inputStream_ = ns::InputStream::inputStreamWithData(ns::Data());
    }
    return inputStream_;
}

bool NetHTTPBodyPart::hasBytesAvailable() {
    if (phase_ == FinalBoundaryPhase) return true;
    if (complete_ || error_) return false;
    return isReadable(inputStream()->streamStatus());
}

std::int64_t NetHTTPBodyPart::read(std::uint8_t* buffer, std::size_t length) {
    if (error_) return -1;
    std::size_t total = 0;
    if (phase_ == EncapsulationBoundaryPhase) total += readText(openingBoundary(), buffer, length);
    if (phase_ == HeaderPhase) total += readText(headersText_, buffer + total, length - total);
    if (phase_ == BodyPhase) {
        const std::int64_t count = readBody(buffer + total, length - total);
        if (count < 0) return -1;
        total += static_cast<std::size_t>(count);
    }
    if (phase_ == FinalBoundaryPhase) total += readText(closingBoundary(), buffer + total, length - total);
    return static_cast<std::int64_t>(total);
}

std::int64_t NetHTTPBodyPart::readText(const ns::Data& text, std::uint8_t* buffer, std::size_t length) {
    const std::size_t count = std::min<std::size_t>(text.length() - phaseReadOffset_, length);
    if (count > 0) std::memcpy(buffer, text.bytes() + phaseReadOffset_, count);
    phaseReadOffset_ += count;
    if (phaseReadOffset_ >= text.length()) transitionToNextPhase();
    return static_cast<std::int64_t>(count);
}

// Delivers exactly the announced number of body bytes: a body that fails or ends before that fails the
// part, and bytes beyond it are not sent.
std::int64_t NetHTTPBodyPart::readBody(std::uint8_t* buffer, std::size_t length) {
    const std::shared_ptr<ns::InputStream>& stream = inputStream();
    const std::size_t wanted = static_cast<std::size_t>(std::min<std::uint64_t>(length, bodyContentLength_ - bodyBytesRead_));
    std::int64_t count = 0;
    if (wanted > 0) {
        count = stream->read(buffer, wanted);
        if (count < 0) return fail(stream->streamError());
        bodyBytesRead_ += static_cast<std::uint64_t>(count);
    }
    if (bodyBytesRead_ == bodyContentLength_) {
        transitionToNextPhase();
        return count;
    }
    const ns::StreamStatus status = stream->streamStatus();
    if (status == ns::StreamStatus::Error) return fail(stream->streamError());
    if ((wanted > 0 && count == 0) || !isReadable(status)) return fail(std::nullopt);
    return count;
}

std::int64_t NetHTTPBodyPart::fail(std::optional<ns::Error> error) {
    error_ = error ? std::move(*error) : exhaustedError();
    return -1;
}

// The body's stream is opened and closed on the reading thread: streams here need no run loop, and the
// reader must never wait for another thread (the main thread may itself be waiting for the upload).
void NetHTTPBodyPart::transitionToNextPhase() {
    switch (phase_) {
        case EncapsulationBoundaryPhase: phase_ = HeaderPhase; break;
        case HeaderPhase:
            inputStream()->open();
            phase_ = BodyPhase;
            break;
        case BodyPhase:
            inputStream()->close();
            phase_ = FinalBoundaryPhase;
            break;
        case FinalBoundaryPhase:
            phase_ = EncapsulationBoundaryPhase;
            complete_ = true;
            break;
    }
    phaseReadOffset_ = 0;
}

void NetMultipartBodyStream::setInitialAndFinalBoundaries() {
    for (const auto& part : parts_) {
        part->setHasInitialBoundary(false);
        part->setHasFinalBoundary(false);
    }
    if (!parts_.empty()) {
        parts_.front()->setHasInitialBoundary(true);
        parts_.back()->setHasFinalBoundary(true);
    }
}

std::uint64_t NetMultipartBodyStream::contentLength() const {
    std::uint64_t length = 0;
    for (const auto& part : parts_) length += part->contentLength();
    return length;
}

void NetMultipartBodyStream::open() {
    if (streamStatus() != ns::StreamStatus::NotOpen) return;
    setStreamStatus(ns::StreamStatus::Open);
    setInitialAndFinalBoundaries();
    nextPart_ = 0;
    currentPart_ = nullptr;
}

std::int64_t NetMultipartBodyStream::read(std::uint8_t* buffer, std::size_t maxLength) {
    const ns::StreamStatus status = streamStatus();
    if (status == ns::StreamStatus::Closed) return 0;
    if (status != ns::StreamStatus::Open) return -1;

    std::size_t total = 0;
    const std::size_t limit = static_cast<std::size_t>(std::min<std::uint64_t>(maxLength, numberOfBytesInPacket_));
    while (total < limit) {
        if (!currentPart_ || !currentPart_->hasBytesAvailable()) {
            if (currentPart_ && !currentPart_->isComplete()) return failWith(currentPart_->error(), total);
            if (nextPart_ == parts_.size()) break;
            currentPart_ = parts_[nextPart_++];
            continue;
        }
        const std::int64_t count = currentPart_->read(buffer + total, maxLength - total);
        if (count < 0) return failWith(currentPart_->error(), total);
        total += static_cast<std::size_t>(count);
        if (delay_ > 0) std::this_thread::sleep_for(std::chrono::duration<double>(delay_));
    }
    return static_cast<std::int64_t>(total);
}

// The bytes already copied in this call are handed out; the next read reports the failure.
std::int64_t NetMultipartBodyStream::failWith(std::optional<ns::Error> error, std::size_t delivered) {
    fail(error ? std::move(*error) : exhaustedError());
    return delivered > 0 ? static_cast<std::int64_t>(delivered) : -1;
}

std::shared_ptr<ns::Object> NetMultipartBodyStream::copy() const {
    auto stream = std::make_shared<NetMultipartBodyStream>(stringEncoding_);
    for (const auto& part : parts_) stream->appendHTTPBodyPart(part->copy());
    stream->setInitialAndFinalBoundaries();
    return stream;
}

}  // namespace ql
