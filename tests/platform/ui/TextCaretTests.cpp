// Carets and taps in text fields and text views with right-to-left and mixed text: each character's caret
// stands at its leading edge where the text layer puts its glyph, a paragraph of right-to-left text is set
// flush right, and a tap while editing puts the caret before the character it touched.

#include <gtest/gtest.h>

#include <time.h>

#include <algorithm>
#include <memory>
#include <string>

#include "platform/foundation/Text.h"
#include "platform/graphics/BitmapContext.h"
#include "platform/ui/Layer.h"
#include "platform/text/TextLayout.h"
#include "platform/text/Typesetter.h"
#include "platform/ui/Font.h"
#include "platform/ui/TextField.h"
#include "platform/ui/TextView.h"
#include "tests/support/UIHarness.h"

using namespace ql;
using namespace ql::ui;

namespace {

// The line the text layer makes of `text` alone, glyphs placed from x = 0.
ct::Line lineOf(const std::string& text, const Font& font) {
    return ct::Typesetter(ct::StyledText(text, ct::TextStyle{font.ctFont(), std::nullopt})).createLine({0, 0});
}

// A point of `view` on the screen.
cg::Point onScreen(const View& view, cg::Point point) { return view.convertPointToView(point, nullptr); }

// For every character of `line`, shown with its origin at `left` (in the input view's coordinates) and
// crossing `y`: its caret stands at the leading edge of its glyphs, and a tap just inside it by that edge
// puts the caret before it. `caret` answers the input view's caret rectangles; `offset` is where the
// line's text starts in the view's.
template <class Input, class Caret>
void expectCaretsAndTaps(test::UIHarness& harness, Input& input, const ct::Line& line, double left, double y,
                         std::uint64_t offset, Caret caret) {
    for (const ct::Run& run : line.runs()) {
        const auto& glyphs = run.glyphs();
        ct::forEachClusterInTextOrder(glyphs, run.isRightToLeft(), [&](std::size_t first, std::size_t last) {
            const std::uint64_t index = offset + glyphs[first].stringIndex;
            SCOPED_TRACE(index);
            const double edge = left + (run.isRightToLeft() ? glyphs[last - 1].position.x + glyphs[last - 1].advance
                                                            : glyphs[first].position.x);
            EXPECT_NEAR(caret(index).origin.x, edge, 1e-9);
            const double inside = run.isRightToLeft() ? edge - 1 : edge + 1;
            input.setSelectedRange({0, 0});
            ASSERT_TRUE(harness.fingers.tap(onScreen(input, {inside, y})));
            EXPECT_EQ(input.selectedRange(), (ns::Range{index, 0}));
        });
    }
}

}  // namespace

TEST(TextCaret, FieldsPlaceCaretsAndTapsWhereTheirCharactersShow) {
    test::UIHarness harness;
    auto field = std::make_shared<TextField>(cg::Rect{10, 60, 300, 40});
    harness.root->view()->addSubview(field);
    const auto caret = [&](std::uint64_t position) { return field->caretRectForPosition(position); };

    // Right to left: flush right, the first character's caret at the right end, the end at the left.
    for (const std::string text : {"שלום עולם", "مرحبا بالعالم"}) {
        SCOPED_TRACE(text);
        field->setText(text);
        ASSERT_TRUE(field->becomeFirstResponder());
        const cg::Rect rect = field->editingRectForBounds(field->bounds());
        const ct::Line line = lineOf(text, *field->font());
        ASSERT_TRUE(line.isRightToLeft());
        const double left = cg::maxX(rect) - line.width();
        EXPECT_NEAR(caret(0).origin.x, cg::maxX(rect), 1e-9);
        EXPECT_NEAR(caret(ns::utf16Length(text)).origin.x, left, 1e-9);
        const double y = cg::midY(rect);
        EXPECT_LE(caret(0).origin.y, y);
        EXPECT_GE(cg::maxY(caret(0)), y);
        expectCaretsAndTaps(harness, *field, line, left, y, 0, caret);
        // Past the ends, the caret at that end: the text's end on the left, its start on the right.
        ASSERT_TRUE(harness.fingers.tap(onScreen(*field, {left - 5, y})));
        EXPECT_EQ(field->selectedRange(), (ns::Range{ns::utf16Length(text), 0}));
        ASSERT_TRUE(harness.fingers.tap(onScreen(*field, {cg::maxX(rect) - 0.5, y})));
        EXPECT_EQ(field->selectedRange(), (ns::Range{0, 0}));
        ASSERT_TRUE(field->resignFirstResponder());
    }

    // Mixed: a left-to-right paragraph with a right-to-left phrase and digits, flush left; then a
    // right-to-left one holding a Latin word, flush right; then the same set flush left by the field.
    const std::string mixed = "read שלום עולם 42 now";
    field->setText(mixed);
    ASSERT_TRUE(field->becomeFirstResponder());
    cg::Rect rect = field->editingRectForBounds(field->bounds());
    expectCaretsAndTaps(harness, *field, lineOf(mixed, *field->font()), rect.origin.x, cg::midY(rect), 0, caret);

    const std::string inverse = "שלום read עולם 42";
    field->setText(inverse);
    const ct::Line line = lineOf(inverse, *field->font());
    expectCaretsAndTaps(harness, *field, line, cg::maxX(rect) - line.width(), cg::midY(rect), 0, caret);
    field->setTextAlignment(TextAlignment::Left);
    expectCaretsAndTaps(harness, *field, line, rect.origin.x, cg::midY(rect), 0, caret);

    // Dots stand for a secret's characters one for one, left to right.
    field->setSecureTextEntry(true);
    const double dot = lineOf("\u2022", *field->font()).width();
    EXPECT_NEAR(caret(3).origin.x, rect.origin.x + 3 * dot, 1e-9);
    ASSERT_TRUE(harness.fingers.tap(onScreen(*field, {rect.origin.x + 2 * dot + 1, cg::midY(rect)})));
    EXPECT_EQ(field->selectedRange(), (ns::Range{2, 0}));

    // The tap that begins editing leaves the caret at the end, as typing after it expects.
    ASSERT_TRUE(field->resignFirstResponder());
    ASSERT_TRUE(harness.fingers.tap(onScreen(*field, {rect.origin.x + 2, cg::midY(rect)})));
    ASSERT_TRUE(field->isFirstResponder());
    EXPECT_EQ(field->selectedRange(), (ns::Range{ns::utf16Length(inverse), 0}));
}

TEST(TextCaret, TextViewsSetEachParagraphInItsOwnDirection) {
    test::UIHarness harness;
    auto view = std::make_shared<TextView>(cg::Rect{10, 40, 300, 200});
    view->setFont(Font::systemFontOfSize(16));
    harness.root->view()->addSubview(view);
    const std::string first = "שלום read עולם";
    const std::string second = "read مرحبا 42 now";
    const std::string third = "ab";
    view->setText(first + "\n" + second + "\r\n" + third + "\n");
    ASSERT_TRUE(view->becomeFirstResponder());
    const auto caret = [&](std::uint64_t position) { return view->caretRectForPosition(position); };
    const double left = view->textContainerInset().left + TextView::kLineFragmentPadding;
    const double right = view->bounds().size.width - view->textContainerInset().right - TextView::kLineFragmentPadding;

    // The right-to-left paragraph is flush right, the others flush left; each line below the one before.
    const std::uint64_t secondStart = ns::utf16Length(first) + 1;
    const std::uint64_t thirdStart = secondStart + ns::utf16Length(second) + 2;
    const double firstY = cg::midY(caret(0));
    const double secondY = cg::midY(caret(secondStart));
    const double thirdY = cg::midY(caret(thirdStart));
    EXPECT_LT(firstY, secondY);
    EXPECT_LT(secondY, thirdY);
    EXPECT_NEAR(caret(0).origin.x, right, 1e-9);
    const ct::Line firstLine = lineOf(first, *view->font());
    expectCaretsAndTaps(harness, *view, firstLine, right - firstLine.width(), firstY, 0, caret);
    expectCaretsAndTaps(harness, *view, lineOf(second, *view->font()), left, secondY, secondStart, caret);

    // Beyond a paragraph's end on its trailing side, the caret before its line break, never the next
    // paragraph's start: on the left of the right-to-left one, on the right of the others.
    ASSERT_TRUE(harness.fingers.tap(onScreen(*view, {left + 1, firstY})));
    EXPECT_EQ(view->selectedRange(), (ns::Range{ns::utf16Length(first), 0}));
    ASSERT_TRUE(harness.fingers.tap(onScreen(*view, {right - 1, secondY})));
    EXPECT_EQ(view->selectedRange(), (ns::Range{thirdStart - 2, 0}));  // before the carriage return
    ASSERT_TRUE(harness.fingers.tap(onScreen(*view, {right - 1, thirdY})));
    EXPECT_EQ(view->selectedRange(), (ns::Range{thirdStart + 2, 0}));
    // Below the text, the empty line after its final line break.
    const std::uint64_t length = ns::utf16Length(view->text());
    ASSERT_TRUE(harness.fingers.tap(onScreen(*view, {left + 20, cg::maxY(caret(length)) - 1})));
    EXPECT_EQ(view->selectedRange(), (ns::Range{length, 0}));
    EXPECT_GT(cg::minY(caret(length)), thirdY);

    // A long right-to-left paragraph wraps; each line is flush right, where the text layer sets it in the
    // view's width, and the caret at a line's end stands at the start of the next.
    const std::string hebrew = "שלום עולם ספר קריאה לתלמידים בבית הספר היסודי";
    view->setText(hebrew);
    const ct::Typesetter typesetter(ct::StyledText(hebrew, ct::TextStyle{view->font()->ctFont(), std::nullopt}));
    ct::LayoutBox box;
    box.width = right - left;
    const ct::TextLayout layout(typesetter, ct::ParagraphStyle{}, box);
    ASSERT_GE(layout.lines().size(), 2u);
    const double top = view->textContainerInset().top;
    for (const auto& placed : layout.lines()) {
        SCOPED_TRACE(placed.line.stringRange().location);
        EXPECT_NEAR(placed.origin.x + placed.line.trailingWhitespaceWidth() + placed.line.visibleWidth(), right - left, 1e-9);
        const double y = top + placed.top + placed.line.height() / 2;
        expectCaretsAndTaps(harness, *view, placed.line, left + placed.origin.x, y, 0, caret);
        EXPECT_EQ(view->closestPositionToPoint({right + 3, y}), placed.line.stringRange().location);
    }
    const ns::Range secondLine = layout.lines()[1].line.stringRange();
    EXPECT_NEAR(caret(secondLine.location).origin.x, right, 1e-9);
    EXPECT_GT(caret(secondLine.location).origin.y, caret(0).origin.y);
}

namespace {

// The processor time this thread spends on `work`, the least of three tries, in seconds.
template <class Work>
double threadSeconds(Work work) {
    double least = 1e9;
    for (int i = 0; i < 3; ++i) {
        timespec before{};
        timespec after{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &before);
        work();
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &after);
        least = std::min(least, double(after.tv_sec - before.tv_sec) + double(after.tv_nsec - before.tv_nsec) / 1e9);
    }
    return least;
}

}  // namespace

TEST(TextCaret, AFieldShowsTheStartOfALongTextForWhatItsStartAloneCosts) {
    test::UIHarness harness;
    auto whole = std::make_shared<TextField>(cg::Rect{10, 60, 300, 40});
    auto start = std::make_shared<TextField>(cg::Rect{10, 160, 300, 40});
    harness.root->view()->addSubview(whole);
    harness.root->view()->addSubview(start);
    // 300 points at 17: 256 units and 8 for each 17 points.
    EXPECT_EQ(whole->laidOutLength(), 256u + 142u);
    const auto render = [&] {
        harness.settle();
        auto context = cg::BitmapContext::createForImage(harness.window->bounds().size, false, 1);
        harness.window->layer()->renderInContext(*context);
        return context->makeImage();
    };
    // Characters of one, two and three UTF-8 bytes and one beyond the first plane (two units), in 1 MiB of
    // text (a little less for two of them): far more than its start.
    for (const std::string character : {"x", "\u00e9", "\u4e2d", "\U0001F600"}) {
        SCOPED_TRACE(character);
        std::string text;
        while (text.size() < (std::size_t{1} << 20) / character.size() * character.size()) text += character;
        whole->setText(text);
        // What is laid out of it: as many whole characters as the units allow.
        const std::size_t characters = whole->laidOutLength() / ns::utf16Length(character);
        std::string shown;
        for (std::size_t i = 0; i < characters; ++i) shown += character;
        start->setText(shown);
        const std::uint64_t shownEnd = ns::utf16Length(shown);

        // The same line, the same carets (a caret past the start sits at its end), the same touches.
        for (const std::uint64_t position : {std::uint64_t{0}, std::uint64_t{4}, shownEnd}) {
            EXPECT_EQ(whole->caretRectForPosition(position).origin.x, start->caretRectForPosition(position).origin.x) << position;
        }
        EXPECT_EQ(whole->caretRectForPosition(ns::utf16Length(text)).origin.x, start->caretRectForPosition(shownEnd).origin.x);
        for (const double x : {0.0, 30.0, 150.0, 299.0}) {
            EXPECT_EQ(whole->closestPositionToPoint({x, 20}), start->closestPositionToPoint({x, 20})) << x;
        }
        EXPECT_EQ(whole->intrinsicContentSize().width, start->intrinsicContentSize().width);
        const auto image = render();
        bool same = true;
        for (int y = 60; y < 100 && same; ++y) {
            for (int x = 10; x < 310 && same; ++x) same = image->pixel(x, y) == image->pixel(x, y + 100);
        }
        EXPECT_TRUE(same) << "the two fields look the same";

        // And for what its start costs: the text's length does not come into it.
        const auto layOut = [](const TextField& field) {
            return [&field] {
                field.caretRectForPosition(0);
                field.closestPositionToPoint({150, 20});
            };
        };
        const double shownSeconds = threadSeconds(layOut(*start));
        const double wholeSeconds = threadSeconds(layOut(*whole));
        EXPECT_LT(wholeSeconds, 3 * shownSeconds + 0.01) << wholeSeconds << " s against " << shownSeconds << " s";
    }
}
