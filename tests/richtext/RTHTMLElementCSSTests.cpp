#include <gtest/gtest.h>

#include "richtext/RTHTMLElement.h"
#include "richtext/RTLog.h"

using namespace ql;

namespace {

std::shared_ptr<RTHTMLElement> root(double textScale = 1) {
    auto made = std::make_shared<RTHTMLElement>("body", ns::Dictionary());
    made->setFontDescriptor(std::make_shared<RichTextFontDescriptor>());
    made->setParagraphStyle(std::make_shared<RichTextParagraphStyle>());
    made->setTextScale(textScale);
    made->setCurrentTextSize(12);
    return made;
}

std::shared_ptr<RTHTMLElement> styled(const std::shared_ptr<RTHTMLElement>& parent, std::string_view name, const ns::Dictionary& styles) {
    auto made = std::make_shared<RTHTMLElement>(name, ns::Dictionary());
    parent->addChildNode(made);
    made->inheritAttributesFromElement(*parent);
    made->interpretAttributes();
    made->applyStyleDictionary(styles);
    return made;
}

double sizeFor(std::string_view value, double textScale = 1) {
    return styled(root(textScale), "span", {{"font-size", ns::Value(value)}})->fontDescriptor()->pointSize();
}

std::string familyFor(const ns::Value& value) {
    return styled(root(), "span", {{"font-family", value}})->fontDescriptor()->fontFamily().value_or("<none>");
}

TEST(RTHTMLElementCSSTests, SharedDeclarationsAreKeptWithoutACopy) {
    const auto parent = root();
    const ns::Value declarations(ns::Dictionary{{"color", ns::Value("red")}, {"font-size", ns::Value("20px")}});
    const auto first = styled(parent, "span", {});
    const auto second = styled(parent, "span", {});
    first->applyStyles(declarations);
    second->applyStyles(declarations);
    EXPECT_EQ(&first->styles(), declarations.asDictionary());
    EXPECT_EQ(&second->styles(), declarations.asDictionary());
    EXPECT_DOUBLE_EQ(second->fontDescriptor()->pointSize(), 20);
    // A dictionary given directly is copied; nil changes nothing.
    const ns::Dictionary own{{"color", ns::Value("blue")}};
    first->applyStyleDictionary(own);
    EXPECT_NE(&first->styles(), &own);
    EXPECT_EQ(first->styles(), own);
    second->applyStyles(ns::Value());
    EXPECT_EQ(&second->styles(), declarations.asDictionary());
}

TEST(RTHTMLElementCSSTests, DeclarationsReadOnceServeEveryElement) {
    const auto declarations = std::make_shared<const RTCSSDeclarations>(ns::Value(ns::Dictionary{
        {"display", ns::Value("block")}, {"color", ns::Value("#F00")}, {"font-weight", ns::Value("BOLD")}, {"margin", ns::Value("1em 2px")},
        {"margin-left", ns::Value("0.5em")}, {"padding-top", ns::Value("3px")}, {"border-color", ns::Value("nonsense")}}));
    EXPECT_EQ(declarations->lowerText(RTCSSProperty::FontWeight), "bold");
    ASSERT_TRUE(declarations->color(RTCSSProperty::BorderColor));
    EXPECT_EQ(*declarations->color(RTCSSProperty::BorderColor), nullptr);
    EXPECT_FALSE(declarations->color(RTCSSProperty::BackgroundColor));
    EXPECT_EQ(declarations->box(RTCSSDeclarations::Box::Margin).shorthands.size(), 1u);
    EXPECT_EQ(declarations->box(RTCSSDeclarations::Box::Margin).sides.size(), 1u);
    EXPECT_TRUE(declarations->box(RTCSSDeclarations::Box::WebKitPadding).empty());

    // Nested elements of one cascade share the parsed colour, yet each declares it as its own; lengths
    // relative to the font are still worked out per element.
    const auto outer = styled(root(), "div", {{"font-size", ns::Value("20px")}});
    const auto middle = styled(outer, "div", {});
    middle->applyStyles(declarations);
    const auto inner = styled(middle, "div", {{"font-size", ns::Value("10px")}});
    inner->applyStyles(declarations);
    EXPECT_EQ(inner->textColor(), middle->textColor());
    EXPECT_FALSE(inner->isColorInherited());
    EXPECT_TRUE(inner->fontDescriptor()->boldTrait());
    EXPECT_DOUBLE_EQ(middle->paragraphStyle()->headIndent - outer->paragraphStyle()->headIndent, 10);
    EXPECT_DOUBLE_EQ(inner->paragraphStyle()->headIndent - middle->paragraphStyle()->headIndent, 5);
    EXPECT_DOUBLE_EQ(inner->paragraphStyle()->tailIndent - middle->paragraphStyle()->tailIndent, -2);
}

TEST(RTHTMLElementCSSTests, ItemsOfOneListShareTheirIndentedStyle) {
    const auto list = styled(root(), "ul", {{"display", ns::Value("block")}, {"padding-left", ns::Value("20px")}});
    ASSERT_EQ(list->listIndent(), 20);
    const auto item = [&](const ns::Value& styles) {
        auto li = RTHTMLElement::elementWithName("li", {}, {});
        list->addChildNode(li);
        li->inheritAttributesFromElement(*list);
        li->applyStyles(styles);
        return li;
    };
    const ns::Value itemStyles(ns::Dictionary{{"display", ns::Value("list-item")}, {"margin-bottom", ns::Value("3px")}});
    const auto first = item(itemStyles);
    const auto second = item(itemStyles);
    const auto third = item(itemStyles);
    EXPECT_EQ(second->paragraphStyle(), first->paragraphStyle());
    EXPECT_EQ(third->paragraphStyle(), first->paragraphStyle());
    const auto indented = first->paragraphStyle();
    EXPECT_EQ(indented->headIndent, 20);
    EXPECT_EQ(indented->paragraphSpacing, 3);
    ASSERT_TRUE(indented->tabStops);
    EXPECT_EQ(*indented->tabStops, (RichTextParagraphStyle::TabStops{{ct::TextAlignment::Right, 15}, {ct::TextAlignment::Left, 20}}));

    // Blocks add their margins to what they start from, so each is indented on its own, once.
    const ns::Value blockStyles(ns::Dictionary{{"display", ns::Value("block")}, {"margin-left", ns::Value("5px")}});
    const auto block = item(blockStyles);
    const auto nextBlock = item(blockStyles);
    EXPECT_NE(nextBlock->paragraphStyle(), block->paragraphStyle());
    EXPECT_EQ(block->paragraphStyle()->headIndent, 25);
    EXPECT_EQ(nextBlock->paragraphStyle()->headIndent, 25);
    // An item with other declarations has a style of its own.
    const auto other = item(ns::Value(ns::Dictionary{{"display", ns::Value("list-item")}, {"margin-bottom", ns::Value("7px")}}));
    EXPECT_EQ(other->paragraphStyle()->paragraphSpacing, 7);
    EXPECT_EQ(other->paragraphStyle()->headIndent, 20);

    // The shared style is never changed under the items.
    second->mutableParagraphStyle().headIndent = 40;
    list->mutableParagraphStyle().headIndent = 100;
    EXPECT_EQ(first->paragraphStyle()->headIndent, 20);
    EXPECT_EQ(third->paragraphStyle(), indented);
}

TEST(RTHTMLElementCSSTests, FontSizesFamiliesAndWeights) {
    EXPECT_EQ(sizeFor("small", 2), 26);
    EXPECT_EQ(sizeFor("larger"), 14);   // 12 × 1.2, in whole points
    EXPECT_EQ(sizeFor("smaller"), 10);
    EXPECT_EQ(sizeFor("Small"), 12);    // not a keyword, not a length
    EXPECT_EQ(sizeFor("20px", 2), 40);
    const auto body = root();
    const auto big = styled(body, "div", {{"font-size", ns::Value("30px")}});
    // Relative sizes come from the document's size, not the parent's.
    EXPECT_EQ(styled(big, "span", {{"font-size", ns::Value("1.5em")}})->fontDescriptor()->pointSize(), 18);
    EXPECT_EQ(styled(big, "span", {{"font-size", ns::Value("inherit")}})->fontDescriptor()->pointSize(), 30);

    EXPECT_EQ(familyFor(ns::Value("DejaVu Serif")), "DejaVu Serif");
    EXPECT_EQ(familyFor(ns::Value("Arial, sans-serif")), "Helvetica");
    EXPECT_EQ(familyFor(ns::Value("serif, monospace")), "Times New Roman");
    EXPECT_EQ(familyFor(ns::Value("No Such Face")), "No Such Face");
    EXPECT_EQ(familyFor(ns::Value(ns::Array{ns::Value("No Such Face"), ns::Value("DejaVu Sans")})), "DejaVu Sans");
    const auto mono = styled(root(), "code", {{"font-family", ns::Value("monospace")}});
    EXPECT_EQ(mono->fontDescriptor()->fontFamily().value_or(""), "Courier");
    EXPECT_TRUE(mono->fontDescriptor()->monospaceTrait());
    const auto cursive = styled(root(), "span", {{"font-family", ns::Value("cursive")}});
    EXPECT_FALSE(cursive->fontDescriptor()->fontFamily());
    EXPECT_EQ(cursive->fontDescriptor()->stylisticClass(), 0xA0000000u);

    const auto weight = [](std::string_view value, bool inheritedBold) {
        auto parent = root();
        parent->mutableFontDescriptor().setBoldTrait(inheritedBold);
        return styled(parent, "b", {{"font-weight", ns::Value(value)}})->fontDescriptor()->boldTrait();
    };
    EXPECT_TRUE(weight("700", false));
    EXPECT_FALSE(weight("600", true));
    EXPECT_TRUE(weight("BOLDER", false));
    EXPECT_FALSE(weight("lighter", true));
    EXPECT_TRUE(weight("inherit", true));  // keeps the inherited weight
    EXPECT_FALSE(weight("inherit", false));
    EXPECT_TRUE(styled(root(), "i", {{"font-style", ns::Value("Oblique")}})->fontDescriptor()->italicTrait());
}

TEST(RTHTMLElementCSSTests, ElementsOfOneCascadeShareTheFontTheyMakeFromOneDescriptor) {
    const auto bold = std::make_shared<const RTCSSDeclarations>(
        ns::Value(ns::Dictionary{{"font-weight", ns::Value("bold")}, {"font-size", ns::Value("1.5em")}}));
    EXPECT_TRUE(bold->changesFont());
    EXPECT_FALSE(bold->fontReadsParent());
    const auto body = root();
    const auto run = [&](const std::shared_ptr<RTHTMLElement>& parent, const std::shared_ptr<const RTCSSDeclarations>& declarations) {
        auto made = styled(parent, "b", {});
        made->applyStyles(declarations);
        return made;
    };
    // A bold run in each of two paragraphs that inherit one descriptor: one font between them.
    const auto first = run(styled(body, "p", {}), bold);
    const auto second = run(styled(body, "p", {}), bold);
    EXPECT_EQ(second->fontDescriptor(), first->fontDescriptor());
    EXPECT_TRUE(first->fontDescriptor()->boldTrait());
    EXPECT_EQ(first->fontDescriptor()->pointSize(), 18);
    EXPECT_FALSE(body->fontDescriptor()->boldTrait());

    // Another descriptor, another text size or other declarations make a font of their own.
    const auto big = styled(body, "p", {{"font-size", ns::Value("20px")}});
    const auto inBig = run(big, bold);
    EXPECT_NE(inBig->fontDescriptor(), first->fontDescriptor());
    EXPECT_EQ(inBig->fontDescriptor()->pointSize(), 18);
    EXPECT_TRUE(inBig->fontDescriptor()->boldTrait());
    const auto larger = styled(body, "p", {});
    larger->setCurrentTextSize(20);
    EXPECT_EQ(run(larger, bold)->fontDescriptor()->pointSize(), 30);
    const auto italic = std::make_shared<const RTCSSDeclarations>(ns::Value(ns::Dictionary{{"font-style", ns::Value("italic")}}));
    const auto slanted = run(styled(body, "p", {}), italic);
    EXPECT_TRUE(slanted->fontDescriptor()->italicTrait());
    EXPECT_FALSE(slanted->fontDescriptor()->boldTrait());
    // The first paragraph's descriptor again: the cascade made one since, and still shares the first.
    EXPECT_EQ(run(styled(body, "p", {}), bold)->fontDescriptor()->pointSize(), 18);

    // A font an element changes later is its own copy; the others keep theirs.
    second->mutableFontDescriptor().setItalicTrait(true);
    EXPECT_TRUE(second->fontDescriptor()->italicTrait());
    EXPECT_FALSE(first->fontDescriptor()->italicTrait());
    EXPECT_NE(second->fontDescriptor(), first->fontDescriptor());
    // Declarations that read the parent's font are applied each time.
    EXPECT_TRUE(RTCSSDeclarations(ns::Value(ns::Dictionary{{"font-family", ns::Value("Inherit, serif")}})).fontReadsParent());
    EXPECT_FALSE(RTCSSDeclarations(ns::Value(ns::Dictionary{{"color", ns::Value("red")}})).changesFont());
}

TEST(RTHTMLElementCSSTests, TextPropertiesAndLineHeights) {
    const auto body = root(2);
    body->setPreserveNewlines(true);
    body->setBackgroundStrokeWidth(3);
    const auto span = styled(body, "span", {{"color", ns::Value("red")},
                                            {"text-decoration", ns::Value("underline line-through")},
                                            {"vertical-align", ns::Value("super")},
                                            {"letter-spacing", ns::Value("2px")},
                                            {"line-height", ns::Value("18px")},
                                            {"maximum-line-height", ns::Value("20")},
                                            {"text-align", ns::Value("Center")},
                                            {"direction", ns::Value("rtl")},
                                            {"font-variant", ns::Value("small-caps")},
                                            {"before:content", ns::Value("\\2022")},
                                            {"text-shadow", ns::Value("1px 1px 2px")}});
    EXPECT_FALSE(span->isColorInherited());
    EXPECT_EQ(span->textColor()->CGColor().rgba().r, 1);
    EXPECT_EQ(span->underlineStyle(), 0);
    EXPECT_FALSE(span->strikeOut());
    EXPECT_EQ(span->superscriptStyle(), 1);
    EXPECT_EQ(span->letterSpacing(), 4);
    EXPECT_EQ(span->paragraphStyle()->minimumLineHeight, 36);
    EXPECT_EQ(span->paragraphStyle()->maximumLineHeight, 20);
    EXPECT_EQ(span->paragraphStyle()->alignment, ct::TextAlignment::Center);
    EXPECT_EQ(span->paragraphStyle()->baseWritingDirection, ct::WritingDirection::RightToLeft);
    EXPECT_EQ(span->fontVariant(), RTHTMLElementFontVariant::SmallCaps);
    EXPECT_EQ(span->beforeContent().value_or(""), "\u2022");
    EXPECT_EQ(span->shadows().size(), 1u);
    EXPECT_TRUE(span->preserveNewlines());  // absent white-space leaves the parent's
    EXPECT_EQ(span->backgroundStrokeWidth(), 0);
    EXPECT_EQ(body->paragraphStyle()->alignment, ct::TextAlignment::Natural);  // the parent's copy is untouched

    const auto pre = styled(body, "pre", {{"white-space", ns::Value("pre-wrap")}, {"line-height", ns::Value("1.5")},
                                          {"border-width", ns::Value("2px")}});
    EXPECT_TRUE(pre->preserveNewlines());
    EXPECT_EQ(pre->paragraphStyle()->lineHeightMultiple, 1.5);
    EXPECT_EQ(pre->backgroundStrokeWidth(), 2);
    const auto normal = styled(pre, "span", {{"line-height", ns::Value("normal")}});
    EXPECT_EQ(normal->paragraphStyle()->lineHeightMultiple, 0);
    EXPECT_EQ(normal->paragraphStyle()->minimumLineHeight, 0);
    EXPECT_TRUE(normal->preserveNewlines());
    EXPECT_FALSE(styled(pre, "span", {{"white-space", ns::Value("Normal")}})->preserveNewlines());
    EXPECT_TRUE(styled(pre, "span", {{"white-space", ns::Value("inherit")}})->preserveNewlines());

    const auto untouched = styled(pre, "span", {});
    EXPECT_TRUE(untouched->preserveNewlines());
    EXPECT_TRUE(untouched->styles().empty());
}

TEST(RTHTMLElementCSSTests, UnsupportedDecorationsAreNotedInTheLog) {
    std::vector<std::pair<int, std::string>> notes;
    RTSetLogHook([&](int level, std::string_view message) { notes.emplace_back(level, message); });
    const auto body = root(1);
    const auto over = styled(body, "span", {{"text-decoration", ns::Value("Overline")}});
    const auto blink = styled(body, "span", {{"text-decoration", ns::Value("blink")}});
    styled(body, "span", {{"text-decoration", ns::Value("underline overline")}});
    RTSetLogHook(nullptr);
    EXPECT_EQ(notes, (std::vector<std::pair<int, std::string>>{{RTLogLevelInfo, "Note: 'overline' text decoration not supported"},
                                                               {RTLogLevelInfo, "Note: 'blink' text decoration not supported"}}));
    // Nothing changes for either.
    EXPECT_EQ(over->underlineStyle(), 0);
    EXPECT_FALSE(blink->strikeOut());
    // Without a hook the notes go nowhere.
    EXPECT_EQ(styled(body, "span", {{"text-decoration", ns::Value("overline")}})->underlineStyle(), 0);
}

TEST(RTHTMLElementCSSTests, MarginsPaddingAndBlocks) {
    const auto body = root();
    body->mutableParagraphStyle().headIndent = 5;
    const auto block = styled(body, "div", {{"display", ns::Value("block")},
                                            {"margin-left", ns::Value("20px")},
                                            {"margin-right", ns::Value("10px")},
                                            {"margin-bottom", ns::Value("7px")}});
    EXPECT_EQ(block->paragraphStyle()->headIndent, 25);
    EXPECT_EQ(block->paragraphStyle()->firstLineHeadIndent, 25);
    EXPECT_EQ(block->paragraphStyle()->tailIndent, -10);
    EXPECT_EQ(block->paragraphStyle()->paragraphSpacing, 7);
    EXPECT_FALSE(block->paragraphStyle()->textBlocks);

    // The shorthand never overrides a side written in the same declarations.
    const auto both = styled(body, "p", {{"margin", ns::Value("3px")}, {"margin-left", ns::Value("9px")}});
    EXPECT_EQ(both->margins().left, 9);
    EXPECT_EQ(both->margins().top, 3);

    const auto rtl = styled(body, "p", {{"direction", ns::Value("rtl")}, {"-webkit-margin-start", ns::Value("4px")}});
    EXPECT_EQ(rtl->margins().right, 4);
    EXPECT_EQ(rtl->margins().left, 0);
    EXPECT_EQ(styled(body, "p", {{"-webkit-margin-start", ns::Value("4px")}})->margins().left, 4);

    // Each suffix names its side under its own kind of prefix only; the logical ones follow the direction.
    const ns::Dictionary sides{{"-webkit-padding-before", ns::Value("1px")}, {"-webkit-padding-after", ns::Value("2px")},
                               {"-webkit-padding-start", ns::Value("3px")}, {"-webkit-padding-end", ns::Value("4px")},
                               {"-webkit-padding-left", ns::Value("50px")}, {"padding-top", ns::Value("5px")},
                               {"padding-before", ns::Value("60px")}};
    for (const bool rightToLeft : {false, true}) {
        ns::Dictionary styles = sides;
        if (rightToLeft) styles.set("direction", ns::Value("rtl"));
        const cg::EdgeInsets padding = styled(body, "span", styles)->padding();
        EXPECT_EQ(padding.top, 5);
        EXPECT_EQ(padding.bottom, 2);
        EXPECT_EQ(padding.left, rightToLeft ? 4 : 3);
        EXPECT_EQ(padding.right, rightToLeft ? 3 : 4);
    }

    const auto list = styled(body, "ul", {{"display", ns::Value("block")}, {"padding", ns::Value("10px")}});
    EXPECT_EQ(list->listIndent(), 10);
    EXPECT_EQ(list->padding().left, 0);
    ASSERT_TRUE(list->paragraphStyle()->textBlocks);
    EXPECT_EQ(list->paragraphStyle()->textBlocks->front()->padding().top, 10);

    const auto boxed = styled(body, "div", {{"display", ns::Value("block")}, {"background-color", ns::Value("#00FF00")}});
    EXPECT_FALSE(boxed->backgroundColor());
    ASSERT_TRUE(boxed->paragraphStyle()->textBlocks);
    ASSERT_TRUE(boxed->paragraphStyle()->textBlocks->front()->backgroundColor());
    const auto inner = styled(boxed, "div", {{"display", ns::Value("block")}, {"border-radius", ns::Value("3px")}});
    EXPECT_FALSE(inner->backgroundColor());
    EXPECT_EQ(inner->paragraphStyle()->textBlocks->size(), 2u);  // outer block first
    EXPECT_EQ(boxed->paragraphStyle()->textBlocks->size(), 1u);

    const auto inlineSpan = styled(body, "span", {{"background-color", ns::Value("yellow")}});
    EXPECT_TRUE(inlineSpan->backgroundColor());
    EXPECT_FALSE(inlineSpan->paragraphStyle()->textBlocks);

    body->mutableParagraphStyle().paragraphSpacing = 30;
    EXPECT_EQ(styled(body, "li", {{"display", ns::Value("list-item")}})->paragraphStyle()->paragraphSpacing, 0);
    EXPECT_EQ(styled(body, "div", {{"display", ns::Value("block")}})->paragraphStyle()->paragraphSpacing, 30);

    const auto sized = styled(body, "img", {{"width", ns::Value("40px")}, {"height", ns::Value("auto")},
                                            {"float", ns::Value("right")}, {"-coretext-fontname", ns::Value("DejaVuSans")}});
    EXPECT_EQ(sized->size().width, 40);
    EXPECT_EQ(sized->floatStyle(), RTHTMLElementFloatStyle::Right);
    EXPECT_EQ(sized->fontDescriptor()->fontName().value_or(""), "DejaVuSans");
}

}  // namespace
