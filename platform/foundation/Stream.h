#pragma once
// Byte streams after the platform's stream classes: input streams that read data or a file, output
// streams that write to memory or a file, and bound pairs whose output end feeds their input end through
// a buffer. Subclasses make streams of their own (a request body produced on demand, say).
//
// These streams are read and written directly and never wait for a run loop, so scheduling one in a run
// loop is accepted for the platform's sake and changes nothing. A stream is used by one thread at a time;
// the two ends of a bound pair exist to be used from two threads.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "platform/foundation/Data.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/Object.h"
#include "platform/foundation/Value.h"

namespace ql::ns {

class RunLoop;
class URL;
class InputStream;
class OutputStream;

// The platform's stream states, with its values.
enum class StreamStatus {
    NotOpen = 0,
    Opening = 1,
    Open = 2,
    Reading = 3,
    Writing = 4,
    AtEnd = 5,
    Closed = 6,
    Error = 7,
};

// The bytes an in-memory output stream holds (data), and a file stream's position (unsigned number).
inline constexpr std::string_view StreamDataWrittenToMemoryStreamKey = "NSStreamDataWrittenToMemoryStreamKey";
inline constexpr std::string_view StreamFileCurrentOffsetKey = "NSStreamFileCurrentOffsetKey";

class Stream : public Object {
    QL_OBJECT_NAMED(Stream, Object, "NSStream")
public:
    // Opening an open, closed or failed stream changes nothing.
    virtual void open();
    virtual void close();
    virtual StreamStatus streamStatus() const { return status_; }
    virtual std::optional<Error> streamError() const { return error_; }

    // Nil (and false) for properties a stream does not have.
    virtual Value propertyForKey(std::string_view key) const;
    virtual bool setProperty(const Value& value, std::string_view key);

    virtual void scheduleInRunLoop(const std::shared_ptr<RunLoop>& runLoop, std::string_view mode);
    virtual void removeFromRunLoop(const std::shared_ptr<RunLoop>& runLoop, std::string_view mode);

    // Two streams joined by a buffer of `bufferSize` bytes: what is written to the output stream is read
    // from the input stream. A read waits until a byte is there or the output end is closed (then the
    // input is at its end); a write waits for room and fails once the input end is closed.
    static std::pair<std::shared_ptr<InputStream>, std::shared_ptr<OutputStream>> getBoundStreams(
        std::size_t bufferSize);

protected:
    void setStreamStatus(StreamStatus status) { status_ = status; }
    // Moves to the error state with this error.
    void fail(Error error);

private:
    StreamStatus status_ = StreamStatus::NotOpen;
    std::optional<Error> error_;
};

class InputStream : public Stream {
    QL_OBJECT_NAMED(InputStream, Stream, "NSInputStream")
public:
    // Reads up to `maxLength` bytes into `buffer`: the number read, 0 at the end (and on a closed stream),
    // -1 when the stream is not open or fails (streamError() then says why).
    virtual std::int64_t read(std::uint8_t* buffer, std::size_t maxLength) = 0;
    // Whether a read should be tried; true also when only a read can tell.
    virtual bool hasBytesAvailable() const = 0;
    // Direct access to a stream's buffer; no stream here offers one.
    virtual bool getBuffer(std::uint8_t** buffer, std::size_t* length);

    static std::shared_ptr<InputStream> inputStreamWithData(Data data);
    // A stream on the file; a file that cannot be read makes the stream fail when it is opened.
    static std::shared_ptr<InputStream> inputStreamWithFileAtPath(std::string path);
    // nullptr unless the URL is a file URL.
    static std::shared_ptr<InputStream> inputStreamWithURL(const URL& url);
};

class OutputStream : public Stream {
    QL_OBJECT_NAMED(OutputStream, Stream, "NSOutputStream")
public:
    // Writes up to `length` bytes: the number written, -1 when the stream is not open or fails.
    virtual std::int64_t write(const std::uint8_t* buffer, std::size_t length) = 0;
    virtual bool hasSpaceAvailable() const = 0;

    // Collects what is written; StreamDataWrittenToMemoryStreamKey gives it.
    static std::shared_ptr<OutputStream> outputStreamToMemory();
    // Creates the file when it is opened, replacing or appending to an existing one.
    static std::shared_ptr<OutputStream> outputStreamToFileAtPath(std::string path, bool append);
    // nullptr unless the URL is a file URL.
    static std::shared_ptr<OutputStream> outputStreamWithURL(const URL& url, bool append);
};

}  // namespace ql::ns
