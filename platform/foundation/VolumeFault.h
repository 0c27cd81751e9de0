#pragma once
// Volume faults for tests that cannot mount a full or read-only volume (that takes root): the fault is laid
// on a folder instead, and the file layer below answers as such a volume would. ENOSPC fails making files
// and folders and writing bytes; EROFS fails these and also opening an existing file for writing. The file
// manager's writes and folder making consult it, as do stores that open their files themselves.

#include <string>
#include <string_view>

namespace ql::ns {

// Lays the POSIX error on everything below the folder; 0 lifts it.
void setVolumeFaultForTesting(const std::string& folder, int posixError);
// The fault laid on a folder holding the path, or 0.
int volumeFaultForTesting(std::string_view path);

}  // namespace ql::ns
