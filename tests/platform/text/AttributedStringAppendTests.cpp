#include <gtest/gtest.h>

#include "platform/text/AttributedString.h"

using namespace ql;

namespace {

// Appending a string that is given up: the same result as copying it, its runs joined at the seam.
TEST(AttributedStringAppendTests, TakingTheRunsGivesTheSameTextAsCopyingThem) {
    const ns::Dictionary bold{{"b", ns::Value(true)}};
    const ns::Dictionary plain{{"p", ns::Value(1)}};
    ct::AttributedString piece("x", bold);
    piece.appendAttributedString(ct::AttributedString("yz", plain));

    ct::AttributedString copied("a", bold);
    copied.appendAttributedString(piece);
    ct::AttributedString moved("a", bold);
    ct::AttributedString given = piece;
    moved.appendAttributedString(std::move(given));
    EXPECT_EQ(moved, copied);
    EXPECT_EQ(moved.string(), "axyz");
    ns::Range run;
    moved.attributesAtIndex(0, &run);
    EXPECT_EQ(run, (ns::Range{0, 2}));  // "a" and "x" carry the same attributes and form one run
    moved.attributesAtIndex(2, &run);
    EXPECT_EQ(run, (ns::Range{2, 2}));

    ct::AttributedString empty;
    ct::AttributedString first("q", plain);
    empty.appendAttributedString(std::move(first));
    EXPECT_EQ(empty, ct::AttributedString("q", plain));
    EXPECT_TRUE(first.empty());
    first.appendAttributedString(ct::AttributedString("r", bold));  // still a usable, empty string
    EXPECT_EQ(first, ct::AttributedString("r", bold));
    empty.appendAttributedString(ct::AttributedString());
    EXPECT_EQ(empty.length(), 1u);
    ct::AttributedString& same = empty;
    empty.appendAttributedString(std::move(same));
    EXPECT_EQ(empty.string(), "qq");
}

}  // namespace
