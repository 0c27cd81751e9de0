#pragma once
// What the tests running the run command as a process of its own share: which build of a program they run,
// how many times they repeat a run and what a run left in the folders it was given.

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace ql::test {

// The program built with the tests, or the one the environment variable names (a release build, say).
inline std::string program(const char* variable, const char* built) {
    const char* other = std::getenv(variable);
    return other && *other ? other : built;
}

// How many runs a repeated test makes: the count the environment variable names, else `otherwise`.
inline int runsFrom(const char* variable, int otherwise) {
    const char* count = std::getenv(variable);
    return count && std::atoi(count) > 0 ? std::atoi(count) : otherwise;
}

// The names of what lies in the folder.
inline std::vector<std::string> leftIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename());
    return names;
}

}  // namespace ql::test
