#include <gtest/gtest.h>

#include <algorithm>
#include <unordered_set>
#include <vector>

#include "platform/foundation/IndexPath.h"
#include "platform/foundation/Object.h"

using ql::ns::IndexPath;

TEST(IndexPath, OrdersBySectionThenRowAndTravelsInsideValues) {
    std::vector<IndexPath> paths{{1, 0}, {0, 7}, IndexPath::indexPathForRow(2, 0), IndexPath::indexPathForItem(3, 1)};
    std::sort(paths.begin(), paths.end());
    EXPECT_EQ(paths, (std::vector<IndexPath>{{0, 2}, {0, 7}, {1, 0}, {1, 3}}));
    EXPECT_EQ(paths[3].item(), 3);
    EXPECT_EQ(paths[3].section(), 1);

    std::unordered_set<IndexPath> set(paths.begin(), paths.end());
    EXPECT_EQ(set.count({1, 3}), 1u);
    EXPECT_EQ(set.count({3, 1}), 0u);

    const ql::ns::Value boxed = IndexPath(4, 9).boxed();
    EXPECT_EQ(boxed.asObject()->className(), "NSIndexPath");
    EXPECT_EQ(IndexPath::fromValue(boxed), IndexPath(4, 9));
    EXPECT_TRUE(boxed.asObject()->isEqual(*IndexPath(4, 9).boxed().asObject()));
    EXPECT_FALSE(IndexPath::fromValue(ql::ns::Value(std::int64_t(4))).has_value());
    EXPECT_NE(boxed.asObject()->description().find("{length = 2, path = 4 - 9}"), std::string::npos);
}
