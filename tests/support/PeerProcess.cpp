#include "tests/support/PeerProcess.h"

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>

#include "platform/foundation/Sandbox.h"
#include "platform/foundation/UUID.h"

namespace ql::test {

std::optional<std::string> runPeer(const std::string& command, std::string_view input) {
    const std::string inputPath = ns::temporaryDirectory() + "/peer-" + ns::UUID().UUIDString();
    {
        std::ofstream file(inputPath, std::ios::binary);
        file.write(input.data(), static_cast<std::streamsize>(input.size()));
    }
    const std::string line = command + " < '" + inputPath + "'";
    FILE* pipe = ::popen(line.c_str(), "r");
    if (pipe == nullptr) return std::nullopt;
    std::string output;
    char chunk[4096];
    std::size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0) output.append(chunk, got);
    const int status = ::pclose(pipe);
    std::remove(inputPath.c_str());
    if (status == -1 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
    return output;
}

std::string pythonCommand(std::string_view program) {
    std::string quoted;
    for (char c : program) {
        if (c == '\'') quoted += "'\\''";
        else quoted += c;
    }
    return "/usr/bin/python3 -c '" + quoted + "'";
}

}  // namespace ql::test
