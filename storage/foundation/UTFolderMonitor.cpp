#include "storage/foundation/UTFolderMonitor.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <array>
#include <cerrno>

namespace ql {

namespace {

// What the platform calls a write to a folder: its list of entries changed.
constexpr std::uint32_t entryEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_ONLYDIR;

class FileDescriptor {
public:
    explicit FileDescriptor(int fd = -1) : fd_(fd) {}
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    FileDescriptor& operator=(FileDescriptor&&) = delete;
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }

private:
    int fd_;
};

// Runs on the watching thread until `stop` is signalled: each batch of entry changes becomes one call of
// the handler on the monitor's queue.
void watch(const FileDescriptor& events, const FileDescriptor& stop, const std::function<void()>& block,
           const std::shared_ptr<ns::DispatchQueue>& queue) {
    std::array<pollfd, 2> fds{{{events.get(), POLLIN, 0}, {stop.get(), POLLIN, 0}}};
    alignas(inotify_event) std::array<char, 4096> buffer;
    for (;;) {
        if (::poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fds[1].revents != 0) return;
        if (fds[0].revents & (POLLERR | POLLHUP | POLLNVAL)) return;
        bool changed = false;
        ssize_t length;
        while ((length = ::read(events.get(), buffer.data(), buffer.size())) > 0) {
            for (ssize_t at = 0; at < length;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer.data() + at);
                if (event->mask & (entryEvents | IN_Q_OVERFLOW)) changed = true;
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
        if (changed && block) queue->async(block);
    }
}

}  // namespace

struct UTFolderMonitor::Source {
    FileDescriptor events;
    FileDescriptor stop;
    std::thread thread;
};

UTFolderMonitor::UTFolderMonitor(ns::URL url, std::function<void()> block)
    : url_(std::move(url)), block_(std::move(block)) {}

UTFolderMonitor::~UTFolderMonitor() {
    std::lock_guard lock(mutex_);
    stopLocked();
}

std::shared_ptr<UTFolderMonitor> UTFolderMonitor::folderMonitorForURL(ns::URL url, std::function<void()> block) {
    return std::make_shared<UTFolderMonitor>(std::move(url), std::move(block));
}

bool UTFolderMonitor::isMonitoring() const {
    std::lock_guard lock(mutex_);
    return source_ != nullptr;
}

void UTFolderMonitor::startMonitoring() {
    std::lock_guard lock(mutex_);
    if (source_) return;
    FileDescriptor events(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    FileDescriptor stop(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC));
    if (!events.valid() || !stop.valid()) return;
    if (::inotify_add_watch(events.get(), url_.path().c_str(), entryEvents) < 0) return;
    auto source = std::make_unique<Source>(Source{std::move(events), std::move(stop), {}});
    // The thread reads only what the source owns and copies of the handler and queue, never the monitor.
    source->thread = std::thread(watch, std::cref(source->events), std::cref(source->stop), block_, queue_);
    source_ = std::move(source);
}

void UTFolderMonitor::stopMonitoring() {
    std::lock_guard lock(mutex_);
    stopLocked();
}

void UTFolderMonitor::stopLocked() {
    if (!source_) return;
    const std::uint64_t one = 1;
    [[maybe_unused]] ssize_t written = ::write(source_->stop.get(), &one, sizeof one);
    source_->thread.join();
    source_.reset();
}

}  // namespace ql
