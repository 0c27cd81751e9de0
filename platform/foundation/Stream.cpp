#include "platform/foundation/Stream.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>

#include "platform/foundation/DispatchPool.h"
#include "platform/foundation/RegularFile.h"
#include "platform/foundation/URL.h"

namespace ql::ns {

namespace {

Error posixError(int code) { return Error(std::string(POSIXErrorDomain), code); }

bool isReadable(StreamStatus status) {
    return status == StreamStatus::Open || status == StreamStatus::Reading || status == StreamStatus::Writing;
}

// A read on a stream that cannot be read: 0 once it is over, -1 before it was opened or after a failure.
std::int64_t unreadableResult(StreamStatus status) {
    return status == StreamStatus::AtEnd || status == StreamStatus::Closed ? 0 : -1;
}

class DataInputStream final : public InputStream {
public:
    explicit DataInputStream(Data data) : data_(std::move(data)) {}

    void open() override {
        if (streamStatus() != StreamStatus::NotOpen) return;
        setStreamStatus(data_.empty() ? StreamStatus::AtEnd : StreamStatus::Open);
    }
    std::int64_t read(std::uint8_t* buffer, std::size_t maxLength) override {
        if (!isReadable(streamStatus())) return unreadableResult(streamStatus());
        const std::size_t count = std::min(maxLength, data_.length() - offset_);
        std::memcpy(buffer, data_.bytes() + offset_, count);
        offset_ += count;
        if (offset_ == data_.length()) setStreamStatus(StreamStatus::AtEnd);
        return static_cast<std::int64_t>(count);
    }
    bool hasBytesAvailable() const override { return offset_ < data_.length() && isReadable(streamStatus()); }

private:
    const Data data_;
    std::size_t offset_ = 0;
};

// A file descriptor closed with its owner.
class FileDescriptor {
public:
    FileDescriptor() = default;
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() { reset(); }

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    void reset(int fd = -1) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = fd;
    }
    Value offset() const {
        if (!valid()) return Value();
        const off_t at = ::lseek(fd_, 0, SEEK_CUR);
        return at < 0 ? Value() : Value(static_cast<std::uint64_t>(at));
    }

private:
    int fd_ = -1;
};

class FileInputStream final : public InputStream {
public:
    explicit FileInputStream(std::string path) : path_(std::move(path)) {}

    void open() override {
        if (streamStatus() != StreamStatus::NotOpen) return;
        // Opening a FIFO for reading waits for a writer: opened without waiting, and only a regular file
        // is read, so a stream on whatever was put where a file belongs fails instead of hanging its reader.
        const int fd = openRegularFile(path_, O_RDONLY);
        if (fd < 0) return fail(posixError(errno));
        fd_.reset(fd);
        setStreamStatus(StreamStatus::Open);
    }
    void close() override {
        fd_.reset();
        InputStream::close();
    }
    std::int64_t read(std::uint8_t* buffer, std::size_t maxLength) override {
        if (!isReadable(streamStatus())) return unreadableResult(streamStatus());
        ssize_t count;
        do {
            count = ::read(fd_.get(), buffer, maxLength);
        } while (count < 0 && errno == EINTR);
        if (count < 0) {
            fail(posixError(errno));
            return -1;
        }
        if (count == 0 && maxLength > 0) setStreamStatus(StreamStatus::AtEnd);
        return count;
    }
    bool hasBytesAvailable() const override { return isReadable(streamStatus()); }
    Value propertyForKey(std::string_view key) const override {
        return key == StreamFileCurrentOffsetKey ? fd_.offset() : Value();
    }

private:
    const std::string path_;
    FileDescriptor fd_;
};

class MemoryOutputStream final : public OutputStream {
public:
    std::int64_t write(const std::uint8_t* buffer, std::size_t length) override {
        if (!isReadable(streamStatus())) return -1;
        data_.append(buffer, length);
        return static_cast<std::int64_t>(length);
    }
    bool hasSpaceAvailable() const override { return isReadable(streamStatus()); }
    Value propertyForKey(std::string_view key) const override {
        return key == StreamDataWrittenToMemoryStreamKey ? Value(data_) : Value();
    }

private:
    Data data_;
};

class FileOutputStream final : public OutputStream {
public:
    FileOutputStream(std::string path, bool append) : path_(std::move(path)), append_(append) {}

    void open() override {
        if (streamStatus() != StreamStatus::NotOpen) return;
        // As for reading: without waiting for a FIFO's reader, and only into a regular file, so that a
        // reader going away cannot end the process with SIGPIPE either.
        const int fd = openRegularFile(path_, O_WRONLY | O_CREAT | (append_ ? O_APPEND : O_TRUNC), 0666);
        if (fd < 0) return fail(posixError(errno));
        fd_.reset(fd);
        setStreamStatus(StreamStatus::Open);
    }
    void close() override {
        fd_.reset();
        OutputStream::close();
    }
    std::int64_t write(const std::uint8_t* buffer, std::size_t length) override {
        if (!isReadable(streamStatus())) return -1;
        ssize_t count;
        do {
            count = ::write(fd_.get(), buffer, length);
        } while (count < 0 && errno == EINTR);
        if (count < 0) {
            fail(posixError(errno));
            return -1;
        }
        return count;
    }
    bool hasSpaceAvailable() const override { return isReadable(streamStatus()); }
    Value propertyForKey(std::string_view key) const override {
        return key == StreamFileCurrentOffsetKey ? fd_.offset() : Value();
    }

private:
    const std::string path_;
    const bool append_;
    FileDescriptor fd_;
};

// The buffer between the two ends of a bound pair.
struct BoundBuffer {
    explicit BoundBuffer(std::size_t capacity) : capacity(std::max<std::size_t>(capacity, 1)) {}
    const std::size_t capacity;
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::uint8_t> bytes;
    bool inputClosed = false;
    bool outputClosed = false;

    void closeEnd(bool input) {
        {
            std::lock_guard lock(mutex);
            (input ? inputClosed : outputClosed) = true;
        }
        changed.notify_all();
    }
};

class BoundInputStream final : public InputStream {
public:
    explicit BoundInputStream(std::shared_ptr<BoundBuffer> buffer) : buffer_(std::move(buffer)) {}
    ~BoundInputStream() override { buffer_->closeEnd(true); }

    void close() override {
        buffer_->closeEnd(true);
        InputStream::close();
    }
    std::int64_t read(std::uint8_t* out, std::size_t maxLength) override {
        if (!isReadable(streamStatus())) return unreadableResult(streamStatus());
        if (maxLength == 0) return 0;
        std::size_t count;
        {
            DispatchPool::BlockingScope blocking;
            std::unique_lock lock(buffer_->mutex);
            buffer_->changed.wait(lock, [&] { return !buffer_->bytes.empty() || buffer_->outputClosed; });
            count = std::min(maxLength, buffer_->bytes.size());
            std::copy_n(buffer_->bytes.begin(), count, out);
            buffer_->bytes.erase(buffer_->bytes.begin(), buffer_->bytes.begin() + static_cast<std::ptrdiff_t>(count));
        }
        buffer_->changed.notify_all();
        if (count == 0) setStreamStatus(StreamStatus::AtEnd);
        return static_cast<std::int64_t>(count);
    }
    bool hasBytesAvailable() const override {
        if (!isReadable(streamStatus())) return false;
        std::lock_guard lock(buffer_->mutex);
        return !buffer_->bytes.empty() || buffer_->outputClosed;
    }

private:
    const std::shared_ptr<BoundBuffer> buffer_;
};

class BoundOutputStream final : public OutputStream {
public:
    explicit BoundOutputStream(std::shared_ptr<BoundBuffer> buffer) : buffer_(std::move(buffer)) {}
    ~BoundOutputStream() override { buffer_->closeEnd(false); }

    void close() override {
        buffer_->closeEnd(false);
        OutputStream::close();
    }
    std::int64_t write(const std::uint8_t* in, std::size_t length) override {
        if (!isReadable(streamStatus())) return -1;
        if (length == 0) return 0;
        std::size_t count;
        {
            DispatchPool::BlockingScope blocking;
            std::unique_lock lock(buffer_->mutex);
            buffer_->changed.wait(lock, [&] {
                return buffer_->bytes.size() < buffer_->capacity || buffer_->inputClosed;
            });
            if (buffer_->inputClosed) {
                lock.unlock();
                fail(posixError(EPIPE));
                return -1;
            }
            count = std::min(length, buffer_->capacity - buffer_->bytes.size());
            buffer_->bytes.insert(buffer_->bytes.end(), in, in + count);
        }
        buffer_->changed.notify_all();
        return static_cast<std::int64_t>(count);
    }
    bool hasSpaceAvailable() const override {
        if (!isReadable(streamStatus())) return false;
        std::lock_guard lock(buffer_->mutex);
        return buffer_->bytes.size() < buffer_->capacity || buffer_->inputClosed;
    }

private:
    const std::shared_ptr<BoundBuffer> buffer_;
};

}  // namespace

void Stream::open() {
    if (status_ == StreamStatus::NotOpen) status_ = StreamStatus::Open;
}

void Stream::close() {
    if (status_ != StreamStatus::Error) status_ = StreamStatus::Closed;
}

Value Stream::propertyForKey(std::string_view) const { return Value(); }

bool Stream::setProperty(const Value&, std::string_view) { return false; }

void Stream::scheduleInRunLoop(const std::shared_ptr<RunLoop>&, std::string_view) {}

void Stream::removeFromRunLoop(const std::shared_ptr<RunLoop>&, std::string_view) {}

void Stream::fail(Error error) {
    error_ = std::move(error);
    status_ = StreamStatus::Error;
}

std::pair<std::shared_ptr<InputStream>, std::shared_ptr<OutputStream>> Stream::getBoundStreams(
    std::size_t bufferSize) {
    auto buffer = std::make_shared<BoundBuffer>(bufferSize);
    return {std::make_shared<BoundInputStream>(buffer), std::make_shared<BoundOutputStream>(buffer)};
}

bool InputStream::getBuffer(std::uint8_t**, std::size_t*) { return false; }

std::shared_ptr<InputStream> InputStream::inputStreamWithData(Data data) {
    return std::make_shared<DataInputStream>(std::move(data));
}

std::shared_ptr<InputStream> InputStream::inputStreamWithFileAtPath(std::string path) {
    return std::make_shared<FileInputStream>(std::move(path));
}

std::shared_ptr<InputStream> InputStream::inputStreamWithURL(const URL& url) {
    if (!url.isFileURL()) return nullptr;
    return inputStreamWithFileAtPath(url.path());
}

std::shared_ptr<OutputStream> OutputStream::outputStreamToMemory() { return std::make_shared<MemoryOutputStream>(); }

std::shared_ptr<OutputStream> OutputStream::outputStreamToFileAtPath(std::string path, bool append) {
    return std::make_shared<FileOutputStream>(std::move(path), append);
}

std::shared_ptr<OutputStream> OutputStream::outputStreamWithURL(const URL& url, bool append) {
    if (!url.isFileURL()) return nullptr;
    return outputStreamToFileAtPath(url.path(), append);
}

}  // namespace ql::ns
