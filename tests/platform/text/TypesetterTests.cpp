#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "platform/foundation/Exception.h"
#include "platform/foundation/Text.h"
#include "platform/text/Shaper.h"
#include "platform/text/Typesetter.h"

namespace ql::ct {
namespace {

Typesetter typeset(std::string_view text, double size = 16, std::string_view font = "Helvetica") {
    return Typesetter(StyledText(text, {Font::withName(font, size), {}}));
}

// The lines the typesetter suggests for `width`, as texts.
std::vector<std::string> wrap(const Typesetter& typesetter, double width) {
    std::vector<std::string> lines;
    for (std::uint64_t start = 0; start < typesetter.length();) {
        std::uint64_t count = typesetter.suggestLineBreak(start, width);
        lines.push_back(ns::fromUTF16(typesetter.text().string().substr(start, count)));
        start += count;
    }
    return lines;
}

TEST(Typesetter, SingleLineWidthsGrowWithTheText) {
    const std::string text = "The quick brown fox jumps over the lazy dog";
    double previous = 0;
    for (std::size_t n = 1; n <= text.size(); ++n) {
        double width = typeset(text.substr(0, n)).createLine({0, 0}).width();
        EXPECT_GE(width, previous) << n;
        previous = width;
    }
    Line line = typeset(text).createLine({0, 0});
    EXPECT_DOUBLE_EQ(line.width(), previous);
    EXPECT_EQ(line.stringRange(), (ns::Range{0, text.size()}));
    EXPECT_EQ(line.glyphCount(), text.size());
    EXPECT_NEAR(typeset(text, 32).createLine({0, 0}).width(), 2 * previous, 1e-9);  // no hinting: linear
    EXPECT_EQ(typeset("").createLine({0, 0}).width(), 0);
    EXPECT_THROW(typeset("abc").createLine({2, 5}), ns::Exception);
}

TEST(Typesetter, WrapsAtWordsThenCharactersAndAlwaysAtSeparators) {
    Typesetter words = typeset("alpha beta gamma delta");
    const double alphaBeta = words.visibleWidth(0, 10);
    const double gammaDelta = words.visibleWidth(11, 22);
    const double betaGamma = words.visibleWidth(6, 16);
    const double twoWords = std::max(alphaBeta, gammaDelta);
    ASSERT_LT(betaGamma, twoWords + words.visibleWidth(0, 5));
    EXPECT_EQ(wrap(words, twoWords), (std::vector<std::string>{"alpha beta ", "gamma delta"}));
    // Trailing spaces hang: a line is as wide as its words.
    EXPECT_DOUBLE_EQ(words.createLine({0, 11}).visibleWidth(), alphaBeta);
    EXPECT_EQ(wrap(words, std::min({alphaBeta, gammaDelta, betaGamma}) - 0.01),
              (std::vector<std::string>{"alpha ", "beta ", "gamma ", "delta"}));
    EXPECT_EQ(wrap(words, 1e9), (std::vector<std::string>{"alpha beta gamma delta"}));

    // A word longer than the line breaks between characters, never inside one.
    Typesetter longWord = typeset("abcdefghij");
    double five = longWord.visibleWidth(0, 5);
    EXPECT_EQ(wrap(longWord, five), (std::vector<std::string>{"abcde", "fghij"}));
    EXPECT_EQ(wrap(longWord, 0.1).size(), 10u);
    Typesetter accents = typeset("e\u0301e\u0301e\u0301");
    EXPECT_EQ(wrap(accents, 0.1), (std::vector<std::string>{"e\u0301", "e\u0301", "e\u0301"}));
    EXPECT_EQ(longWord.suggestClusterBreak(0, five), 5u);

    // Line and paragraph separators end a line whatever the room; the line keeps them.
    EXPECT_EQ(wrap(typeset("one\ntwo\r\nthree\u2028four"), 1e9),
              (std::vector<std::string>{"one\n", "two\r\n", "three\u2028", "four"}));
    Line separated = typeset("one\n").createLine({0, 4});
    EXPECT_DOUBLE_EQ(separated.visibleWidth(), typeset("one").createLine({0, 0}).width());
    EXPECT_EQ(typeset("x").suggestLineBreak(1, 100), 0u);
}

// A line that ends inside a word ends where the text would end: the last glyph does not keep the kerning
// it had with the first glyph of the next line, so the line measures what it draws.
TEST(Typesetter, LinesCutInsideAWordAreMeasuredAsTheirOwnText) {
    const double size = 24;
    // The face kerns these pairs, or this test would prove nothing.
    auto kerned = [&](std::string_view pair) {
        return typeset(pair, size).createLine({0, 0}).runs().front().glyphs().front().advance;
    };
    ASSERT_LT(kerned("AV"), typeset("A", size).createLine({0, 0}).width() - 0.5);
    ASSERT_LT(kerned("To"), typeset("T", size).createLine({0, 0}).width() - 0.5);
    const std::string text = "AVE Tokyo WAVY AVATAR";
    Typesetter typesetter = typeset(text, size);
    for (double width : {30.0, 55.0, 70.0, 90.0}) {
        for (std::uint64_t start = 0; start < typesetter.length();) {
            const std::uint64_t count = typesetter.suggestClusterBreak(start, width);
            const std::string piece = ns::fromUTF16(typesetter.text().string().substr(start, count));
            const double alone = typeset(piece, size).createLine({0, 0}).visibleWidth();
            EXPECT_NEAR(typesetter.visibleWidth(start, start + count), alone, 1e-9) << piece << " at " << width;
            EXPECT_NEAR(typesetter.createLine({start, count}).visibleWidth(), alone, 1e-9) << piece << " at " << width;
            if (count > 1) {
                EXPECT_LE(alone, width + LayoutTolerance) << piece << " at " << width;
            }
            start += count;
        }
    }
}

TEST(Typesetter, LongTextsWithoutBreaksOrWithLongBlanksWrapAsShortOnes) {
    // A stretch with no place to break is cut between characters, every line as full as it fits.
    const std::string word(3000, 'a');
    const Typesetter typesetter = typeset(word + " " + word);
    const std::vector<std::string> lines = wrap(typesetter, 100);
    ASSERT_GT(lines.size(), 2u);
    const std::size_t perLine = lines.front().size();
    std::string joined;
    std::uint64_t start = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        SCOPED_TRACE(i);
        const Line line = typesetter.createLine({start, lines[i].size()});
        EXPECT_EQ(line.glyphCount(), lines[i].size());
        EXPECT_EQ(line.stringRange(), (ns::Range{start, lines[i].size()}));
        EXPECT_LE(line.visibleWidth(), 100 + LayoutTolerance);
        joined += lines[i];
        start += lines[i].size();
    }
    EXPECT_EQ(joined, word + " " + word);
    // Only the ends of the two words (the first with its blank) and the last line are shorter.
    EXPECT_LE(std::count_if(lines.begin(), lines.end(), [&](const std::string& l) { return l.size() != perLine; }), 3);
    EXPECT_EQ(typesetter.createLine({1500, 10}).glyphCount(), 10u);

    // Blanks hang past the end of their line however many there are.
    const std::string blanks(5000, ' ');
    EXPECT_EQ(wrap(typeset("x" + blanks + "y"), 50), (std::vector<std::string>{"x" + blanks, "y"}));
    EXPECT_EQ(typeset("x" + blanks + "y").suggestClusterBreak(0, 50), 5001u);
}

TEST(Typesetter, ChineseBreaksBetweenIdeographsAndFallsBackToTheChineseFace) {
    Typesetter chinese = typeset("中文排版测试，好。");
    const Line line = chinese.createLine({0, 0});
    ASSERT_EQ(line.runs().size(), 1u);
    EXPECT_EQ(line.runs()[0].font().familyName(), "WenQuanYi Micro Hei");
    EXPECT_EQ(line.runs()[0].font().pointSize(), 16);
    for (const RunGlyph& g : line.runs()[0].glyphs()) EXPECT_NE(g.id, 0u) << "missing glyph at " << g.stringIndex;
    const double ideograph = chinese.visibleWidth(0, 1);
    EXPECT_NEAR(ideograph, 16, 0.5);
    // No line may start with closing punctuation: "试，" goes down together.
    EXPECT_EQ(wrap(chinese, 2.5 * ideograph), (std::vector<std::string>{"中文", "排版", "测", "试，", "好。"}));

    // Latin text keeps its own face next to Chinese.
    Line mixed = typeset("Hi 你好 there").createLine({0, 0});
    ASSERT_EQ(mixed.runs().size(), 3u);
    EXPECT_EQ(mixed.runs()[0].font().fontName(), "Helvetica");
    EXPECT_EQ(mixed.runs()[1].font().familyName(), "WenQuanYi Micro Hei");
    EXPECT_EQ(mixed.runs()[2].font().fontName(), "Helvetica");
    EXPECT_EQ(mixed.runs()[1].stringRange(), (ns::Range{3, 3}));
    // The taller Chinese face makes the line taller than the Latin font alone.
    EXPECT_DOUBLE_EQ(mixed.ascent(), std::max(mixed.runs()[0].font().ascent(), mixed.runs()[1].font().ascent()));
}

TEST(Typesetter, AParagraphIsSetTheSameWhateverParagraphComesBeforeIt) {
    // White space, digits and punctuation at a paragraph's start do not take the Chinese face of the
    // paragraph before: the paragraph reads as it would on its own, and so do its line heights.
    for (std::string_view separator : {"\n", "\r\n", "\u2029"}) {
        SCOPED_TRACE(separator);
        const std::string paragraph = " 12, ok";
        const Typesetter whole = typeset("你好" + std::string(separator) + paragraph);
        const std::uint64_t start = 2 + ns::utf16Length(separator);
        const Line after = whole.createLine({start, 0});
        const Line alone = typeset(paragraph).createLine({0, 0});
        ASSERT_EQ(after.runs().size(), alone.runs().size());
        EXPECT_EQ(after.runs()[0].font().fontName(), "Helvetica");
        EXPECT_DOUBLE_EQ(after.width(), alone.width());
        EXPECT_DOUBLE_EQ(after.ascent(), alone.ascent());
        EXPECT_DOUBLE_EQ(after.descent(), alone.descent());
    }
    // Within a paragraph white space still stays with the text before it.
    const Line line = typeset("你好 12").createLine({0, 0});
    EXPECT_EQ(line.runs()[0].stringRange(), (ns::Range{0, 3}));
}

TEST(Typesetter, CharactersNoFaceHasAreShapedWithoutCrashing) {
    // An emoji with a modifier, a family joined by zero-width joiners, a flag, and a lone surrogate.
    const std::u16string text = u"ok \U0001F44D\U0001F3FD \U0001F468\u200D\U0001F469\u200D\U0001F467 \U0001F1E8\U0001F1F3 \xD800!";
    Typesetter typesetter(StyledText(text, {{{0, text.size()}, {Font::systemFont(17), {}}}}));
    Line line = typesetter.createLine({0, 0});
    EXPECT_GT(line.width(), 0);
    std::uint64_t covered = 0;
    for (const ct::Run& run : line.runs()) covered += run.stringRange().length;
    EXPECT_EQ(covered, text.size());
    // Each emoji sequence stays whole when lines break between characters.
    std::uint64_t start = 3;
    std::uint64_t thumb = typesetter.suggestClusterBreak(start, 0.1);
    EXPECT_EQ(thumb, 4u);
    EXPECT_EQ(typesetter.suggestClusterBreak(start + thumb + 1, 0.1), 8u);
}

TEST(StyledText, RunsMustCoverTheText) {
    Font font = Font::systemFont(12);
    EXPECT_THROW(StyledText(u"abc", {{{0, 2}, {font, {}}}}), ns::Exception);
    EXPECT_THROW(StyledText(u"abc", {{{0, 1}, {font, {}}}, {{2, 1}, {font, {}}}}), ns::Exception);
    EXPECT_THROW(StyledText(u"abc", {}), ns::Exception);
    StyledText two(u"abc", {{{0, 1}, {font, {}}}, {{1, 0}, {font, {}}}, {{1, 2}, {font.withSize(20), {}}}});
    EXPECT_EQ(two.runs().size(), 2u);
    EXPECT_EQ(two.runIndexAt(0), 0u);
    EXPECT_EQ(two.runIndexAt(2), 1u);
    Line line = Typesetter(two).createLine({0, 0});
    ASSERT_EQ(line.runs().size(), 2u);
    EXPECT_EQ(line.runs()[1].font().pointSize(), 20);
    EXPECT_DOUBLE_EQ(line.ascent(), font.withSize(20).ascent());
}

TEST(Typesetter, TheThreadsShapingBufferCarriesNothingOverAndIsLetGoWhenLarge) {
    // Shaped on a thread of its own, so the buffer it keeps is this test's alone.
    std::thread([] {
        const double first = typeset("Quillory").createLine({0, 0}).width();
        EXPECT_EQ(detail::keptShapingBufferLength(), 8u);
        // Right to left, in another script and another face: nothing of it stays for the next text.
        EXPECT_GT(typeset("\u0645\u0631\u062d\u0628\u0627").createLine({0, 0}).width(), 0);
        EXPECT_DOUBLE_EQ(typeset("Quillory").createLine({0, 0}).width(), first);

        // A text of many glyphs is shaped, and its buffer then given back rather than kept.
        const std::string longText(20000, 'a');
        EXPECT_EQ(typeset(longText).createLine({0, 0}).glyphCount(), longText.size());
        EXPECT_EQ(detail::keptShapingBufferLength(), std::nullopt);
        EXPECT_DOUBLE_EQ(typeset("Quillory").createLine({0, 0}).width(), first);
        EXPECT_EQ(detail::keptShapingBufferLength(), 8u);
    }).join();
}

}  // namespace
}  // namespace ql::ct
