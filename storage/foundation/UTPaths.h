#pragma once
// Standard folder paths of the sandbox and numbered file names ("file(2).txt"): the number in
// parentheses at the end of the name, before the extension.

#include <string>
#include <string_view>

namespace ql {

// Each is worked out once per process.
const std::string& cachesPath();
const std::string& documentsPath();
const std::string& temporaryPath();
// A fresh name in the temporary folder; nothing is created.
std::string pathForTemporaryFile();

// "file.txt" → "file(1).txt" → "file(2).txt"; a number too large to grow stays the largest one.
std::string pathByIncrementingSequenceNumber(std::string_view path);
// "file(2).txt" → "file.txt"; a path without a number at the end of its name is answered unchanged.
std::string pathByDeletingSequenceNumber(std::string_view path);

}  // namespace ql
