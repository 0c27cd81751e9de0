#pragma once
// Runs an independent program (the system's python3 or openssl) over bytes, so a test can check what the
// code under test produced against a peer that shares none of its code.

#include <optional>
#include <string>
#include <string_view>

namespace ql::test {

// Runs `command` through the shell with `input` on its standard input; its standard output, or nothing when
// it could not be run or exited with a status other than 0.
std::optional<std::string> runPeer(const std::string& command, std::string_view input);

// "python3 -c '<program>'" with the program quoted for the shell.
std::string pythonCommand(std::string_view program);

}  // namespace ql::test
