// A text view lays its plain text out paragraph by paragraph and, after an edit, again only where the edit
// touched. Whatever the edits, its height, carets and drawing must be those of the whole text laid out at
// once, which is what these tests lay out beside it.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "platform/foundation/Text.h"
#include "platform/text/TextLayout.h"
#include "platform/text/Typesetter.h"
#include "platform/ui/Color.h"
#include "platform/ui/Font.h"
#include "platform/ui/GraphicsContext.h"
#include "platform/ui/Image.h"
#include "platform/ui/StringDrawing.h"
#include "platform/ui/TextView.h"

using namespace ql;
using namespace ql::ui;

namespace {

double textWidth(const TextView& view) {
    return view.bounds().size.width - view.textContainerInset().left - view.textContainerInset().right - 2 * TextView::kLineFragmentPadding;
}

// The whole text in one layout.
double wholeHeight(const TextView& view) {
    const std::string& text = view.text().empty() ? std::string(" ") : view.text();
    const double lines = sizeWithFont(text, *view.font(), {textWidth(view), 0}, LineBreakMode::WordWrapping).height;
    return std::ceil(lines + view.textContainerInset().top + view.textContainerInset().bottom);
}

cg::Rect wholeCaret(const TextView& view, std::uint64_t position) {
    const std::string& text = view.text();
    const double left = view.textContainerInset().left + TextView::kLineFragmentPadding;
    const double top = view.textContainerInset().top;
    const ct::Typesetter typesetter(ct::StyledText(text, ct::TextStyle{view.font()->ctFont(), std::nullopt}));
    ct::LayoutBox box;
    box.width = textWidth(view);
    const ct::TextLayout layout(typesetter, ct::ParagraphStyle{textLayoutAlignment(view.textAlignment()), ct::LineBreakMode::WordWrapping}, box);
    const auto& lines = layout.lines();
    if (lines.empty()) return {left, top, 2, view.font()->lineHeight()};
    const auto* placed = &lines.back();
    for (const auto& line : lines) {
        const ns::Range range = line.line.stringRange();
        if (position >= range.location && position < range.end()) {
            placed = &line;
            break;
        }
    }
    const ns::Range range = placed->line.stringRange();
    if (position == ns::utf16Length(text) && !text.empty() && text.back() == '\n')
        return {left, top + placed->top + placed->line.height(), 2, placed->line.height()};
    double x = placed->origin.x;
    if (position > range.location) x += typesetter.createLine({range.location, position - range.location}).width();
    return {left + x, top + placed->top, 2, placed->line.height()};
}

std::vector<std::uint32_t> pixels(const std::function<void()>& draw, cg::Size size) {
    ImageContextScope scope(size, false, 1);
    draw();
    const auto image = GraphicsGetImageFromCurrentImageContext();
    const auto& bitmap = image->CGImage();
    return {bitmap->pixels(), bitmap->pixels() + static_cast<std::size_t>(bitmap->width()) * static_cast<std::size_t>(bitmap->height())};
}

void expectSameAsWhole(const TextView& view, const std::string& step) {
    SCOPED_TRACE(step);
    EXPECT_EQ(view.sizeThatFits(view.bounds().size).height, wholeHeight(view));
    const std::string& text = view.text();
    std::vector<std::uint64_t> positions = {0, ns::utf16Length(text), ns::utf16Length(text) / 2};
    for (std::uint64_t at = 0, unit = 0; at < text.size(); ++at) {
        if ((static_cast<unsigned char>(text[at]) & 0xC0) != 0x80) unit += static_cast<unsigned char>(text[at]) >= 0xF0 ? 2 : 1;
        if (text[at] == '\n') positions.push_back(unit);
    }
    for (std::uint64_t position : positions) {
        const cg::Rect caret = view.caretRectForPosition(position);
        const cg::Rect expected = wholeCaret(view, position);
        EXPECT_EQ(caret.origin.x, expected.origin.x) << position;
        EXPECT_EQ(caret.origin.y, expected.origin.y) << position;
        EXPECT_EQ(caret.size.height, expected.size.height) << position;
    }
}

}  // namespace

TEST(TextViewLayout, EditsAnywhereLeaveTheLayoutOfTheWholeText) {
    auto view = std::make_shared<TextView>(cg::Rect{0, 0, 180, 400});
    view->setFont(Font::systemFontOfSize(14));
    const std::vector<std::string> pieces = {"a", "读书", "word ", "\n", "\n\n", "😀", "long words that wrap over the line ",
                                             "第一段。\n第二段", " ", "tail\n"};
    std::mt19937 random(7);
    for (int step = 0; step < 160; ++step) {
        const std::uint64_t length = ns::utf16Length(view->text());
        std::uniform_int_distribution<std::uint64_t> place(0, length);
        const std::uint64_t at = place(random);
        const std::uint64_t span = std::uniform_int_distribution<std::uint64_t>(0, std::min<std::uint64_t>(length - at, 12))(random);
        // The view widens a selection that would cut a character in two.
        view->setSelectedRange({at, random() % 3 == 0 ? span : 0});
        if (random() % 4 == 0) view->deleteBackward();
        else view->insertText(pieces[random() % pieces.size()]);
        if (step % 8 == 0) expectSameAsWhole(*view, "step " + std::to_string(step) + ": " + view->text());
    }
    expectSameAsWhole(*view, "after the edits");

    // The paragraphs are laid out again for another width, font or alignment.
    view->setFrame({0, 0, 240, 400});
    expectSameAsWhole(*view, "wider");
    view->setFont(Font::systemFontOfSize(20));
    expectSameAsWhole(*view, "larger font");
    view->setTextAlignment(TextAlignment::Center);
    expectSameAsWhole(*view, "centred");
    view->insertText("\nmore");
    expectSameAsWhole(*view, "centred and edited");
    view->setText(std::string("x\n\ny\n"));
    expectSameAsWhole(*view, "set anew");
    view->setSelectedRange({0, 5});
    view->deleteBackward();
    expectSameAsWhole(*view, "emptied");
}

TEST(TextViewLayout, DrawsWhatTheWholeTextDrawsWhereverItIsScrolled) {
    auto view = std::make_shared<TextView>(cg::Rect{0, 0, 200, 120});
    view->setTextColor(Color::blackColor());
    std::string text;
    for (int paragraph = 0; paragraph < 14; ++paragraph) text += "段落 " + std::to_string(paragraph) + " with some words to wrap\n";
    view->setText(text);
    view->setSelectedRange({40, 0});
    view->insertText("inserted\n");
    view->setSelectedRange({ns::utf16Length(view->text()) - 3, 2});
    view->deleteBackward();
    const cg::Rect area{view->textContainerInset().left + TextView::kLineFragmentPadding, view->textContainerInset().top, textWidth(*view), 1e9};
    for (double offset : {0.0, 57.5, 180.0}) {
        SCOPED_TRACE(offset);
        view->setContentOffset({0, offset}, false);
        const cg::Rect bounds = view->bounds();
        const auto drawn = pixels([&] {
            GraphicsGetCurrentContext()->translateCTM(0, -offset);
            view->drawRect(bounds);
        }, bounds.size);
        const auto whole = pixels([&] {
            cg::Context* context = GraphicsGetCurrentContext();
            context->translateCTM(0, -offset);
            context->setFillColor(view->textColor()->CGColor());
            drawInRect(view->text(), area, *view->font(), LineBreakMode::WordWrapping, view->textAlignment());
        }, bounds.size);
        EXPECT_EQ(drawn, whole);
        EXPECT_NE(std::count(drawn.begin(), drawn.end(), 0u), static_cast<std::ptrdiff_t>(drawn.size()));  // something was drawn
    }
}
