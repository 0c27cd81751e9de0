#include <gtest/gtest.h>

#include <thread>

#include "platform/foundation/Log.h"

using ql::ns::Log;

TEST(LogTest, CapturesWholeLinesFromEveryThreadWhileItLives) {
    Log::write("before");
    std::vector<std::string> lines;
    {
        Log::Capture capture;
        Log::write("Response:{\n    result = 1;\n}");
        std::thread other([] { Log::write("from another thread"); });
        other.join();
        lines = capture.lines();
    }
    Log::write("after");
    EXPECT_EQ(lines, (std::vector<std::string>{"Response:{\n    result = 1;\n}", "from another thread"}));
}
