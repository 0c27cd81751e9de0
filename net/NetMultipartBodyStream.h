#pragma once
// The body stream of a multipart/form-data request: its parts (form fields, data, files, streams) are
// produced in slices as the sender reads, so that files and large data are never joined in memory.
//
// A part that cannot deliver all the bytes it announced (its file vanished, its stream failed or ended
// early) makes the stream fail, so a request never goes out short of its Content-Length.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "platform/foundation/Data.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/Stream.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/Value.h"

namespace ql {

// One part: its opening boundary, header lines, body and, for the last part, the closing boundary.
class NetHTTPBodyPart {
public:
    // Bytes in memory, a file, or a stream the caller made.
    using Body = std::variant<ns::Data, ns::URL, std::shared_ptr<ns::InputStream>>;

    enum Phase : std::int32_t {
        EncapsulationBoundaryPhase = 1,
        HeaderPhase = 2,
        BodyPhase = 3,
        FinalBoundaryPhase = 4,
    };

    NetHTTPBodyPart(std::uint64_t stringEncoding, ns::Dictionary headers, std::string boundary, Body body,
                    std::uint64_t bodyContentLength);
    ~NetHTTPBodyPart();
    NetHTTPBodyPart(const NetHTTPBodyPart&) = delete;
    NetHTTPBodyPart& operator=(const NetHTTPBodyPart&) = delete;

    // A fresh part with the same contents, ready to be read from its start.
    std::shared_ptr<NetHTTPBodyPart> copy() const;

    std::uint64_t stringEncoding() const { return stringEncoding_; }
    const ns::Dictionary& headers() const { return headers_; }
    const std::string& boundary() const { return boundary_; }
    const Body& body() const { return body_; }
    std::uint64_t bodyContentLength() const { return bodyContentLength_; }
    bool hasInitialBoundary() const { return hasInitialBoundary_; }
    void setHasInitialBoundary(bool has) { hasInitialBoundary_ = has; }
    bool hasFinalBoundary() const { return hasFinalBoundary_; }
    void setHasFinalBoundary(bool has) { hasFinalBoundary_ = has; }
    Phase phase() const { return phase_; }

    // The part's byte count on the wire.
    std::uint64_t contentLength() const;
    // Whether a read may still deliver bytes.
    bool hasBytesAvailable();
    // Up to `length` bytes: the count, or −1 when the body failed (see error()).
    std::int64_t read(std::uint8_t* buffer, std::size_t length);
    // Whether every byte of the part has been delivered.
    bool isComplete() const { return complete_; }
    const std::optional<ns::Error>& error() const { return error_; }

    // Made on first use: over the data, on the file, or the caller's stream itself.
    const std::shared_ptr<ns::InputStream>& inputStream();

private:
    std::int64_t readText(const ns::Data& text, std::uint8_t* buffer, std::size_t length);
    std::int64_t readBody(std::uint8_t* buffer, std::size_t length);
    std::int64_t fail(std::optional<ns::Error> error);
    const ns::Data& openingBoundary() const { return hasInitialBoundary_ ? initialBoundaryText_ : encapsulationText_; }
    const ns::Data& closingBoundary() const;
    void transitionToNextPhase();

    const std::uint64_t stringEncoding_;
    const ns::Dictionary headers_;
    const std::string boundary_;
    const Body body_;
    const std::uint64_t bodyContentLength_;
    // The texts around the body, in the part's encoding.
    ns::Data initialBoundaryText_;
    ns::Data encapsulationText_;
    ns::Data headersText_;
    ns::Data finalBoundaryText_;

    std::shared_ptr<ns::InputStream> inputStream_;
    bool hasInitialBoundary_ = false;
    bool hasFinalBoundary_ = false;
    Phase phase_ = EncapsulationBoundaryPhase;
    std::uint64_t phaseReadOffset_ = 0;
    std::uint64_t bodyBytesRead_ = 0;
    bool complete_ = false;
    std::optional<ns::Error> error_;
};

class NetMultipartBodyStream final : public ns::InputStream {
    QL_OBJECT(NetMultipartBodyStream, ns::InputStream)
public:
    explicit NetMultipartBodyStream(std::uint64_t stringEncoding) : stringEncoding_(stringEncoding) {}

    std::uint64_t stringEncoding() const { return stringEncoding_; }
    // At most this many bytes are taken from further parts in one read, and the reading thread pauses
    // for `delay` seconds after each part's slice: the upload's pace.
    std::uint64_t numberOfBytesInPacket() const { return numberOfBytesInPacket_; }
    void setNumberOfBytesInPacket(std::uint64_t bytes) { numberOfBytesInPacket_ = bytes; }
    double delay() const { return delay_; }
    void setDelay(double seconds) { delay_ = seconds; }

    const std::vector<std::shared_ptr<NetHTTPBodyPart>>& HTTPBodyParts() const { return parts_; }
    void appendHTTPBodyPart(std::shared_ptr<NetHTTPBodyPart> part) { parts_.push_back(std::move(part)); }
    // The first part opens without a leading line break, and only the last one closes the body.
    void setInitialAndFinalBoundaries();
    bool isEmpty() const { return parts_.empty(); }
    std::uint64_t contentLength() const;

    // Only a stream that was never opened opens; read a copy to send the body again.
    void open() override;
    // Reads across parts. After the last byte the stream stays open and reads give 0.
    std::int64_t read(std::uint8_t* buffer, std::size_t maxLength) override;
    bool hasBytesAvailable() const override { return streamStatus() == ns::StreamStatus::Open; }

    // The same parts, each ready to be read from its start, at full speed.
    std::shared_ptr<ns::Object> copy() const override;

private:
    std::int64_t failWith(std::optional<ns::Error> error, std::size_t delivered);

    const std::uint64_t stringEncoding_;
    std::uint64_t numberOfBytesInPacket_ = static_cast<std::uint64_t>(INT64_MAX);
    double delay_ = 0;
    std::vector<std::shared_ptr<NetHTTPBodyPart>> parts_;
    std::size_t nextPart_ = 0;
    std::shared_ptr<NetHTTPBodyPart> currentPart_;
};

}  // namespace ql
