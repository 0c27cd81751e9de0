#pragma once
// How a child program ends when an exit handler still waits, at the end of the allowance, for what a thread the
// end stopped holds for good.

#include <gtest/gtest.h>

#include <string_view>

#include "platform/foundation/BackgroundWork.h"
#include "tests/support/ChildProgram.h"

namespace ql::test {

// It ended with `status` within the longest an end may take, said it gave up on its exit handlers, never got as
// far as printing `neverPrinted` (what the waiting handler prints once its wait is over), and no sanitizer spoke.
inline ::testing::AssertionResult gaveUpItsExitHandlers(const ChildRun& ending, int status, std::string_view neverPrinted) {
    if (!ending.ended) return ::testing::AssertionFailure() << "hung";
    if (ending.status != status || ending.hasSanitizerReport())
        return ::testing::AssertionFailure() << "expected exit status " << status << ", got " << ending.describe();
    if (ending.out.find(neverPrinted) != std::string::npos)
        return ::testing::AssertionFailure() << "the handler's wait ended: " << ending.out;
    if (ending.err.find(ns::BackgroundWork::kExitHandlersGivenUp) == std::string::npos)
        return ::testing::AssertionFailure() << "nothing said of giving up: " << ending.err;
    if (ending.secondsOfItsEnd().value_or(kLongestEnd + 1) > kLongestEnd)
        return ::testing::AssertionFailure() << "its end took too long or was never told: " << ending.out;
    return ::testing::AssertionSuccess();
}

}  // namespace ql::test
