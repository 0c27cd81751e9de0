#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "net/NetMainQueueCourier.h"
#include "tests/net/NetLoadingTestSupport.h"

namespace ql {
namespace {

TEST(NetMainQueueCourier, WhatFollowsAPieceThatThrowsStillArrivesInOrder) {
    auto courier = NetMainQueueCourier::make();
    std::string ran;
    courier->hold([&] { ran += "start "; });
    courier->hold([&] {
        ran += "observer ";
        courier->hold([&] { ran += "later "; });
        throw std::runtime_error("an observer failed");
    });
    courier->hold([&] { ran += "progress "; });
    courier->hold([&] { ran += "finish "; });

    EXPECT_THROW(courier->deliver(), std::runtime_error);
    EXPECT_EQ(ran, "start observer ");
    ASSERT_TRUE(test::pumpUntil([&] { return ran.ends_with("later "); }, 10));
    EXPECT_EQ(ran, "start observer progress finish later ");

    courier->deliver();  // nothing is left to run twice
    EXPECT_EQ(ran, "start observer progress finish later ");
}

}  // namespace
}  // namespace ql
