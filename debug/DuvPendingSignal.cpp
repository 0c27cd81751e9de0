#include "debug/DuvPendingSignal.h"

#include <fcntl.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <charconv>
#include <climits>
#include <cstring>

#include "debug/DuvFirstFault.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Log.h"

namespace ql::duv_pending_signal {

namespace {

constexpr std::string_view kFilePrefix = "pending-signal-";
// A line is a few dozen bytes; anything much longer is not ours.
constexpr std::uint64_t kLargestNote = 4096;

// The prefix is filled before any handler is set; the handler, once per process (gFirstFault), appends the
// process id behind it. Static, so the handler itself needs next to no stack.
char gPath[PATH_MAX + 24];
std::size_t gPathPrefixLength = 0;
// A process notes one fatal signal: the first fault's own, or the abort that follows the note of an uncaught
// exception that was the first fault (see DuvFirstFault.h).
std::atomic<bool> gSignalNoted{false};

// Appends the decimal digits of a non-negative number; answers the new end.
char* appendNumber(char* out, std::int64_t number) {
    char digits[20];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + number % 10);
        number /= 10;
    } while (number > 0 && count < 20);
    while (count > 0) *out++ = digits[--count];
    return out;
}

// Only async-signal-safe calls from here on: no allocation, no locks, no stdio.
void record(int signal) {
    *appendNumber(gPath + gPathPrefixLength, ::getpid()) = '\0';
    // Never waiting for a reader of a pipe put in the note's place, nor writing where a link leads.
    const int file = ::open(gPath, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW, 0644);
    if (file < 0) return;
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    char line[48];
    char* end = appendNumber(line, signal);
    *end++ = ' ';
    end = appendNumber(end, now.tv_sec > 0 ? now.tv_sec : 0);
    *end++ = '\n';
    // One short append: either the whole line lands or the next run drops what did.
    [[maybe_unused]] const ssize_t written = ::write(file, line, static_cast<std::size_t>(end - line));
    ::close(file);
}

// A plain return would run the faulting instruction again, so the default action is restored and the
// signal raised anew. Threads whose fault came later end the process only once the first fault's note is
// written (or the wait for it has been given up); that note is whole once its thread's signal is recorded.
void onSignal(int signal) {
    DuvFirstFault& order = processFirstFault();
    if (order.begin() != DuvFirstFault::Turn::Later && !gSignalNoted.exchange(true)) {
        record(signal);
        order.noted();
    }
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

bool parseLine(std::string_view line, PendingSignal& out) {
    const auto space = line.find(' ');
    if (space == std::string_view::npos) return false;
    const auto number = [](std::string_view text, auto& value) {
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
        return error == std::errc() && end == text.data() + text.size() && !text.empty();
    };
    return number(line.substr(0, space), out.signal) && number(line.substr(space + 1), out.seconds) &&
           out.signal > 0 && out.seconds >= 0;
}

// The thread that installs the handlers gets a stack of their own, so that a fault of its stack (an
// overflow: the guard page is hit and nothing is left to push a frame on) still reaches the handler. A
// stack the thread already has is kept when it is large enough.
void provideSignalStack() {
    constexpr std::size_t kSmallest = 64 * 1024;
    const long wanted = ::sysconf(_SC_SIGSTKSZ);
    const std::size_t size = std::max<std::size_t>(kSmallest, wanted > 0 ? static_cast<std::size_t>(wanted) : 0);
    stack_t current{};
    if (::sigaltstack(nullptr, &current) == 0 && !(current.ss_flags & SS_DISABLE) && current.ss_size >= size) return;
    // Kept here, never freed: a signal may come until the process is gone.
    static char* const own = new char[size];
    stack_t stack{};
    stack.ss_sp = own;
    stack.ss_size = size;
    if (::sigaltstack(&stack, nullptr) != 0)
        ns::Log::write("DuvDebugTool:no signal stack, a stack overflow leaves no crash record");
}

}  // namespace

void install(const std::string& folder, std::span<const int> signals) {
    const std::string prefix = folder + "/" + std::string(kFilePrefix);
    if (prefix.size() >= PATH_MAX) {
        ns::Log::write("DuvDebugTool:crash folder path too long, fatal signals are not recorded");
        return;
    }
    std::memcpy(gPath, prefix.data(), prefix.size());
    gPathPrefixLength = prefix.size();
    provideSignalStack();
    struct sigaction action {};
    action.sa_handler = &onSignal;
    action.sa_flags = SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    for (int signal : signals) {
        // A signal the process chose to ignore (a write to a closed socket, say) is an error where it
        // happens, not a crash: it stays ignored.
        struct sigaction previous {};
        if (::sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) continue;
        ::sigaction(signal, &action, nullptr);
    }
}

std::vector<PendingSignal> collect(const std::string& folder) {
    std::vector<PendingSignal> pending;
    const auto& files = ns::FileManager::defaultManager();
    for (const std::string& name : files.contentsOfDirectoryAtPath(folder).value_or(std::vector<std::string>{})) {
        if (!name.starts_with(kFilePrefix)) continue;
        const std::string path = folder + "/" + name;
        if (const auto data = ns::dataWithContentsOfFile(path, kLargestNote)) {
            std::string_view text(reinterpret_cast<const char*>(data->bytes()), data->length());
            while (!text.empty()) {
                const auto newline = text.find('\n');
                if (newline == std::string_view::npos) break;  // cut short by the crash: dropped
                if (PendingSignal signal; parseLine(text.substr(0, newline), signal)) pending.push_back(signal);
                text.remove_prefix(newline + 1);
            }
        }
        ::unlink(path.c_str());
    }
    std::stable_sort(pending.begin(), pending.end(),
                     [](const PendingSignal& a, const PendingSignal& b) { return a.seconds < b.seconds; });
    return pending;
}

}  // namespace ql::duv_pending_signal
