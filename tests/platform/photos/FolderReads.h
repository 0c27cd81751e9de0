#pragma once
// Counts how often folders are opened to read their entries, as the kernel reports it, so that a test can
// tell how many times the photo library listed a folder without asking the library itself.

#include <sys/inotify.h>
#include <unistd.h>

#include <map>
#include <string>

namespace ql::test {

class FolderReads {
public:
    FolderReads() : fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {}
    ~FolderReads() {
        if (fd_ >= 0) ::close(fd_);
    }
    FolderReads(const FolderReads&) = delete;
    FolderReads& operator=(const FolderReads&) = delete;

    bool ready() const { return fd_ >= 0; }

    // Counts the folder's openings from now on; false when it cannot be watched.
    bool watch(const std::string& folder) {
        const int watch = ::inotify_add_watch(fd_, folder.c_str(), IN_OPEN | IN_ONLYDIR);
        if (watch < 0) return false;
        folders_[watch] = folder;
        return true;
    }

    // How often each watched folder was opened since the last call (its files' openings are not counted).
    std::map<std::string, int> take() {
        std::map<std::string, int> opened;
        for (const auto& [watch, folder] : folders_) opened[folder] = 0;
        alignas(inotify_event) char buffer[16 * 1024];
        for (;;) {
            const ssize_t length = ::read(fd_, buffer, sizeof buffer);
            if (length <= 0) break;
            for (const char* at = buffer; at < buffer + length;) {
                const auto* event = reinterpret_cast<const inotify_event*>(at);
                // The folder's own opening comes without a name; an entry's carries the entry's name.
                if ((event->mask & IN_OPEN) && (event->mask & IN_ISDIR) && event->len == 0) {
                    auto folder = folders_.find(event->wd);
                    if (folder != folders_.end()) ++opened[folder->second];
                }
                at += sizeof(inotify_event) + event->len;
            }
        }
        return opened;
    }

    // The openings of all watched folders since the last call.
    int takeTotal() {
        int total = 0;
        for (const auto& [folder, count] : take()) total += count;
        return total;
    }

private:
    int fd_;
    std::map<int, std::string> folders_;
};

}  // namespace ql::test
