#include <gtest/gtest.h>

#include "platform/text/AttributeNames.h"
#include "platform/text/ParagraphStyleObject.h"
#include "platform/ui/Font.h"
#include "richtext/NSAttributedStringHTML.h"
#include "richtext/RTAttributeNames.h"
#include "richtext/RTHTMLOptions.h"

using namespace ql;

namespace {

std::optional<ct::AttributedString> import(std::string_view html, ns::Dictionary options = {}) {
    return initWithHTMLData(ns::Data(html), options);
}

std::string text(std::string_view html, ns::Dictionary options = {}) {
    const auto result = import(html, std::move(options));
    return result ? result->string() : "<nil>";
}

TEST(RTHTMLAttributedStringBuilderTests, Smoke) {
    EXPECT_EQ(text(""), "<nil>");
    EXPECT_EQ(text("<p>Hello   <b>world</b>\n again</p>"), "Hello world again\n");
    EXPECT_EQ(text("<ul><li>one</li><li>two</li></ul>"), "\t\u2022\tone\n\t\u2022\ttwo\n");
    EXPECT_EQ(text("<ol><li>one</li><li>two</li></ol>"), "\t1.\tone\n\t2.\ttwo\n");
    EXPECT_EQ(text("<pre>a\n  b</pre>"), "a\n  b\n");
}

}  // namespace
