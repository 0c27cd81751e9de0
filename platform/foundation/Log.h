#pragma once
// The process log, in place of the platform's system log: whole lines on standard error, written from any
// thread without interleaving. Tests capture what is logged while a Log::Capture lives.

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace ql::ns {

class Log {
public:
    static void write(std::string_view line);

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
