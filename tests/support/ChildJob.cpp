#include "tests/support/ChildJob.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <stdexcept>

namespace ql::test {

namespace {

// Appends what the descriptor has now; false once it has ended.
bool drain(int fd, std::string& into) {
    std::array<char, 65536> buffer;
    for (;;) {
        const ssize_t n = ::read(fd, buffer.data(), buffer.size());
        if (n > 0) {
            into.append(buffer.data(), static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        return n < 0 && errno == EAGAIN;
    }
}

void closeIfOpen(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

}  // namespace

ChildJob::ChildJob(const std::vector<std::string>& arguments, const std::map<std::string, std::string>& environment) {
    int input[2] = {-1, -1}, output[2] = {-1, -1}, errors[2] = {-1, -1};
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, input) != 0 || ::pipe2(output, O_CLOEXEC) != 0 ||
        ::pipe2(errors, O_CLOEXEC) != 0) {
        for (int* fd : {&input[0], &input[1], &output[0], &output[1], &errors[0], &errors[1]}) closeIfOpen(*fd);
        throw std::runtime_error("no pipes for the child's streams");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input[1], 0);
    posix_spawn_file_actions_adddup2(&actions, output[1], 1);
    posix_spawn_file_actions_adddup2(&actions, errors[1], 2);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    posix_spawnattr_setpgroup(&attributes, 0);
    sigset_t all, none;
    sigfillset(&all);
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setsigmask(&attributes, &none);
    std::vector<std::string> argumentTexts = arguments;
    std::vector<std::string> environmentTexts = environmentWith(environment);
    std::vector<char*> argv = pointersTo(argumentTexts);
    std::vector<char*> envp = pointersTo(environmentTexts);
    const int failed = ::posix_spawn(&pid_, argv[0], &actions, &attributes, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ::close(input[1]);
    ::close(output[1]);
    ::close(errors[1]);
    input_ = input[0];
    output_ = output[0];
    errors_ = errors[0];
    if (failed != 0) {
        pid_ = -1;
        throw std::runtime_error("cannot start " + arguments.front());
    }
    ::fcntl(output_, F_SETFL, O_NONBLOCK);
    ::fcntl(errors_, F_SETFL, O_NONBLOCK);
    handle_ = static_cast<int>(::syscall(SYS_pidfd_open, pid_, 0));
}

ChildJob::~ChildJob() {
    if (pid_ > 0 && !waited_) {
        ::kill(-pid_, SIGKILL);
        int status = 0;
        ::waitpid(pid_, &status, 0);
    }
    for (int* fd : {&input_, &output_, &errors_, &handle_}) closeIfOpen(*fd);
}

bool ChildJob::write(std::string_view input) {
    while (!input.empty()) {
        const ssize_t n = ::send(input_, input.data(), input.size(), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        input.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

void ChildJob::closeInput() { closeIfOpen(input_); }

template <class Done>
bool ChildJob::readUntil(const Done& done, double seconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!done()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        std::array<pollfd, 3> watched = {{{output_, POLLIN, 0}, {errors_, POLLIN, 0}, {handle_, POLLIN, 0}}};
        if (::poll(watched.data(), watched.size(), static_cast<int>(left.count())) < 0 && errno != EINTR) return false;
        if (output_ >= 0 && watched[0].revents && !drain(output_, out_)) closeIfOpen(output_);
        if (errors_ >= 0 && watched[1].revents && !drain(errors_, err_)) closeIfOpen(errors_);
    }
    return true;
}

bool ChildJob::waitForOutput(std::string_view text, double seconds) {
    const bool arrived =
        readUntil([&] { return out_.find(text) != std::string::npos || output_ < 0; }, seconds);
    return arrived && out_.find(text) != std::string::npos;
}

void ChildJob::signalGroup(int signal) const { ::kill(-pid_, signal); }

void ChildJob::signalProgram(int signal) const { ::kill(pid_, signal); }

ChildRun ChildJob::wait(double seconds) {
    ChildRun run;
    const auto ended = [&] {
        pollfd watched{handle_, POLLIN, 0};
        return ::poll(&watched, 1, 0) == 1;
    };
    run.ended = readUntil(ended, seconds);
    if (!run.ended) ::kill(-pid_, SIGKILL);
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    waited_ = true;
    // What the program wrote last, still in the streams.
    if (output_ >= 0) drain(output_, out_);
    if (errors_ >= 0) drain(errors_, err_);
    if (WIFEXITED(status)) run.status = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) run.signal = WTERMSIG(status);
    run.out = out_;
    run.err = err_;
    return run;
}

bool ChildJob::groupHasProcesses() const { return ::kill(-pid_, 0) == 0 || errno != ESRCH; }

}  // namespace ql::test
