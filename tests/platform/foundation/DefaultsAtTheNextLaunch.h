#pragma once
// What the user defaults hold at the next launch in a home the program of WorkAtExit.cpp ended in.

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "tests/support/ChildProgram.h"

namespace ql::test {

// The user defaults `keys` the program reads when launched again in the home `inHome`, one a line ("nothing" for
// one not set); the user default "promise" when `keys` is empty.
inline std::string defaultsAtTheNextLaunch(const std::map<std::string, std::string>& inHome,
                                           const std::vector<std::string>& keys) {
    std::vector<std::string> arguments{QL_WORK_AT_EXIT, "-", "read-default"};
    arguments.insert(arguments.end(), keys.begin(), keys.end());
    const ChildRun next = runChild(arguments, inHome, "", 60);
    EXPECT_TRUE(next.succeeded()) << next.describe();
    return next.out;
}

}  // namespace ql::test
