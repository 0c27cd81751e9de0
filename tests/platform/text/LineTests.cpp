#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "platform/text/Typesetter.h"

namespace ql::ct {
namespace {

const Font& font() {
    static const Font f = Font::withName("Helvetica", 14);
    return f;
}

Line lineOf(std::string_view text) { return Typesetter(StyledText(text, {font(), {}})).createLine({0, 0}); }

std::vector<std::uint32_t> glyphs(const Line& line) {
    std::vector<std::uint32_t> ids;
    for (const Run& run : line.runs()) {
        for (const RunGlyph& g : run.glyphs()) ids.push_back(g.id);
    }
    return ids;
}

std::vector<std::uint32_t> glyphs(std::string_view text) { return glyphs(lineOf(text)); }

TEST(Line, TruncatesAtTheEndStartOrMiddleBetweenCharacters) {
    const std::string text = "Lorem ipsum dolor sit amet";
    const Line line = lineOf(text);
    const Line token = lineOf("\u2026");
    const std::uint32_t ellipsis = token.runs()[0].glyphs()[0].id;

    // Each width is just enough for the expected result, and one character more would not fit.
    const double endWidth = lineOf("Lorem ipsu\u2026").width();
    auto end = line.truncated(endWidth, LineTruncationType::End, token);
    ASSERT_TRUE(end);
    EXPECT_EQ(glyphs(*end), glyphs("Lorem ipsu\u2026"));
    EXPECT_DOUBLE_EQ(end->width(), endWidth);
    EXPECT_EQ(end->stringRange(), line.stringRange());

    auto start = line.truncated(lineOf("\u2026sit amet").width(), LineTruncationType::Start, token);
    ASSERT_TRUE(start);
    EXPECT_EQ(glyphs(*start), glyphs("\u2026sit amet"));  // the space after the token goes

    const double middleWidth = lineOf("Lorem ip\u2026t amet").width();
    auto middle = line.truncated(middleWidth, LineTruncationType::Middle, token);
    ASSERT_TRUE(middle);
    EXPECT_LE(middle->width(), middleWidth + LayoutTolerance);
    auto m = glyphs(*middle);
    EXPECT_EQ(m.front(), glyphs("L")[0]);
    EXPECT_EQ(m.back(), glyphs("t")[0]);
    EXPECT_EQ(std::count(m.begin(), m.end(), ellipsis), 1);
    // Both sides keep about as much of the text.
    auto tokenRun = std::find_if(middle->runs().begin(), middle->runs().end(),
                                 [&](const ct::Run& run) { return run.glyphs()[0].id == ellipsis; });
    ASSERT_NE(tokenRun, middle->runs().end());
    double before = tokenRun->glyphs()[0].position.x;
    double after = middle->width() - before - token.width();
    EXPECT_LT(std::abs(before - after), lineOf("m").width());

    // White space next to the token goes: "Lorem …" would waste the room.
    const Line wide = lineOf("Lorem Wide");
    auto atSpace = wide.truncated(lineOf("Lorem \u2026").width() + 0.01, LineTruncationType::End, token);
    ASSERT_TRUE(atSpace);
    EXPECT_EQ(glyphs(*atSpace), glyphs("Lorem\u2026"));

    // A line that fits stays whole; a token that does not fit gives nothing.
    EXPECT_EQ(glyphs(*line.truncated(line.width(), LineTruncationType::End, token)), glyphs(line));
    EXPECT_FALSE(line.truncated(token.width() / 2, LineTruncationType::End, token));
    EXPECT_EQ(glyphs(*line.truncated(token.width(), LineTruncationType::Middle, token)), glyphs(token));
}

TEST(Line, FlushOffsetsJustificationAndClipping) {
    const Line line = lineOf("two words ");
    const double visible = lineOf("two words").width();
    EXPECT_DOUBLE_EQ(line.visibleWidth(), visible);
    EXPECT_GT(line.trailingWhitespaceWidth(), 0);
    EXPECT_DOUBLE_EQ(line.penOffsetForFlush(0, 200), 0);
    EXPECT_DOUBLE_EQ(line.penOffsetForFlush(1, 200), 200 - visible);
    EXPECT_DOUBLE_EQ(line.penOffsetForFlush(0.5, 200), (200 - visible) / 2);
    EXPECT_DOUBLE_EQ(line.penOffsetForFlush(1, visible / 2), 0);

    // The extra room goes to the space between the words.
    Line justified = line.justified(200);
    EXPECT_NEAR(justified.visibleWidth(), 200, 1e-9);
    const auto& glyphs = justified.runs()[0].glyphs();
    EXPECT_DOUBLE_EQ(glyphs[0].position.x, 0);
    EXPECT_NEAR(glyphs[4].position.x, line.runs()[0].glyphs()[4].position.x + 200 - visible, 1e-9);
    EXPECT_NEAR(line.justified(200, 0.5).visibleWidth(), visible + (200 - visible) / 2, 1e-9);
    EXPECT_DOUBLE_EQ(line.justified(visible / 2).width(), line.width());
    // Without spaces, as in Chinese, it goes between the characters.
    Line chinese = lineOf("中文排版");
    Line spread = chinese.justified(chinese.width() + 30);
    EXPECT_NEAR(spread.width(), chinese.width() + 30, 1e-9);
    EXPECT_NEAR(spread.runs()[0].glyphs()[1].position.x - chinese.runs()[0].glyphs()[1].position.x, 10, 1e-9);

    Line clipped = line.prefix(lineOf("two w").width());
    EXPECT_EQ(clipped.glyphCount(), 5u);
}

}  // namespace
}  // namespace ql::ct
