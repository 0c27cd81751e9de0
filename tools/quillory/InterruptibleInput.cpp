#include "tools/quillory/InterruptibleInput.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace ql::quillory {

InterruptibleInput::int_type InterruptibleInput::underflow() {
    if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
    pollfd ready[] = {{fd_, POLLIN, 0}, {interruption_, POLLIN, 0}};
    while (::poll(ready, 2, -1) < 0) {
        if (errno != EINTR) throw std::system_error(errno, std::generic_category(), "cannot wait for the script");
    }
    if (ready[1].revents & POLLIN) return traits_type::eof();
    ssize_t n = 0;
    do {
        n = ::read(fd_, buffer_.data(), buffer_.size());
    } while (n < 0 && errno == EINTR);
    if (n < 0) throw std::system_error(errno, std::generic_category(), "cannot read the script");
    if (n == 0) return traits_type::eof();
    setg(buffer_.data(), buffer_.data(), buffer_.data() + n);
    return traits_type::to_int_type(*gptr());
}

}  // namespace ql::quillory
