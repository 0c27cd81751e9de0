#include "platform/web/WebEngineWork.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace ql::ui {

WebEngineWork::WebEngineWork(const std::atomic<std::uint64_t>& arrived, std::function<pid_t()> program)
    : arrived_(arrived), program_(std::move(program)), lastArrived_(arrived.load()) {}

double WebEngineWork::processorSeconds(pid_t process) {
    if (process <= 0) return -1;
    const std::string path = "/proc/" + std::to_string(process) + "/stat";
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return -1;
    char line[1024];
    const ssize_t n = read(fd, line, sizeof line - 1);
    close(fd);
    if (n <= 0) return -1;
    line[n] = '\0';
    // The name in parentheses may hold anything: the fields go on after the last one. User and system
    // time are the 14th and 15th fields, counted from the process id.
    const char* close = std::strrchr(line, ')');
    if (!close) return -1;
    unsigned long long user = 0;
    unsigned long long system = 0;
    if (std::sscanf(close + 1, " %*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %llu %llu", &user, &system) != 2) return -1;
    static const long ticks = sysconf(_SC_CLK_TCK);
    return static_cast<double>(user + system) / static_cast<double>(ticks > 0 ? ticks : 100);
}

bool WebEngineWork::looksAtWork(bool* sawBytes) {
    const std::uint64_t arrived = arrived_.load();
    const bool bytes = arrived != lastArrived_;
    lastArrived_ = arrived;
    if (sawBytes) *sawBytes = bytes;
    const auto now = Clock::now();
    const double seconds = processorSeconds(program_ ? program_() : -1);
    if (seconds < 0) {
        samples_.clear();
        return bytes;
    }
    samples_.push_back({now, seconds});
    // The oldest sample kept is the last one at least a second old.
    while (samples_.size() > 2 && now - samples_[1].at >= std::chrono::seconds(1)) samples_.pop_front();
    const Sample& first = samples_.front();
    const double span = std::chrono::duration<double>(now - first.at).count();
    const bool busy = span >= 0.5 && seconds - first.seconds >= kBusyShare * span;
    return bytes || busy;
}

}  // namespace ql::ui
