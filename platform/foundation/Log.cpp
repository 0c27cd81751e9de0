#include "platform/foundation/Locked.h"
#include "platform/foundation/Log.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <deque>

#include "platform/foundation/Date.h"
#include "platform/foundation/Value.h"

namespace ql::ns {

namespace {

// The log's state is never destroyed: objects of static storage made before its first use (the standard user
// defaults, say) log from their destructors, after it would otherwise be gone.
std::mutex& logMutex() {
    static auto* mutex = new std::mutex;
    return *mutex;
}

std::vector<Log::Capture*>& captures() {
    static auto* active = new std::vector<Log::Capture*>;
    return *active;
}

struct KeptMessage {
    double time;
    std::uint64_t id;
    std::string text;
};

// Guarded by logMutex.
std::deque<KeptMessage>& keptMessages() {
    static auto* kept = new std::deque<KeptMessage>;
    return *kept;
}

std::string programName() {
    char path[4096];
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return "quillory";
    const std::string whole(path, static_cast<std::size_t>(length));
    return whole.substr(whole.rfind('/') + 1);
}

}  // namespace

void Log::write(std::string_view line) {
    // Read before the log's lock, so a clock that logs under its own lock cannot deadlock with us.
    const double now = Date::now().timeIntervalSince1970();
    std::lock_guard lock(logMutex());
    std::string text(line);
    text += '\n';
    std::fwrite(text.data(), 1, text.size(), stderr);
    static std::uint64_t lastId = 0;
    auto& kept = keptMessages();
    if (kept.size() == kKeptMessages) kept.pop_front();
    kept.push_back({now, ++lastId, std::string(line)});
    for (Capture* capture : captures()) {
        std::lock_guard captured(capture->mutex_);
        capture->lines_.emplace_back(line);
    }
}

std::vector<Dictionary> Log::messagesOfProcess(int pid) {
    std::vector<Dictionary> messages;
    if (pid != ::getpid()) return messages;
    static const auto& sender = *new std::string(programName());
    std::lock_guard lock(logMutex());
    messages.reserve(keptMessages().size());
    for (const KeptMessage& kept : keptMessages()) {
        const double seconds = std::floor(kept.time);
        messages.push_back(Dictionary{{"Time", std::to_string(static_cast<std::int64_t>(seconds))},
                                      {"TimeNanoSec", std::to_string(static_cast<std::int64_t>((kept.time - seconds) * 1e9))},
                                      {"Sender", sender},
                                      {"Message", kept.text},
                                      {"ASLMessageID", std::to_string(kept.id)},
                                      {"PID", std::to_string(pid)}});
    }
    return messages;
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
