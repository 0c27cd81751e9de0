#pragma once
// The process log, in place of the platform's system log: whole lines on standard error, written from any
// thread without interleaving, and the newest of them kept as messages that the process can search, as it
// would search the system log. Tests capture what is logged while a Log::Capture lives.

#include <cstddef>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace ql::ns {

class Dictionary;

class Log {
public:
    // How many messages the log keeps; older ones make room.
    static constexpr std::size_t kKeptMessages = 1024;

    static void write(std::string_view line);

    // The kept messages of the process with that identifier, oldest first, each with the system log's keys:
    // "Time" (whole seconds since 1970, as text), "TimeNanoSec", "Sender" (the program's name), "Message",
    // "ASLMessageID" and "PID" (texts of numbers).
    static std::vector<Dictionary> messagesOfProcess(int pid);

    // Collects every line written, from any thread, between its construction and its destruction.
    class Capture {
    public:
        Capture();
        ~Capture();
        Capture(const Capture&) = delete;
        Capture& operator=(const Capture&) = delete;

        std::vector<std::string> lines() const;

    private:
        friend class Log;
        mutable std::mutex mutex_;
        std::vector<std::string> lines_;
    };
};

}  // namespace ql::ns
