#include "tests/support/ChildProgram.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "platform/foundation/UUID.h"

extern char** environ;

namespace ql::test {

namespace {

std::string readWhole(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

}  // namespace

std::vector<std::string> environmentWith(const std::map<std::string, std::string>& changes) {
    std::vector<std::string> entries;
    for (char** entry = environ; *entry; ++entry) {
        const std::string text = *entry;
        if (!changes.contains(text.substr(0, text.find('=')))) entries.push_back(text);
    }
    for (const auto& [name, value] : changes) {
        if (!value.empty()) entries.push_back(name + "=" + value);
    }
    return entries;
}

std::vector<char*> pointersTo(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (std::string& text : texts) pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

bool awaitGone(pid_t process, double seconds) {
    const int handle = static_cast<int>(::syscall(SYS_pidfd_open, process, 0));
    // Gone already, or a system without handles to processes: taken as gone (a child is then waited for as long as
    // it takes).
    if (handle < 0) return true;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    pollfd watch{handle, POLLIN, 0};
    int ready = 0;
    do {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        ready = ::poll(&watch, 1, static_cast<int>(std::max<std::int64_t>(left.count(), 0)));
    } while (ready < 0 && errno == EINTR);
    ::close(handle);
    return ready == 1;
}

namespace {

// Waits for the child to end, at most `seconds`; kills it when it does not.
int waitFor(pid_t child, double seconds, bool& ended) {
    ended = awaitGone(child, seconds);
    if (!ended) ::kill(child, SIGKILL);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
    }
    return status;
}

}  // namespace

bool ChildRun::hasSanitizerReport() const {
    return err.find("Sanitizer") != std::string::npos || err.find("runtime error:") != std::string::npos;
}

namespace {

constexpr std::string_view kEndBegins = "the end begins at ";

}  // namespace

void tellTheEndBegins() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    std::printf("%s%lld\n", kEndBegins.data(),
                static_cast<long long>(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()));
    std::fflush(stdout);
}

void lingerAtTheEnd() {
    struct Lingers {
        ~Lingers() {
            const timespec aTenth{0, 100'000'000};
            ::nanosleep(&aTenth, nullptr);
        }
    };
    static Lingers lingers;
}

std::optional<double> ChildRun::secondsOfItsEnd() const {
    const auto said = out.find(kEndBegins);
    if (said == std::string::npos) return std::nullopt;
    const long long began = std::stoll(out.substr(said + kEndBegins.size()));
    const auto gone = std::chrono::duration_cast<std::chrono::nanoseconds>(endedAt.time_since_epoch()).count();
    return static_cast<double>(gone - began) / 1e9;
}

std::string ChildRun::describe() const {
    std::string text = !ended ? "still running, killed" : signal ? "ended by signal " + std::to_string(signal)
                                                                 : "exit status " + std::to_string(status);
    return text + "; standard error:\n" + err;
}

ChildRun runChild(const std::vector<std::string>& arguments, const std::map<std::string, std::string>& environment,
                  const std::string& input, double seconds) {
    const std::string base = (std::filesystem::temp_directory_path() / ("quillory-child-" + ns::UUID().UUIDString())).string();
    const std::string inPath = base + ".in", outPath = base + ".out", errPath = base + ".err";
    std::ofstream(inPath, std::ios::binary) << input;

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, inPath.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::vector<std::string> argumentTexts = arguments;
    std::vector<std::string> environmentTexts = environmentWith(environment);
    std::vector<char*> argv = pointersTo(argumentTexts);
    std::vector<char*> envp = pointersTo(environmentTexts);
    pid_t child = 0;
    const int failed = ::posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0) throw std::runtime_error("cannot start " + arguments.front());

    ChildRun run;
    const int status = waitFor(child, seconds, run.ended);
    run.endedAt = std::chrono::steady_clock::now();
    if (WIFEXITED(status)) run.status = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) run.signal = WTERMSIG(status);
    run.out = readWhole(outPath);
    run.err = readWhole(errPath);
    for (const std::string& path : {inPath, outPath, errPath}) std::remove(path.c_str());
    return run;
}

}  // namespace ql::test
