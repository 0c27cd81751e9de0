#pragma once
// A script read from a pipe or a terminal as its lines arrive, without keeping an interrupted run waiting
// for the next one: the input ends once the interruption's descriptor becomes readable.

#include <array>
#include <streambuf>

namespace ql::quillory {

class InterruptibleInput : public std::streambuf {
public:
    // Reads `fd` (not taken over) until it ends or `interruption` becomes readable.
    InterruptibleInput(int fd, int interruption) : fd_(fd), interruption_(interruption) {}

protected:
    // A read error raises std::system_error, which the stream reading through this turns into its bad state.
    int_type underflow() override;

private:
    int fd_;
    int interruption_;
    std::array<char, 4096> buffer_{};
};

}  // namespace ql::quillory
