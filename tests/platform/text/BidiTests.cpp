// Text of both directions, checked against the Unicode algorithm as an independent program runs it: the
// fribidi command of Debian's libfribidi-bin reorders each line of its input as one paragraph.

#include <gtest/gtest.h>
#include <hb.h>
#include <unicode/uchar.h>
#include <unicode/utf16.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "platform/foundation/Text.h"
#include "platform/text/AttributeNames.h"
#include "platform/text/FontFace.h"
#include "platform/text/Framesetter.h"
#include "platform/text/LinePositions.h"
#include "platform/text/ParagraphStyleObject.h"
#include "platform/text/TextLayout.h"
#include "platform/text/Typesetter.h"
#include "tests/support/PeerProcess.h"

namespace ql::ct {
namespace {

StyledText styled(std::string_view text, WritingDirection direction, double size = 16) {
    TextStyle style{Font::withName("Helvetica", size), {}};
    style.baseWritingDirection = direction;
    return StyledText(text, style);
}

// Characters that take no ink and whose place among the others the algorithm leaves open.
bool isInvisible(char32_t c) {
    const auto type = u_charType(static_cast<UChar32>(c));
    return type == U_FORMAT_CHAR || type == U_CONTROL_CHAR;
}

// A glyph cluster of a line as it shows, from the left.
struct Shown {
    std::size_t codePoint;  // of its first character
    std::uint8_t level;
    const Run* run;
    std::uint32_t glyph;
};

std::u32string codePoints(const std::u16string& utf16) {
    std::u32string text;
    for (std::size_t i = 0; i < utf16.size(); ++i) {
        if (U16_IS_LEAD(utf16[i]) && i + 1 < utf16.size()) {
            text.push_back(static_cast<char32_t>(U16_GET_SUPPLEMENTARY(utf16[i], utf16[i + 1])));
            ++i;
        } else {
            text.push_back(utf16[i]);
        }
    }
    return text;
}

struct Shape {
    std::u32string text;
    // The code point index of each UTF-16 index.
    std::vector<std::size_t> codePointAt;
    std::vector<Shown> shown;
    // The code points where clusters start, shown or not, in text order.
    std::vector<std::size_t> starts;
};

Shape shapeOf(const Line& line, const std::u16string& utf16) {
    Shape shape;
    shape.text = codePoints(utf16);
    for (std::size_t i = 0; i < utf16.size(); ++i) {
        shape.codePointAt.push_back(i == 0 ? 0 : shape.codePointAt[i - 1] + (U16_IS_TRAIL(utf16[i]) ? 0 : 1));
    }
    for (const Run& run : line.runs()) {
        const auto& glyphs = run.glyphs();
        for (std::size_t g = 0; g < glyphs.size(); ++g) {
            if (g > 0 && glyphs[g].stringIndex == glyphs[g - 1].stringIndex) continue;
            const std::size_t codePoint = shape.codePointAt[glyphs[g].stringIndex];
            shape.starts.push_back(codePoint);
            if (!isInvisible(shape.text[codePoint])) shape.shown.push_back({codePoint, run.level(), &run, glyphs[g].id});
        }
    }
    std::sort(shape.starts.begin(), shape.starts.end());
    return shape;
}

// What the peer makes of one line: the visual string (brackets mirrored), each visual position's code
// point index and each code point's level.
struct PeerLine {
    std::u32string visual;
    std::vector<std::size_t> visualToLogical;
    std::vector<int> levels;
};

std::vector<std::size_t> numbers(const std::string& line) {
    std::vector<std::size_t> values;
    std::istringstream in(line);
    for (std::size_t n = 0; in >> n;) values.push_back(n);
    return values;
}

std::vector<PeerLine> fribidi(const std::vector<std::string>& lines, WritingDirection direction) {
    std::string command = "fribidi --nopad --nobreak --vtol --levels";
    if (direction == WritingDirection::LeftToRight) command += " --ltr";
    if (direction == WritingDirection::RightToLeft) command += " --rtl";
    std::string input;
    for (const std::string& line : lines) input += line + "\n";
    const std::optional<std::string> output = test::runPeer(command, input);
    if (!output) {
        ADD_FAILURE() << "the fribidi command did not run: scripts/setup installs libfribidi-bin";
        return {};
    }
    std::vector<std::string> rows;
    std::istringstream in(*output);
    for (std::string row; std::getline(in, row);) rows.push_back(row);
    std::vector<PeerLine> peer;
    for (std::size_t i = 0; i + 2 < rows.size(); i += 3) {
        PeerLine line;
        line.visual = codePoints(ns::toUTF16(rows[i]));
        line.visualToLogical = numbers(rows[i + 1]);
        for (std::size_t level : numbers(rows[i + 2])) line.levels.push_back(static_cast<int>(level));
        peer.push_back(std::move(line));
    }
    EXPECT_EQ(peer.size(), lines.size()) << *output;
    return peer;
}

// Checks the line's order, levels and mirrored brackets against the peer's.
void expectAsPeer(const Line& line, const std::u16string& text, const PeerLine& peer) {
    const Shape shape = shapeOf(line, text);
    ASSERT_EQ(peer.visualToLogical.size(), shape.text.size());
    auto clusterOf = [&](std::size_t codePoint) {
        return *std::prev(std::upper_bound(shape.starts.begin(), shape.starts.end(), codePoint));
    };
    std::vector<std::size_t> expected;
    for (std::size_t logical : peer.visualToLogical) {
        if (isInvisible(shape.text[logical])) continue;
        const std::size_t cluster = clusterOf(logical);
        if (expected.empty() || expected.back() != cluster) expected.push_back(cluster);
    }
    std::vector<std::size_t> shown;
    for (const Shown& s : shape.shown) shown.push_back(s.codePoint);
    EXPECT_EQ(shown, expected);
    for (const Shown& s : shape.shown) {
        EXPECT_EQ(s.level, peer.levels[s.codePoint]) << "level of code point " << s.codePoint;
        const char32_t c = shape.text[s.codePoint];
        if (!u_isMirrored(static_cast<UChar32>(c))) continue;
        // The glyph drawn is that of the character the peer shows there.
        const auto v = static_cast<std::size_t>(
            std::find(peer.visualToLogical.begin(), peer.visualToLogical.end(), s.codePoint) - peer.visualToLogical.begin());
        hb_codepoint_t glyph = 0;
        ASSERT_TRUE(hb_font_get_nominal_glyph(s.run->font().face().hbFont(), peer.visual[v], &glyph));
        EXPECT_EQ(s.glyph, glyph) << "bracket at code point " << s.codePoint;
    }
}

// Lines of one to three scripts each, with neutrals, numbers, brackets, marks, ligatures and the
// explicit embeddings, overrides and isolates.
const std::vector<std::string> Samples = {
    "abc אבג דהו 123 xyz",
    "שלום עולם, hello world 2024!",
    "مرحبا بالعالم 123 كتاب",
    "العدد ١٢٣ و 456 - ٧٨",
    "a (b [c] d) e",
    "שלום (עולם) [abc] {1+2} <x>",
    "He said \"שלום\" to me.",
    "小狐狸说 שלום 和 مرحبا。",
    "abc \u2067אבג def\u2069 ghi",
    "\u202Babc\u202C def",
    "\u202Eabc def\u202C ghi",
    "1.5% של 20-30 ₪",
    "שָׁלוֹם עֲלֵיכֶם",
    "مُحَمَّد لا إله",
    "  שלום  ",
    "12 34",
};

TEST(Bidi, LinesShowTheirCharactersInTheOrderOfAnIndependentPeer) {
    for (WritingDirection direction :
         {WritingDirection::Natural, WritingDirection::LeftToRight, WritingDirection::RightToLeft}) {
        const std::vector<PeerLine> peer = fribidi(Samples, direction);
        ASSERT_EQ(peer.size(), Samples.size());
        for (std::size_t i = 0; i < Samples.size(); ++i) {
            SCOPED_TRACE(Samples[i] + " in direction " + std::to_string(static_cast<int>(direction)));
            const Typesetter typesetter(styled(Samples[i], direction));
            const Line line = typesetter.createLine({0, 0});
            expectAsPeer(line, typesetter.text().string(), peer[i]);
            // The line measures what its characters take in text order, its final white space hanging.
            EXPECT_NEAR(line.visibleWidth(), typesetter.visibleWidth(0, typesetter.length()), 1e-9);
        }
    }
}

// A right-to-left paragraph wraps by its words in text order; each line stands at the right, the
// paragraph's first words on the right of its first line, in the peer's order line by line.
TEST(Bidi, WrappedRightToLeftParagraphsStartOnTheRightInThePeersOrder) {
    const std::string text =
        "הספר הזה מספר על שועל קטן book club שמצא ספר ביער וקרא אותו בקול רם 2027 לינשופים ולארנבים";
    const Typesetter typesetter(styled(text, WritingDirection::Natural));
    const double width = 150;
    LayoutBox box;
    box.width = width;
    const TextLayout layout(typesetter, ParagraphStyle{}, box);
    ASSERT_GE(layout.lines().size(), 4u);
    const std::u16string& string = typesetter.text().string();
    std::vector<std::string> lineTexts;
    std::uint64_t next = 0;
    for (const auto& placed : layout.lines()) {
        const Line& line = placed.line;
        EXPECT_TRUE(line.isRightToLeft());
        EXPECT_EQ(line.stringRange().location, next);
        next = line.stringRange().end();
        // Flush right: its visible part ends at the box's right edge, its final space hanging on the left.
        EXPECT_NEAR(placed.origin.x + line.trailingWhitespaceWidth() + line.visibleWidth(), width, 1e-9);
        lineTexts.push_back(ns::fromUTF16(string.substr(line.stringRange().location, line.stringRange().length)));
    }
    EXPECT_EQ(next, string.size());
    const std::vector<PeerLine> peer = fribidi(lineTexts, WritingDirection::RightToLeft);
    ASSERT_EQ(peer.size(), lineTexts.size());
    for (std::size_t i = 0; i < lineTexts.size(); ++i) {
        SCOPED_TRACE(lineTexts[i]);
        const Line& line = layout.lines()[i].line;
        // The peer sees the line alone: its indexes count from the line's start.
        const ns::Range range = line.stringRange();
        const Typesetter alone(styled(lineTexts[i], WritingDirection::RightToLeft));
        const Line aloneLine = alone.createLine({0, 0});
        expectAsPeer(aloneLine, alone.text().string(), peer[i]);
        // The wrapped line shows the same order.
        std::vector<std::uint64_t> wrapped;
        std::vector<std::uint64_t> single;
        for (const ct::Run& run : line.runs())
            for (const RunGlyph& g : run.glyphs()) wrapped.push_back(g.stringIndex - range.location);
        for (const ct::Run& run : aloneLine.runs())
            for (const RunGlyph& g : run.glyphs()) single.push_back(g.stringIndex);
        EXPECT_EQ(wrapped, single);
    }
    // The first character of the text shows at the right end of the first line.
    const Line& first = layout.lines()[0].line;
    EXPECT_NEAR(offsetForStringIndex(first, 0), first.trailingWhitespaceWidth() + first.visibleWidth(), 1e-9);
}

// Carets stand at each character's leading edge, and a position over a character finds the index
// whose caret is nearest, whichever way the character runs.
TEST(Bidi, CaretsAndHitTestingFollowWhatTheLineShows) {
    // Each starts and ends in its paragraph's direction.
    for (const auto& [text8, direction] : {std::make_pair("read שלום עולם and مرحبا 42 now", WritingDirection::LeftToRight),
                                           std::make_pair("שלום read עולם and مرحبا 42 כאן", WritingDirection::RightToLeft)}) {
        SCOPED_TRACE(text8);
        const Typesetter typesetter(styled(text8, direction));
        const Line line = typesetter.createLine({0, 0});
        const std::u16string& text = typesetter.text().string();
        for (const ct::Run& run : line.runs()) {
            for (const RunGlyph& g : run.glyphs()) {
                const double leading = offsetForStringIndex(line, g.stringIndex);
                // A point just inside the character by its leading edge finds it.
                const double inside = run.isRightToLeft() ? leading - 0.5 : leading + 0.5;
                EXPECT_EQ(stringIndexForPosition(line, {inside, 0}), g.stringIndex) << g.stringIndex;
            }
        }
        // Past either end, the caret at that end: the text's start on the paragraph's leading side.
        const std::uint64_t leftEnd = stringIndexForPosition(line, {-10, 0});
        const std::uint64_t rightEnd = stringIndexForPosition(line, {line.width() + 10, 0});
        const bool leftToRight = direction == WritingDirection::LeftToRight;
        EXPECT_EQ(leftToRight ? leftEnd : rightEnd, 0u);
        EXPECT_EQ(leftToRight ? rightEnd : leftEnd, text.size());
        // A right-to-left word: its first character's caret at its right end, the caret after its last
        // character at its left end, and its stretch between.
        const std::uint64_t word = text.find(u"עולם");
        const auto [left, right] = horizontalExtent(line, {word, 4});
        EXPECT_NEAR(offsetForStringIndex(line, word), right, 1e-9);
        double after = 0;
        const double primary = offsetForStringIndex(line, word + 4, &after);
        EXPECT_NEAR(after, left, 1e-9);
        EXPECT_NEAR(right - left, typesetter.visibleWidth(word, word + 4), 1e-9);
        // In a left-to-right paragraph the space after it runs left to right, and stands right of the
        // whole right-to-left stretch "שלום עולם": there the carets before and after the index part.
        if (leftToRight) {
            EXPECT_NEAR(primary, horizontalExtent(line, {text.find(u"שלום"), 9}).second, 1e-9);
            EXPECT_GT(primary, after + 10);
        } else {
            EXPECT_NEAR(primary, after, 1e-9);
        }
    }
}

ns::Dictionary paragraphAttributes(ParagraphStyle style) {
    ns::Dictionary attributes;
    attributes[ParagraphStyleAttributeName] = ns::Value(std::make_shared<ParagraphStyleObject>(std::move(style)));
    return attributes;
}

// Natural alignment and indents follow the paragraph's direction, set or found in its text.
TEST(Bidi, AlignmentAndIndentsFollowTheParagraphsDirection) {
    const std::string hebrew = "שועל קטן מצא ספר ביער";
    const cg::Rect rect{0, 0, 300, 100};
    auto lineOf = [&](std::string_view text, ParagraphStyle style) {
        const Frame frame = Framesetter(AttributedString(text, paragraphAttributes(style))).createFrame({0, 0}, rect);
        EXPECT_EQ(frame.lines().size(), 1u);
        return std::make_pair(frame.lineOrigins()[0].x, frame.lines()[0]);
    };
    ParagraphStyle natural;
    auto [x, line] = lineOf(hebrew, natural);
    EXPECT_TRUE(line.isRightToLeft());
    EXPECT_NEAR(x + line.width(), 300, 1e-9);
    // Indents from the leading edge: the right one.
    ParagraphStyle indented;
    indented.firstLineHeadIndent = 20;
    indented.tailIndent = -30;
    std::tie(x, line) = lineOf(hebrew, indented);
    EXPECT_NEAR(x + line.width(), 280, 1e-9);
    indented.alignment = TextAlignment::Left;
    std::tie(x, line) = lineOf(hebrew, indented);
    EXPECT_NEAR(x, 30, 1e-9);
    // Latin text set right to left stands at the right; Hebrew set left to right at the left.
    ParagraphStyle rightToLeft;
    rightToLeft.baseWritingDirection = WritingDirection::RightToLeft;
    std::tie(x, line) = lineOf("A little fox", rightToLeft);
    EXPECT_TRUE(line.isRightToLeft());
    EXPECT_NEAR(x + line.width(), 300, 1e-9);
    ParagraphStyle leftToRight;
    leftToRight.baseWritingDirection = WritingDirection::LeftToRight;
    std::tie(x, line) = lineOf(hebrew, leftToRight);
    EXPECT_FALSE(line.isRightToLeft());
    EXPECT_NEAR(x, 0, 1e-9);
    // Each paragraph finds its own direction.
    const Frame two = Framesetter(AttributedString(hebrew + "\nA little fox", paragraphAttributes({}))).createFrame({0, 0}, rect);
    ASSERT_EQ(two.lines().size(), 2u);
    EXPECT_TRUE(two.lines()[0].isRightToLeft());
    EXPECT_NEAR(two.lineOrigins()[0].x + two.lines()[0].visibleWidth(), 300, 1e-9);
    EXPECT_FALSE(two.lines()[1].isRightToLeft());
    EXPECT_NEAR(two.lineOrigins()[1].x, 0, 1e-9);
    // Centred and right stay where they are.
    natural.alignment = TextAlignment::Center;
    std::tie(x, line) = lineOf(hebrew, natural);
    EXPECT_NEAR(x, (300 - line.width()) / 2, 1e-9);

    // Justified: full lines fill the room, the last stands at the right.
    ParagraphStyle justified;
    justified.alignment = TextAlignment::Justified;
    const std::string longer = hebrew + " " + hebrew + " " + hebrew + " " + hebrew;
    const Frame frame = Framesetter(AttributedString(longer, paragraphAttributes(justified))).createFrame({0, 0}, rect);
    ASSERT_GE(frame.lines().size(), 2u);
    for (std::size_t i = 0; i < frame.lines().size(); ++i) {
        const Line& each = frame.lines()[i];
        const double left = frame.lineOrigins()[i].x + each.trailingWhitespaceWidth();
        EXPECT_NEAR(left + each.visibleWidth(), 300, 1e-6) << i;
        if (i + 1 < frame.lines().size()) {
            EXPECT_NEAR(left, 0, 1e-6) << i;
        }
    }
}

// A truncated right-to-left line keeps the start of its text on the right and shows the token where
// the text was cut.
TEST(Bidi, TruncatedRightToLeftLinesKeepTheirStartOnTheRight) {
    const Typesetter typesetter(styled("שועל קטן מצא ספר ביער וקרא אותו", WritingDirection::Natural));
    const Line line = typesetter.createLine({0, 0});
    const Line token = Typesetter(styled("\u2026", WritingDirection::Natural)).createLine({0, 0});
    const double width = line.width() / 2;
    auto tokenAt = [&](const Line& cut) {
        for (std::size_t i = 0; i < cut.runs().size(); ++i) {
            if (cut.runs()[i].glyphs().front().id == token.runs()[0].glyphs()[0].id) return i;
        }
        return cut.runs().size();
    };
    auto indexes = [](const Line& cut) {
        std::vector<std::uint64_t> shown;
        for (const ct::Run& run : cut.runs())
            for (const RunGlyph& g : run.glyphs()) shown.push_back(g.stringIndex);
        return shown;
    };

    const Line end = *line.truncated(width, LineTruncationType::End, token);
    EXPECT_LE(end.visibleWidth(), width + 1e-9);
    EXPECT_EQ(tokenAt(end), 0u);  // the text's end is on the left
    std::vector<std::uint64_t> kept = indexes(end);
    kept.erase(kept.begin());
    EXPECT_EQ(kept.back(), 0u);  // its first character rightmost
    EXPECT_TRUE(std::is_sorted(kept.rbegin(), kept.rend()));

    const Line start = *line.truncated(width, LineTruncationType::Start, token);
    EXPECT_EQ(tokenAt(start), start.runs().size() - 1);  // the text's start is on the right
    kept = indexes(start);
    kept.pop_back();
    EXPECT_EQ(kept.front(), typesetter.length() - 1);

    const Line middle = *line.truncated(width, LineTruncationType::Middle, token);
    const std::size_t at = tokenAt(middle);
    ASSERT_LT(at, middle.runs().size());
    EXPECT_GT(at, 0u);
    EXPECT_LT(at, middle.runs().size() - 1);
    // Right of the token the start of the text, left of it the end.
    EXPECT_EQ(middle.runs().back().glyphs().back().stringIndex, 0u);
    EXPECT_EQ(middle.runs().front().glyphs().front().stringIndex, typesetter.length() - 1);
}

}  // namespace
}  // namespace ql::ct
