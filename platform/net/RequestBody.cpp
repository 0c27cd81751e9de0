#include "platform/net/RequestBody.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <vector>

#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/Stream.h"

namespace ql::ns {

namespace {

class DataBody final : public RequestBody {
public:
    explicit DataBody(Data data) : data_(std::move(data)) {}

    std::int64_t length() const override { return static_cast<std::int64_t>(data_.length()); }
    std::size_t read(char* buffer, std::size_t capacity) override {
        const std::size_t count = std::min(capacity, data_.length() - offset_);
        std::memcpy(buffer, data_.bytes() + offset_, count);
        offset_ += count;
        return count;
    }
    bool rewind() override {
        offset_ = 0;
        return true;
    }
    const Data* bytesInMemory() const override { return &data_; }

private:
    const Data data_;
    std::size_t offset_ = 0;
};

class FileBody final : public RequestBody {
public:
    FileBody(int fd, std::int64_t size) : fd_(fd), size_(size) {}
    ~FileBody() override { ::close(fd_); }

    std::int64_t length() const override { return size_; }
    std::size_t read(char* buffer, std::size_t capacity) override {
        ssize_t count;
        do {
            count = ::pread(fd_, buffer, capacity, offset_);
        } while (count < 0 && errno == EINTR);
        if (count < 0) {
            error_ = Error(std::string(POSIXErrorDomain), errno);
            return kAbort;
        }
        offset_ += count;
        return static_cast<std::size_t>(count);
    }
    bool rewind() override {
        offset_ = 0;
        return true;
    }
    std::optional<Error> error() const override { return error_; }

private:
    const int fd_;
    const std::int64_t size_;
    off_t offset_ = 0;
    std::optional<Error> error_;
};

// Reads a stream ahead on a worker thread. The stream is touched only by the fill job, one at a time, so
// a stream that does slow or blocking work (waiting for the main thread, say) never holds up the engine.
class StreamBody final : public RequestBody, public std::enable_shared_from_this<StreamBody> {
public:
    static constexpr std::size_t kCapacity = 256 * 1024;
    static constexpr std::size_t kSlice = 64 * 1024;

    StreamBody(std::shared_ptr<InputStream> stream, std::int64_t declaredLength)
        : stream_(std::move(stream)), declared_(declaredLength) {}

    std::int64_t length() const override { return declared_; }

    std::size_t read(char* out, std::size_t capacity) override {
        std::unique_lock lock(mutex_);
        if (declared_ >= 0) capacity = std::min<std::size_t>(capacity, static_cast<std::size_t>(declared_ - delivered_));
        if (capacity == 0 && declared_ >= 0) return 0;
        const std::size_t available = buffer_.size() - readOffset_;
        if (available > 0) {
            const std::size_t count = std::min(capacity, available);
            std::memcpy(out, buffer_.data() + readOffset_, count);
            readOffset_ += count;
            delivered_ += static_cast<std::int64_t>(count);
            if (readOffset_ == buffer_.size()) {
                buffer_.clear();
                readOffset_ = 0;
            }
            startFillLocked(lock);
            return count;
        }
        if (error_) return kAbort;
        if (ended_) {
            if (declared_ >= 0 && delivered_ < declared_) {
                error_ = Error(std::string(POSIXErrorDomain), EPIPE);
                return kAbort;
            }
            return 0;
        }
        wakeWanted_ = true;
        startFillLocked(lock);
        return kPause;
    }

    // The stream is consumed as it is read: it cannot be read again.
    bool rewind() override {
        std::lock_guard lock(mutex_);
        return delivered_ == 0 && !filling_ && buffer_.empty() && !ended_;
    }

    void setWakeHandler(std::function<void()> wake) override {
        std::lock_guard lock(mutex_);
        wake_ = std::move(wake);
    }

    void abandon() override {
        std::lock_guard lock(mutex_);
        abandoned_ = true;
        wake_ = nullptr;
    }

    std::optional<Error> error() const override {
        std::lock_guard lock(mutex_);
        return error_;
    }

private:
    void startFillLocked(std::unique_lock<std::mutex>&) {
        if (filling_ || ended_ || error_ || abandoned_ || buffer_.size() - readOffset_ >= kCapacity / 2) return;
        filling_ = true;
        DispatchQueue::global()->async([self = shared_from_this()] { self->fill(); });
    }

    void fill() {
        std::vector<std::uint8_t> slice(kSlice);
        for (;;) {
            bool abandoned;
            {
                std::lock_guard lock(mutex_);
                abandoned = abandoned_;
                if (abandoned) ended_ = true;
                else if (buffer_.size() - readOffset_ >= kCapacity) break;
            }
            if (abandoned) {
                stream_->close();
                break;
            }
            if (stream_->streamStatus() == StreamStatus::NotOpen) stream_->open();
            const std::int64_t count = stream_->read(slice.data(), slice.size());
            std::function<void()> wake;
            {
                std::lock_guard lock(mutex_);
                if (count > 0) {
                    buffer_.insert(buffer_.end(), slice.begin(), slice.begin() + count);
                } else if (count == 0) {
                    ended_ = true;
                } else {
                    error_ = stream_->streamError().value_or(Error(std::string(POSIXErrorDomain), EIO));
                }
                if (wakeWanted_) {
                    wakeWanted_ = false;
                    wake = wake_;
                }
            }
            if (wake) wake();
            if (count <= 0) {
                stream_->close();
                break;
            }
        }
        std::unique_lock lock(mutex_);
        filling_ = false;
        // Bytes may have been taken while the last slice was read: go on if there is room again.
        startFillLocked(lock);
    }

    const std::shared_ptr<InputStream> stream_;
    const std::int64_t declared_;
    mutable std::mutex mutex_;
    std::vector<char> buffer_;
    std::size_t readOffset_ = 0;
    std::int64_t delivered_ = 0;
    bool filling_ = false;
    bool ended_ = false;
    bool abandoned_ = false;
    bool wakeWanted_ = false;
    std::optional<Error> error_;
    std::function<void()> wake_;
};

}  // namespace

std::shared_ptr<RequestBody> RequestBody::fromData(Data data) { return std::make_shared<DataBody>(std::move(data)); }

std::shared_ptr<RequestBody> RequestBody::fromFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    return std::make_shared<FileBody>(fd, static_cast<std::int64_t>(info.st_size));
}

std::shared_ptr<RequestBody> RequestBody::fromStream(std::shared_ptr<InputStream> stream, std::int64_t declaredLength) {
    return std::make_shared<StreamBody>(std::move(stream), declaredLength);
}

}  // namespace ql::ns
