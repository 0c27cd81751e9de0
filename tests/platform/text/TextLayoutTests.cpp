#include <gtest/gtest.h>

#include <string>

#include "platform/text/TextLayout.h"

namespace ql::ct {
namespace {

struct Setting {
    const Font font = Font::withName("Helvetica", 15);
    Typesetter typesetter(std::string_view text) const { return Typesetter(StyledText(text, {font, {}})); }
    TextLayout layout(std::string_view text, LayoutBox box, ParagraphStyle style = {}) const {
        return TextLayout(typesetter(text), style, box);
    }
    double width(std::string_view text) const { return typesetter(text).createLine({0, 0}).visibleWidth(); }
};

const std::string paragraph = "It was the best of times, it was the worst of times, it was the age of wisdom";

TEST(TextLayout, WrappedHeightIsLinesTimesLineHeight) {
    Setting s;
    double previousHeight = 0;
    for (double width : {400.0, 250.0, 160.0, 90.0}) {
        TextLayout layout = s.layout(paragraph, {.width = width});
        SCOPED_TRACE(width);
        ASSERT_FALSE(layout.lines().empty());
        EXPECT_DOUBLE_EQ(layout.size().height, layout.lines().size() * s.font.lineHeight());
        EXPECT_LE(layout.size().width, width);
        EXPECT_GT(layout.size().height, previousHeight);
        EXPECT_FALSE(layout.isTruncated());
        previousHeight = layout.size().height;
        for (std::size_t i = 0; i < layout.lines().size(); ++i) {
            EXPECT_DOUBLE_EQ(layout.lines()[i].top, i * s.font.lineHeight());
            EXPECT_DOUBLE_EQ(layout.lines()[i].origin.y, i * s.font.lineHeight() + s.font.ascent());
        }
    }
    // Character wrapping fills each line before it breaks, even inside a word.
    TextLayout byCharacter = s.layout(paragraph, {.width = 160}, {.lineBreakMode = LineBreakMode::CharWrapping});
    TextLayout byWord = s.layout(paragraph, {.width = 160});
    EXPECT_LE(byCharacter.lines().size(), byWord.lines().size());
    EXPECT_GT(byCharacter.lines()[0].line.stringRange().length, byWord.lines()[0].line.stringRange().length);
    EXPECT_LE(byCharacter.size().width, 160);
    // Unbounded, the text is one line as wide as the text.
    TextLayout single = s.layout(paragraph, {});
    EXPECT_EQ(single.lines().size(), 1u);
    EXPECT_DOUBLE_EQ(single.size().width, s.width(paragraph));
    EXPECT_EQ(s.layout("", {}).size(), (cg::Size{0, 0}));
    // Empty paragraphs still take a line.
    EXPECT_DOUBLE_EQ(s.layout("a\n\nb", {}).size().height, 3 * s.font.lineHeight());
}

TEST(TextLayout, ChineseWrapsBetweenIdeographsWithTheTallerFallbackLines) {
    Setting s;
    const std::string text = "床前明月光，疑是地上霜。举头望明月，低头思故乡。";
    const double ideograph = s.width("床");
    TextLayout layout = s.layout(text, {.width = 6.5 * ideograph});
    ASSERT_EQ(layout.lines().size(), 4u);
    const Font chinese = layout.lines()[0].line.runs()[0].font();
    EXPECT_EQ(chinese.familyName(), "WenQuanYi Micro Hei");
    const double lineHeight = std::max(chinese.lineHeight(), s.font.lineHeight());
    EXPECT_DOUBLE_EQ(layout.size().height, 4 * lineHeight);
    for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(layout.lines()[i].line.stringRange(), (ns::Range{6 * i, 6}));

    // Five to a line, but no line may start with a closing punctuation mark.
    TextLayout narrow = s.layout(text, {.width = 5.5 * ideograph});
    const std::u16string string = s.typesetter(text).text().string();
    EXPECT_EQ(narrow.lines()[0].line.stringRange(), (ns::Range{0, 4}));
    for (const auto& placed : narrow.lines()) {
        EXPECT_LE(placed.line.visibleWidth(), 5.5 * ideograph);
        char16_t first = string[placed.line.stringRange().location];
        EXPECT_TRUE(first != u'，' && first != u'。');
    }
    EXPECT_DOUBLE_EQ(narrow.size().height, narrow.lines().size() * lineHeight);
}

TEST(TextLayout, LineLimitAndHeightLeaveTextOutAndTruncateTheLastLineByMode) {
    Setting s;
    const double width = 160;
    const Line token = s.typesetter("\u2026").createLine({0, 0});
    auto endsWithToken = [&](const Line& line) {
        const auto& glyphs = line.runs().back().glyphs();
        return glyphs.back().id == token.runs()[0].glyphs()[0].id;
    };
    auto startsWithToken = [&](const Line& line) {
        return line.runs().front().glyphs().front().id == token.runs()[0].glyphs()[0].id;
    };

    TextLayout wrapped = s.layout(paragraph, {.width = width, .maximumNumberOfLines = 2});
    ASSERT_EQ(wrapped.lines().size(), 2u);
    EXPECT_TRUE(wrapped.isTruncated());
    EXPECT_FALSE(endsWithToken(wrapped.lines()[1].line));
    EXPECT_DOUBLE_EQ(wrapped.size().height, 2 * s.font.lineHeight());

    TextLayout tail = s.layout(paragraph, {.width = width, .maximumNumberOfLines = 2},
                               {.lineBreakMode = LineBreakMode::TruncatingTail});
    ASSERT_EQ(tail.lines().size(), 2u);
    EXPECT_TRUE(endsWithToken(tail.lines()[1].line));
    EXPECT_LE(tail.lines()[1].line.width(), width + LayoutTolerance);
    EXPECT_EQ(tail.lines()[0].line.stringRange(), wrapped.lines()[0].line.stringRange());

    TextLayout head = s.layout(paragraph, {.width = width, .maximumNumberOfLines = 1},
                               {.lineBreakMode = LineBreakMode::TruncatingHead});
    EXPECT_TRUE(startsWithToken(head.lines()[0].line));
    EXPECT_EQ(head.lines()[0].line.runs().back().glyphs().back().id,
              s.typesetter("m").createLine({0, 0}).runs()[0].glyphs()[0].id);  // "…of wisdom"

    TextLayout middle = s.layout(paragraph, {.width = width, .maximumNumberOfLines = 1},
                                 {.lineBreakMode = LineBreakMode::TruncatingMiddle});
    EXPECT_FALSE(startsWithToken(middle.lines()[0].line));
    EXPECT_FALSE(endsWithToken(middle.lines()[0].line));
    EXPECT_LE(middle.size().width, width + LayoutTolerance);

    // Clipping keeps the rest of the paragraph on the last line and cuts it at the edge.
    TextLayout clipped = s.layout(paragraph, {.width = width, .maximumNumberOfLines = 1},
                                  {.lineBreakMode = LineBreakMode::Clipping});
    EXPECT_EQ(clipped.lines()[0].line.stringRange().length, paragraph.size());
    EXPECT_DOUBLE_EQ(clipped.size().width, width);

    // Word wrapping with the last visible line truncated, by height instead of a line limit.
    TextLayout byHeight =
        s.layout(paragraph, {.width = width, .height = 2.5 * s.font.lineHeight(), .truncatesLastVisibleLine = true});
    ASSERT_EQ(byHeight.lines().size(), 2u);
    EXPECT_TRUE(endsWithToken(byHeight.lines()[1].line));
    // The first line shows even when the box is too low for it.
    EXPECT_EQ(s.layout(paragraph, {.width = width, .height = 1}).lines().size(), 1u);
    // A hidden paragraph after a line that fits is announced by the token too.
    TextLayout paragraphs = s.layout("First\nSecond", {.width = width, .maximumNumberOfLines = 1},
                                     {.lineBreakMode = LineBreakMode::TruncatingTail});
    EXPECT_TRUE(endsWithToken(paragraphs.lines()[0].line));
    // Text that fits is never truncated, whatever the mode.
    TextLayout fits = s.layout("Short", {.width = width, .maximumNumberOfLines = 1},
                               {.lineBreakMode = LineBreakMode::TruncatingMiddle});
    EXPECT_FALSE(fits.isTruncated());
    EXPECT_DOUBLE_EQ(fits.size().width, s.width("Short"));
}

TEST(TextLayout, AlignmentPlacesLinesInTheBox) {
    Setting s;
    const double width = 300;
    const double w = s.width("Centre me");
    auto x = [&](TextAlignment alignment) {
        return s.layout("Centre me", {.width = width}, {.alignment = alignment}).lines()[0].origin.x;
    };
    EXPECT_DOUBLE_EQ(x(TextAlignment::Left), 0);
    EXPECT_DOUBLE_EQ(x(TextAlignment::Natural), 0);
    EXPECT_DOUBLE_EQ(x(TextAlignment::Center), (width - w) / 2);
    EXPECT_DOUBLE_EQ(x(TextAlignment::Right), width - w);

    // Justified: every line but a paragraph's last fills the width.
    TextLayout justified = s.layout(paragraph + "\nEnd", {.width = 200}, {.alignment = TextAlignment::Justified});
    const auto& lines = justified.lines();
    ASSERT_GE(lines.size(), 3u);
    for (std::size_t i = 0; i + 2 < lines.size(); ++i) EXPECT_NEAR(lines[i].line.visibleWidth(), 200, 1e-9) << i;
    EXPECT_LT(lines[lines.size() - 2].line.visibleWidth(), 200);
    EXPECT_DOUBLE_EQ(lines.back().line.visibleWidth(), s.width("End"));

    // Without a width, lines align within the widest one.
    TextLayout unbounded = s.layout("wide line\nx", {}, {.alignment = TextAlignment::Right});
    EXPECT_DOUBLE_EQ(unbounded.lines()[1].origin.x, s.width("wide line") - s.width("x"));
}

}  // namespace
}  // namespace ql::ct
