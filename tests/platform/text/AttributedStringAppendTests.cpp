#include <gtest/gtest.h>

#include <memory>

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

// Appending text with shared attributes: the same as appending a string made of it, without the string.
TEST(AttributedStringAppendTests, TextWithSharedAttributesAppendsAsAStringOfItWould) {
    const auto bold = std::make_shared<const ns::Dictionary>(ns::Dictionary{{"b", ns::Value(true)}});
    const auto alsoBold = std::make_shared<const ns::Dictionary>(*bold);  // equal, another object
    const auto plain = std::make_shared<const ns::Dictionary>(ns::Dictionary{{"p", ns::Value(1)}});
    const auto both = [](std::string_view text, const std::shared_ptr<const ns::Dictionary>& attributes, ct::AttributedString& direct,
                         ct::AttributedString& made) {
        direct.appendText(text, attributes);
        made.appendAttributedString(ct::AttributedString(text, attributes));
    };
    ct::AttributedString direct, made;
    both("", bold, direct, made);
    EXPECT_TRUE(direct.empty());
    both("一a", bold, direct, made);
    both("b", bold, direct, made);
    both("c", alsoBold, direct, made);
    both("", plain, direct, made);
    both("d\u00e9", plain, direct, made);
    both("e", nullptr, direct, made);
    both("😀", nullptr, direct, made);
    EXPECT_EQ(direct, made);
    EXPECT_EQ(direct.string(), "一abcd\u00e9e😀");
    EXPECT_EQ(direct.length(), 9u);
    ns::Range run;
    // Equal attributes join one run, whichever object holds them; the first one stays.
    EXPECT_EQ(&direct.attributesAtIndex(3, &run), bold.get());
    EXPECT_EQ(run, (ns::Range{0, 4}));
    EXPECT_EQ(&direct.attributesAtIndex(4, &run), plain.get());
    EXPECT_EQ(run, (ns::Range{4, 2}));
    EXPECT_TRUE(direct.attributesAtIndex(8, &run).empty());
    EXPECT_EQ(run, (ns::Range{6, 3}));
}

}  // namespace
