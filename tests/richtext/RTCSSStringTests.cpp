#include <gtest/gtest.h>

#include "platform/foundation/Scanner.h"
#include "platform/ui/GeometryValue.h"
#include "richtext/NSScannerHTML.h"
#include "richtext/NSStringCSS.h"
#include "richtext/RTHTMLColors.h"

using namespace ql;

namespace {

cg::RGBA rgba(const std::shared_ptr<ui::Color>& color) { return color->CGColor().rgba(); }

TEST(RTCSSStringTests, LengthsInPoints) {
    EXPECT_DOUBLE_EQ(pixelSizeOfCSSMeasure("12px", 16, 2), 24);
    EXPECT_DOUBLE_EQ(pixelSizeOfCSSMeasure("12 PX", 16, 1), 12);
    EXPECT_DOUBLE_EQ(pixelSizeOfCSSMeasure("10pt", 16, 1.5), 10 * 1.3333 * 1.5);
    EXPECT_DOUBLE_EQ(pixelSizeOfCSSMeasure("1.5em", 12, 2), 18);
    EXPECT_DOUBLE_EQ(pixelSizeOfCSSMeasure(".5em", 12, 1), 6);
    EXPECT_DOUBLE_EQ(pixelSizeOfCSSMeasure("50%", 20, 3), 10);
    EXPECT_DOUBLE_EQ(pixelSizeOfCSSMeasure("-3px", 12, 2), -6);
    EXPECT_DOUBLE_EQ(pixelSizeOfCSSMeasure("7", 12, 2), 7);
    EXPECT_DOUBLE_EQ(pixelSizeOfCSSMeasure("7cm", 12, 2), 7);
    EXPECT_DOUBLE_EQ(pixelSizeOfCSSMeasure("1.2.3px", 12, 1), 1.2);
    EXPECT_DOUBLE_EQ(pixelSizeOfCSSMeasure("auto", 12, 2), 0);
    EXPECT_DOUBLE_EQ(pixelSizeOfCSSMeasure("", 12, 2), 0);
    EXPECT_DOUBLE_EQ(pixelSizeOfCSSMeasure("-", 12, 2), 0);

    EXPECT_TRUE(isCSSLengthValue("12"));
    EXPECT_TRUE(isCSSLengthValue("12px"));
    EXPECT_TRUE(isCSSLengthValue("1.5em"));
    EXPECT_TRUE(isCSSLengthValue("3 pt"));
    EXPECT_FALSE(isCSSLengthValue("12%"));
    EXPECT_FALSE(isCSSLengthValue("12pxx"));
    EXPECT_FALSE(isCSSLengthValue("small"));
    EXPECT_FALSE(isCSSLengthValue(""));
}

TEST(RTCSSStringTests, EdgeInsetsInCSSOrder) {
    EXPECT_EQ(RTEdgeInsets("1px 2px 3px 4px", 12, 1), cg::EdgeInsets(1, 4, 3, 2));
    EXPECT_EQ(RTEdgeInsets("10px", 12, 2), cg::EdgeInsets(20, 20, 20, 20));
    EXPECT_EQ(RTEdgeInsets("1px 2px", 12, 1), cg::EdgeInsets(1, 2, 1, 2));
    EXPECT_EQ(RTEdgeInsets("1px  2px\t3px", 12, 1), cg::EdgeInsets(1, 2, 3, 2));
    EXPECT_EQ(RTEdgeInsets("1em 0 0 2em 9px", 10, 1), cg::EdgeInsets(10, 20, 0, 0));
    EXPECT_EQ(RTEdgeInsets("", 12, 1), cg::EdgeInsets());
    EXPECT_EQ(RTEdgeInsets("   ", 12, 1), cg::EdgeInsets());
}

TEST(RTCSSStringTests, ShadowLists) {
    const auto current = ui::Color::blueColor();
    ns::Array shadows = arrayOfCSSShadows("1px 2px 3px red, rgb(0, 255, 0) -1px 0.5em, 4px 4px", 10, current);
    ASSERT_EQ(shadows.size(), 3u);
    EXPECT_EQ(ui::GeometryValue::CGSizeValue(shadows[0]["Offset"]), cg::Size(1, 2));
    EXPECT_DOUBLE_EQ(shadows[0]["Blur"].doubleValue(), 3);
    EXPECT_EQ(rgba(shadows[0]["Color"].asObject<ui::Color>()), (cg::RGBA{1, 0, 0, 1}));
    EXPECT_EQ(ui::GeometryValue::CGSizeValue(shadows[1]["Offset"]), cg::Size(-1, 5));
    EXPECT_DOUBLE_EQ(shadows[1]["Blur"].doubleValue(), 0);
    EXPECT_EQ(rgba(shadows[1]["Color"].asObject<ui::Color>()), (cg::RGBA{0, 1, 0, 1}));
    // No colour of its own: the current one.
    EXPECT_EQ(shadows[2]["Color"].asObject<ui::Color>(), current);

    EXPECT_TRUE(arrayOfCSSShadows("none", 10, current).empty());
    EXPECT_TRUE(arrayOfCSSShadows("", 10, current).empty());
    // A shadow with a single offset is no shadow; the valid one beside it stays.
    EXPECT_EQ(arrayOfCSSShadows("2px red, 1px 1px", 10, nullptr).size(), 1u);
    EXPECT_TRUE(arrayOfCSSShadows("1px 1px", 10, nullptr)[0]["Color"].isNil());
}

TEST(RTCSSStringTests, ContentEscapes) {
    EXPECT_EQ(stringByDecodingCSSContentAttribute("\\201C hello\\201D"), "\u201chello\u201d");
    EXPECT_EQ(stringByDecodingCSSContentAttribute("\\41\\42 C"), "ABC");
    EXPECT_EQ(stringByDecodingCSSContentAttribute("\\1F600!"), "\U0001F600!");
    EXPECT_EQ(stringByDecodingCSSContentAttribute("it\\'s \\\"q\\\" \\\\"), "it's \"q\" \\");
    EXPECT_EQ(stringByDecodingCSSContentAttribute("\\\u4e2d"), "\u4e2d");
    EXPECT_EQ(stringByDecodingCSSContentAttribute("\\0 \\D800 \\110000"), "\ufffd\ufffd\ufffd");
    EXPECT_EQ(stringByDecodingCSSContentAttribute("end\\"), "end");
}

TEST(RTCSSStringTests, DeclarationLists) {
    const ns::Value styles = dictionaryOfCSSStyles(
        " color: red; FONT-Size : 12px;;margin:0 /* note; */ 1px; bad declaration; font-family: 'Times New Roman', serif;"
        " content: \"a;b\"; background: url(x;y.png) red; empty: ; color: blue !important; font-family-2: Arial, sans-serif");
    EXPECT_TRUE(styles.isMutable());
    EXPECT_EQ(styles["color"].asString(), "blue !important");
    EXPECT_EQ(styles["font-size"].asString(), "12px");
    EXPECT_EQ(styles["margin"].asString(), "0   1px");
    ASSERT_TRUE(styles["font-family"].isArray());
    EXPECT_EQ(styles["font-family"][0].asString(), "Times New Roman");
    EXPECT_EQ(styles["font-family"][1].asString(), "serif");
    EXPECT_EQ(styles["content"].asString(), "a;b");
    EXPECT_EQ(styles["background"].asString(), "url(x;y.png) red");
    EXPECT_EQ(styles["font-family-2"].asString(), "Arial, sans-serif");
    EXPECT_FALSE(styles.asDictionary()->contains("empty"));
    EXPECT_FALSE(styles.asDictionary()->contains("bad declaration"));
    EXPECT_EQ(styles.count(), 7u);
    EXPECT_EQ(dictionaryOfCSSStyles("").count(), 0u);
    EXPECT_EQ(dictionaryOfCSSStyles("/* unterminated color: red").count(), 0u);

    // The scanner form reads one declaration at a time and stops at the end.
    ns::Scanner scanner("a:1; b : 2");
    std::string name;
    ns::Value value;
    ASSERT_TRUE(scanCSSAttribute(scanner, &name, &value));
    EXPECT_EQ(name, "a");
    ASSERT_TRUE(scanCSSAttribute(scanner, &name, &value));
    EXPECT_EQ(value.asString(), "2");
    EXPECT_FALSE(scanCSSAttribute(scanner, &name, &value));
}

TEST(RTCSSStringTests, URLScanner) {
    std::string url;
    ns::Scanner plain("url(images/a.png) no-repeat");
    ASSERT_TRUE(scanCSSURL(plain, &url));
    EXPECT_EQ(url, "images/a.png");
    EXPECT_EQ(plain.scanLocation(), 17u);

    ns::Scanner quoted("  URL( 'b c.png' ) x");
    ASSERT_TRUE(scanCSSURL(quoted, &url));
    EXPECT_EQ(url, "b c.png");
    EXPECT_EQ(quoted.scanLocation(), 18u);

    ns::Scanner entity("url(\"a?x=1&amp;y=\u4e2d\")");
    ASSERT_TRUE(scanCSSURL(entity, &url));
    EXPECT_EQ(url, "a?x=1&y=\u4e2d");
    EXPECT_TRUE(entity.isAtEnd());

    ns::Scanner empty("url('')");
    ASSERT_TRUE(scanCSSURL(empty, &url));
    EXPECT_EQ(url, "");

    ns::Scanner unclosed("url(x.png");
    ASSERT_TRUE(scanCSSURL(unclosed, &url));
    EXPECT_EQ(url, "x.png");

    ns::Scanner none("  urlx(a)");
    EXPECT_FALSE(scanCSSURL(none, &url));
    EXPECT_EQ(none.scanLocation(), 0u);
}

TEST(RTCSSStringTests, ColourScanner) {
    std::shared_ptr<ui::Color> color;
    std::string name;
    ns::Scanner hex("  #f00 solid");
    ASSERT_TRUE(scanHTMLColor(hex, &color, &name));
    EXPECT_EQ(name, "#f00");
    EXPECT_EQ(rgba(color), (cg::RGBA{1, 0, 0, 1}));
    EXPECT_EQ(hex.scanLocation(), 6u);
    EXPECT_FALSE(scanHTMLColor(hex, &color, &name));
    EXPECT_EQ(hex.scanLocation(), 6u);

    ns::Scanner functional("rgba(0, 0, 255, 0.5), next");
    ASSERT_TRUE(scanHTMLColor(functional, &color, &name));
    EXPECT_EQ(name, "rgba(0, 0, 255, 0.5)");
    EXPECT_EQ(rgba(color), (cg::RGBA{0, 0, 1, 0.5}));

    ns::Scanner word("Navy url(x)");
    ASSERT_TRUE(scanHTMLColor(word, &color, &name));
    EXPECT_EQ(name, "Navy");
    EXPECT_EQ(rgba(color), (cg::RGBA{0, 0, 128.0 / 255, 1}));

    ns::Scanner bad("#12345,red");
    EXPECT_FALSE(scanHTMLColor(bad, &color, &name));
    EXPECT_EQ(bad.scanLocation(), 0u);
}

TEST(RTCSSStringTests, HTMLColours) {
    const cg::RGBA red{1, 0, 0, 1};
    for (const char* text : {"#f00", "#FF0000", "red", "RED", "Red", "rgb(255,0,0)", "rgba(255, 0, 0, 1)"}) {
        ASSERT_NE(RTColorFromHTMLColorString(text), nullptr) << text;
        EXPECT_EQ(rgba(RTColorFromHTMLColorString(text)), red) << text;
    }
    EXPECT_EQ(rgba(RTColorFromHTMLColorString("rgba(0,0,0,0.5)")), (cg::RGBA{0, 0, 0, 0.5}));
    EXPECT_EQ(RTColorFromHTMLColorString("rgba(0,0,0)"), nullptr);
    EXPECT_EQ(RTColorFromHTMLColorString("rgb(0,0,0,1)"), nullptr);
    EXPECT_EQ(RTColorFromHTMLColorString(" #fff"), nullptr);
    EXPECT_EQ(RTColorFromHTMLColorString("RGB(1,2,3)"), nullptr);
    EXPECT_EQ(RTColorFromHTMLColorString("transparent"), nullptr);
    EXPECT_EQ(RTColorFromHTMLColorString("#abcd"), nullptr);
    EXPECT_EQ(RTColorFromHTMLColorString(""), nullptr);
    EXPECT_EQ(rgba(RTColorFromHTMLColorString("grey")), rgba(RTColorFromHTMLColorString("gray")));
    EXPECT_EQ(rgba(RTColorFromHTMLColorString("#zz0000")), (cg::RGBA{0, 0, 0, 1}));
    EXPECT_EQ(rgba(RTColorFromHTMLColorString("rgb(x,y,z)")), (cg::RGBA{0, 0, 0, 1}));
    EXPECT_EQ(rgba(RTColorFromHTMLColorString("#abc")), rgba(RTColorFromHTMLColorString("#aabbcc")));
    // Names from across the table, and the greys the X11 table disagrees on.
    EXPECT_EQ(RTHexDigitsFromColor(*RTColorFromHTMLColorString("lightgoldenrodyellow")), "fafad2");
    EXPECT_EQ(RTHexDigitsFromColor(*RTColorFromHTMLColorString("darkslategrey")), "2f4f4f");
    EXPECT_EQ(RTHexDigitsFromColor(*RTColorFromHTMLColorString("gray")), "808080");
    EXPECT_EQ(RTHexDigitsFromColor(*RTColorFromHTMLColorString("green")), "008000");
    EXPECT_EQ(RTColorFromHTMLColorString("rebeccapurple"), nullptr);

    EXPECT_EQ(RTHexDigitsFromColor(*ui::Color::colorWithRed(0.5, 0, 1, 1)), "7f00ff");
    EXPECT_EQ(RTHexDigitsFromColor(*ui::Color::colorWithWhite(1, 0.5)), "ffffff");
    EXPECT_EQ(RTHexDigitsFromColor(*RTColorFromHTMLColorString("rgb(300,-5,nan)")), "ff0000");
    EXPECT_DOUBLE_EQ(RTAlphaComponent(*RTColorFromHTMLColorString("rgba(10,20,30,0.25)")), 0.25);
}

}  // namespace
