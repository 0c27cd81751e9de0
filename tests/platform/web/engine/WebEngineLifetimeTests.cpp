// The engine never outlives the process that started it, however that process ends; its profile folder goes
// with a process that exits, and one that a process ending otherwise left behind is removed by the next start.

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "platform/foundation/Sandbox.h"
#include "platform/web/WebEngine.h"
#include "platform/web/WebEngineError.h"
#include "platform/web/WebEngineProfile.h"

extern char** environ;

namespace ql {
namespace {

constexpr std::string_view kMarkerVariable = "QL_ENGINE_HOLDER_RUN";

// The live processes (not those that ended and await their parent) for which `wanted(folder, group)` holds,
// `folder` being the process's folder under /proc.
template <class Wanted>
std::vector<pid_t> liveProcesses(Wanted wanted) {
    std::vector<pid_t> found;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        std::ifstream stat(entry.path() / "stat");
        std::string line;
        if (!std::getline(stat, line) || line.rfind(')') == std::string::npos) continue;
        char state = 0;
        long parent = 0;
        long group = 0;
        if (std::sscanf(line.c_str() + line.rfind(')') + 1, " %c %ld %ld", &state, &parent, &group) != 3 || state == 'Z')
            continue;
        if (wanted(entry.path(), static_cast<std::uint64_t>(group))) found.push_back(static_cast<pid_t>(std::stol(name)));
    }
    return found;
}

// Live processes whose environment holds the marker: the engine's processes inherit it from the holder
// whatever group they put themselves in.
std::vector<pid_t> processesMarked(const std::string& marker) {
    const std::string wanted = std::string(kMarkerVariable) + "=" + marker;
    return liveProcesses([&](const std::filesystem::path& folder, std::uint64_t) {
        std::ifstream environment(folder / "environ", std::ios::binary);
        std::string variable;
        while (std::getline(environment, variable, '\0')) {
            if (variable == wanted) return true;
        }
        return false;
    });
}

struct Holder {
    pid_t pid = -1;
    std::uint64_t group = 0;
    std::string marker;
};

// Starts the holder in the sandbox at `home`, with the environment's variables and `own` ones in place of
// those of the same names; its engine's group once it has a page, or a failed test.
Holder startHolder(const std::string& mode, const std::string& home, std::vector<std::string> own = {}) {
    static std::mt19937_64 random(std::random_device{}());
    Holder holder;
    holder.marker = std::to_string(getpid()) + "-" + mode + "-" + std::to_string(random());
    own.push_back(std::string(kMarkerVariable) + "=" + holder.marker);
    own.push_back("QUILLORY_HOME=" + home);
    std::vector<std::string> variables = own;
    for (char** variable = environ; *variable; ++variable) {
        const std::string_view given(*variable);
        const auto replaced = [&](const std::string& mine) { return given.substr(0, given.find('=') + 1) == mine.substr(0, mine.find('=') + 1); };
        if (std::none_of(own.begin(), own.end(), replaced)) variables.emplace_back(given);
    }
    std::vector<char*> envp;
    for (auto& variable : variables) envp.push_back(variable.data());
    envp.push_back(nullptr);
    std::string program = QL_ENGINE_HOLDER;
    std::vector<char*> argv{program.data(), const_cast<char*>(mode.c_str()), nullptr};
    int out[2];
    EXPECT_EQ(pipe2(out, O_CLOEXEC), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    EXPECT_EQ(posix_spawn(&holder.pid, program.c_str(), &actions, nullptr, argv.data(), envp.data()), 0);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    std::string line;
    pollfd ready{out[0], POLLIN, 0};
    char byte = 0;
    while (line.find('\n') == std::string::npos && poll(&ready, 1, 60'000) == 1 && read(out[0], &byte, 1) == 1) line += byte;
    close(out[0]);
    EXPECT_NE(line.find('\n'), std::string::npos) << mode << ": the holder told no engine";
    if (!line.empty()) holder.group = std::stoull(line);
    return holder;
}

std::vector<pid_t> groupMembers(std::uint64_t group) {
    return liveProcesses([&](const std::filesystem::path&, std::uint64_t processGroup) { return processGroup == group; });
}

bool groupGone(std::uint64_t group) { return groupMembers(group).empty(); }

// Waits until the processes `live()` finds are gone or `within` has passed. Each process found is watched
// through a descriptor the system makes readable when it ends, so the wait wakes on an ending, not a timer.
template <class Find>
void awaitEnding(Find live, std::chrono::milliseconds within) {
    const auto deadline = std::chrono::steady_clock::now() + within;
    for (;;) {
        const std::vector<pid_t> found = live();
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (found.empty() || left.count() <= 0) return;
        std::vector<pollfd> watched;
        for (pid_t pid : found) {
            const int descriptor = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
            if (descriptor >= 0) watched.push_back({descriptor, POLLIN, 0});
        }
        if (!watched.empty()) poll(watched.data(), watched.size(), static_cast<int>(left.count()));
        for (const pollfd& one : watched) close(one.fd);
    }
}

std::vector<std::string> profileFolders(const std::string& home) {
    std::vector<std::string> folders;
    for (const auto& entry : std::filesystem::directory_iterator(home + "/tmp")) {
        if (entry.path().filename().string().rfind("web-engine-", 0) == 0) folders.push_back(entry.path().string());
    }
    return folders;
}

// Waits for the holder to end; whether it exited with status 0.
bool exitedWithSuccess(pid_t holder) {
    int status = 0;
    return waitpid(holder, &status, 0) == holder && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST(WebEngineLifetime, NoEngineProcessOutlivesItsAppHoweverTheAppEnds) {
    ns::TemporarySandbox sandbox;
    // One stays alive throughout: its engine and its profile folder are left alone.
    Holder alive = startHolder("wait", sandbox.path());
    std::vector<std::pair<std::string, Holder>> ending;
    for (const std::string mode : {"kill", "quit", "exit", "crash"}) ending.emplace_back(mode, startHolder(mode == "kill" ? "wait" : mode, sandbox.path()));
    ASSERT_GT(alive.group, 0u);
    EXPECT_GE(processesMarked(alive.marker).size(), 3u) << "the holder, the engine's watcher and the engine";

    for (auto& [mode, holder] : ending) {
        ASSERT_GT(holder.group, 0u) << mode;
        if (mode == "kill") kill(holder.pid, SIGKILL);
        int status = 0;
        ASSERT_EQ(waitpid(holder.pid, &status, 0), holder.pid) << mode;
    }
    for (auto& [mode, holder] : ending) {
        const std::string& marker = holder.marker;
        const std::uint64_t group = holder.group;
        awaitEnding([&] {
            std::vector<pid_t> live = processesMarked(marker);
            for (pid_t member : groupMembers(group)) live.push_back(member);
            return live;
        }, std::chrono::seconds(2));
        EXPECT_TRUE(processesMarked(marker).empty()) << mode;
        EXPECT_TRUE(groupGone(group)) << mode;
    }
    EXPECT_FALSE(processesMarked(alive.marker).empty());
    EXPECT_FALSE(groupGone(alive.group));

    // The next start removes what the ended ones left in the sandbox, and only that.
    const auto before = profileFolders(sandbox.path());
    EXPECT_GE(before.size(), 3u);
    std::string problem;
    auto profile = ui::WebEngineProfile::make(&problem);
    ASSERT_TRUE(profile) << problem;
    const auto after = profileFolders(sandbox.path());
    EXPECT_EQ(after.size(), 2u) << "the live holder's and the new one";
    EXPECT_NE(std::find(after.begin(), after.end(), profile->path()), after.end());

    kill(alive.pid, SIGKILL);
    waitpid(alive.pid, nullptr, 0);
    awaitEnding([&] { return processesMarked(alive.marker); }, std::chrono::seconds(2));
    EXPECT_TRUE(processesMarked(alive.marker).empty());
}

TEST(WebEngineLifetime, AnAppThatExitsWithAViewOpenLeavesNoProfileFolder) {
    ns::TemporarySandbox sandbox;
    const Holder holder = startHolder("exit", sandbox.path());
    ASSERT_GT(holder.group, 0u);
    EXPECT_TRUE(exitedWithSuccess(holder.pid));
    EXPECT_TRUE(profileFolders(sandbox.path()).empty());
    awaitEnding([&] { return groupMembers(holder.group); }, std::chrono::seconds(2));
    EXPECT_TRUE(groupGone(holder.group));
}

TEST(WebEngineLifetime, AChildTheAppForksLeavesTheEngineToTheAppWhenItExits) {
    ns::TemporarySandbox sandbox;
    // The leak checker would run again in the child, where the memory the app's other threads hold looks
    // lost: it is left to the app itself.
    const Holder holder = startHolder(
        "fork", sandbox.path(), {"ASAN_OPTIONS=detect_leaks=0:abort_on_error=1", "LSAN_OPTIONS=detect_leaks=0"});
    ASSERT_GT(holder.group, 0u) << "the child's exit ended the page";
    EXPECT_FALSE(groupGone(holder.group));
    EXPECT_EQ(profileFolders(sandbox.path()).size(), 1u);

    // The app itself still ends it all when it goes.
    kill(holder.pid, SIGKILL);
    waitpid(holder.pid, nullptr, 0);
    awaitEnding([&] { return processesMarked(holder.marker); }, std::chrono::seconds(2));
    EXPECT_TRUE(processesMarked(holder.marker).empty());
}

TEST(WebEngineLifetime, APageLoadedOnceTheEnginesEndHasRunStartsNoEngine) {
    ns::TemporarySandbox sandbox;
    const Holder holder = startHolder("late-load", sandbox.path());
    ASSERT_GT(holder.group, 0u);
    EXPECT_TRUE(exitedWithSuccess(holder.pid));
    std::ifstream told(sandbox.path() + "/late-load");
    const std::string said((std::istreambuf_iterator<char>(told)), std::istreambuf_iterator<char>());
    EXPECT_EQ(said, "fail " + std::to_string(ui::WebEngineErrorEnded) + "\nno engine\n");
    EXPECT_TRUE(profileFolders(sandbox.path()).empty());
    awaitEnding([&] { return processesMarked(holder.marker); }, std::chrono::seconds(2));
    EXPECT_TRUE(processesMarked(holder.marker).empty());
}

}  // namespace
}  // namespace ql
