#pragma once
// The body of a request as the loading engine sends it: bytes in memory, a file, or an input stream that
// is pulled on demand. An engine reads bodies on its driving thread, which must never wait, so a stream is
// read ahead on a worker thread into a bounded buffer and the engine is woken when bytes are ready.
// Internal to the loading system.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/Data.h"
#include "platform/foundation/Error.h"

namespace ql::ns {

class InputStream;

class RequestBody {
public:
    // What read() answers besides a byte count.
    static constexpr std::size_t kPause = static_cast<std::size_t>(-1);  // nothing yet; wake() comes later
    static constexpr std::size_t kAbort = static_cast<std::size_t>(-2);  // the body failed (see error())

    virtual ~RequestBody() = default;

    // The byte count, -1 when only the end of a stream will tell (the body is then sent in chunks).
    virtual std::int64_t length() const = 0;
    // Up to `capacity` bytes into `buffer`: the count (0 at the end), kPause or kAbort.
    virtual std::size_t read(char* buffer, std::size_t capacity) = 0;
    // Back to the first byte, for a resend; false when the body cannot be read again.
    virtual bool rewind() = 0;
    // Called from any thread once a paused read can go on. Set before the first read.
    virtual void setWakeHandler(std::function<void()> wake) { (void)wake; }
    // Stops reading ahead; the body is not read again.
    virtual void abandon() {}
    virtual std::optional<Error> error() const { return std::nullopt; }
    // The bytes, when the body is held in memory whole; null otherwise.
    virtual const Data* bytesInMemory() const { return nullptr; }

    static std::shared_ptr<RequestBody> fromData(Data data);
    // nullptr when the file cannot be opened.
    static std::shared_ptr<RequestBody> fromFile(const std::string& path);
    // `declaredLength` (from the request's Content-Length) bounds the body when known; a stream that ends
    // early then fails the upload instead of leaving the server waiting.
    static std::shared_ptr<RequestBody> fromStream(std::shared_ptr<InputStream> stream, std::int64_t declaredLength);
};

}  // namespace ql::ns
