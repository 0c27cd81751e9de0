#include "platform/foundation/Locked.h"
#include "platform/foundation/Log.h"

#include <algorithm>
#include <cstdio>

namespace ql::ns {

namespace {

std::mutex& logMutex() {
    static std::mutex mutex;
    return mutex;
}

std::vector<Log::Capture*>& captures() {
    static std::vector<Log::Capture*> active;
    return active;
}

}  // namespace

void Log::write(std::string_view line) {
    std::lock_guard lock(logMutex());
    std::string text(line);
    text += '\n';
    std::fwrite(text.data(), 1, text.size(), stderr);
    for (Capture* capture : captures()) {
        std::lock_guard captured(capture->mutex_);
        capture->lines_.emplace_back(line);
    }
}

Log::Capture::Capture() {
    std::lock_guard lock(logMutex());
    captures().push_back(this);
}

Log::Capture::~Capture() {
    std::lock_guard lock(logMutex());
    std::erase(captures(), this);
}

std::vector<std::string> Log::Capture::lines() const { return ns::lockedCopy(mutex_, lines_); }

}  // namespace ql::ns
