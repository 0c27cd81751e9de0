#include "platform/web/WebEngineProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

extern char** environ;

namespace ql::ui {
namespace {

// Where the watcher keeps the read end of its lifeline, and where the engine keeps the descriptor that tells
// the app whether its program could be run.
constexpr int kWatcherLifeline = 3;
constexpr int kEngineExecStatus = 5;

// The program's path: as given when it names a folder, else the first executable file of that name on PATH.
std::string located(const std::string& program) {
    if (program.find('/') != std::string::npos) return program;
    const char* path = std::getenv("PATH");
    std::string_view folders = path && *path ? path : "/usr/local/bin:/usr/bin:/bin";
    while (!folders.empty()) {
        const std::size_t colon = folders.find(':');
        std::string candidate(folders.substr(0, colon));
        candidate = (candidate.empty() ? "." : candidate) + "/" + program;
        struct stat info {};
        if (stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(candidate.c_str(), X_OK) == 0) return candidate;
        folders = colon == std::string_view::npos ? std::string_view() : folders.substr(colon + 1);
    }
    return {};
}

void closeFrom(int lowest) { close_range(static_cast<unsigned>(lowest), ~0U, 0); }

// What follows runs in the forked watcher and engine, copies of a process with other threads: only calls that
// are safe there (no allocation, no locks) until the engine's program replaces the copy.

[[noreturn]] void endGroup() {
    ::kill(0, SIGKILL);
    _exit(0);
}

void appEnded(int) { endGroup(); }

[[noreturn]] void runEngine(const char* path, char* const* argv, int devNull, int commandFd, int replyFd, int status) {
    // A descriptor handed over may already sit where another one goes, or where it goes itself (which
    // would keep it closed at exec): each is first copied above them all, then put in its place.
    const int lowestFree = kEngineExecStatus + 1;
    devNull = fcntl(devNull, F_DUPFD, lowestFree);
    commandFd = fcntl(commandFd, F_DUPFD, lowestFree);
    replyFd = fcntl(replyFd, F_DUPFD, lowestFree);
    status = fcntl(status, F_DUPFD, lowestFree);
    dup2(devNull, 0);
    dup2(devNull, 1);
    dup2(devNull, 2);
    dup2(commandFd, 3);
    dup2(replyFd, 4);
    dup2(status, kEngineExecStatus);
    fcntl(kEngineExecStatus, F_SETFD, FD_CLOEXEC);
    closeFrom(kEngineExecStatus + 1);
    execve(path, argv, environ);
    const int failure = errno;
    (void)!write(kEngineExecStatus, &failure, sizeof failure);
    _exit(127);
}

[[noreturn]] void watch(pid_t app, const char* path, char* const* argv, int devNull, int commandFd, int replyFd,
                        int status, int lifeline) {
    setpgid(0, 0);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    struct sigaction ending {};
    ending.sa_handler = appEnded;
    sigemptyset(&ending.sa_mask);
    sigaction(SIGTERM, &ending, nullptr);
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != app) endGroup();
    const pid_t engine = fork();
    if (engine == 0) {
        ending.sa_handler = SIG_DFL;
        sigaction(SIGTERM, &ending, nullptr);
        runEngine(path, argv, devNull, commandFd, replyFd, status);
    }
    if (engine < 0) {
        const int failure = errno;
        (void)!write(status, &failure, sizeof failure);
        endGroup();
    }
    dup2(lifeline, kWatcherLifeline);
    closeFrom(kWatcherLifeline + 1);
    char byte = 0;
    for (;;) {
        const ssize_t n = read(kWatcherLifeline, &byte, 1);
        if (n == 0 || (n < 0 && errno != EINTR)) break;
    }
    endGroup();
}

}  // namespace

int WebEngineProcess::start(const std::vector<std::string>& arguments, int commandFd, int replyFd) {
    if (arguments.empty()) return EINVAL;
    const std::string path = located(arguments.front());
    if (path.empty()) return ENOENT;
    std::vector<std::string> copies = arguments;
    std::vector<char*> argv;
    for (auto& argument : copies) argv.push_back(argument.data());
    argv.push_back(nullptr);

    int lifeline[2];
    int status[2];
    const int devNull = open("/dev/null", O_RDWR | O_CLOEXEC);
    if (devNull < 0) return errno;
    if (pipe2(lifeline, O_CLOEXEC) != 0) {
        const int failure = errno;
        close(devNull);
        return failure;
    }
    if (pipe2(status, O_CLOEXEC) != 0) {
        const int failure = errno;
        close(devNull);
        close(lifeline[0]);
        close(lifeline[1]);
        return failure;
    }
    const pid_t app = getpid();
    const pid_t watcher = fork();
    if (watcher == 0) watch(app, path.c_str(), argv.data(), devNull, commandFd, replyFd, status[1], lifeline[0]);
    const int forkFailure = watcher < 0 ? errno : 0;
    close(devNull);
    close(lifeline[0]);
    close(status[1]);
    if (forkFailure != 0) {
        close(lifeline[1]);
        close(status[0]);
        return forkFailure;
    }
    // Set before the engine can start its helpers, so that a kill from here on reaches the whole group.
    setpgid(watcher, watcher);
    group_ = watcher;
    lifeline_ = lifeline[1];
    int failure = 0;
    ssize_t n = 0;
    do {
        n = read(status[0], &failure, sizeof failure);
    } while (n < 0 && errno == EINTR);
    close(status[0]);
    return n == static_cast<ssize_t>(sizeof failure) ? failure : 0;
}

void WebEngineProcess::kill() const {
    if (group_ > 0) ::kill(-group_, SIGKILL);
}

void WebEngineProcess::end() {
    if (group_ > 0) {
        kill();
        waitpid(group_, nullptr, 0);
        group_ = -1;
    }
    if (lifeline_ >= 0) close(lifeline_);
    lifeline_ = -1;
}

}  // namespace ql::ui
