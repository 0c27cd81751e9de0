#include "platform/web/WebEngineGroupTime.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

namespace ql::ui {
namespace {

struct ProcessTime {
    pid_t group = -1;
    double seconds = 0;
};

// A process's group and processor time (user and system), from /proc; none when it has gone meanwhile.
bool readProcess(const char* pid, ProcessTime* read) {
    const std::string path = std::string("/proc/") + pid + "/stat";
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    char line[1024];
    const ssize_t n = ::read(fd, line, sizeof line - 1);
    close(fd);
    if (n <= 0) return false;
    line[n] = '\0';
    // The name in parentheses may hold anything: the fields go on after the last one. The group is the 5th
    // field, user and system time the 14th and 15th, counted from the process id.
    const char* close = std::strrchr(line, ')');
    if (!close) return false;
    int group = 0;
    unsigned long long user = 0;
    unsigned long long system = 0;
    if (std::sscanf(close + 1, " %*c %*d %d %*d %*d %*d %*u %*u %*u %*u %*u %llu %llu", &group, &user, &system) != 3) {
        return false;
    }
    static const long ticks = sysconf(_SC_CLK_TCK);
    read->group = group;
    read->seconds = static_cast<double>(user + system) / static_cast<double>(ticks > 0 ? ticks : 100);
    return true;
}

}  // namespace

double WebEngineGroupTime::sinceFirstLook() {
    if (group_ <= 0) return -1;
    DIR* processes = opendir("/proc");
    if (!processes) return -1;
    std::unordered_map<pid_t, double> now;
    while (const dirent* entry = readdir(processes)) {
        char* end = nullptr;
        const long pid = std::strtol(entry->d_name, &end, 10);
        ProcessTime process;
        if (pid <= 0 || *end != '\0' || !readProcess(entry->d_name, &process) || process.group != group_) continue;
        now.emplace(static_cast<pid_t>(pid), process.seconds);
        if (!looked_) continue;
        const auto before = seen_.find(static_cast<pid_t>(pid));
        const double from = before == seen_.end() ? 0 : before->second;
        if (process.seconds > from) used_ += process.seconds - from;
    }
    closedir(processes);
    looked_ = true;
    seen_ = std::move(now);
    return used_;
}

}  // namespace ql::ui
