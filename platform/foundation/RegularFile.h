#pragma once
// ns::RegularFile: a file the system reads without having just written it, open for reading. Only a regular
// file (or a link to one) no larger than its reader's bound is opened: a folder, FIFO, socket or device put
// where a file should be is refused without being waited on, and so is a file larger than the bound. What
// it holds is read with the bound, not the size the file reports, as the limit.

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/foundation/Data.h"
#include "platform/foundation/Error.h"

namespace ql::ns {

class RegularFile {
public:
    // Looked at before it is opened (opening a device can do things, opening a FIFO waits for a writer),
    // opened without waiting, and looked at again on the descriptor, since the name may have been given to
    // something else in between. Failures are file errors of a read: the platform's codes for what opening
    // reports, FileReadUnknownError for anything but a regular file, FileReadTooLargeError for a file larger
    // than maxLength.
    static std::optional<RegularFile> open(const std::string& path, std::uint64_t maxLength, Error* error = nullptr);

    RegularFile(RegularFile&& other) noexcept;
    RegularFile& operator=(RegularFile&& other) noexcept;
    RegularFile(const RegularFile&) = delete;
    RegularFile& operator=(const RegularFile&) = delete;
    ~RegularFile();

    // The size the file had when it was opened.
    std::uint64_t size() const { return size_; }

    // Reads at most `length` bytes at `offset`: the count read (0 at the end), or -1 with errno set.
    ssize_t readAt(void* buffer, std::size_t length, std::uint64_t offset) const;

    // Everything the file holds, to its end, whatever size it reported (files under /proc report none) or
    // has grown to since; refused with FileReadTooLargeError once that passes the bound.
    std::optional<Data> readAll(Error* error = nullptr) const;

private:
    RegularFile(std::string path, int descriptor, std::uint64_t maxLength)
        : path_(std::move(path)), descriptor_(descriptor), maxLength_(maxLength) {}

    std::string path_;
    int descriptor_;
    std::uint64_t maxLength_;
    std::uint64_t size_ = 0;
};

// The same care for callers that open a file their own way (to write it, to create it, or to stream it
// whatever its size): `path` opened with `flags` (close-on-exec and non-blocking added) only when it names a
// regular file, looked at before and again after opening. The descriptor, or -1 with errno set: EISDIR for
// a folder, ENOTSUP for a FIFO, socket or device, else what the system said.
int openRegularFile(const std::string& path, int flags, mode_t mode = 0);

}  // namespace ql::ns
