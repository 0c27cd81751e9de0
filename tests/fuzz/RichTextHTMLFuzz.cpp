// The rich text import's reading of arbitrary bytes: the HTML reader, the tree of parser nodes a delegate
// grows from its events, the CSS read from style attributes and style elements, and the attachments
// made for attachment tags. Nothing may crash; elements must balance and nest no deeper than the
// reader's limit; nothing may be reported after the end of the document or after an abort. The first
// byte chooses the encoding handed to the reader (0: detect) and the event at which the delegate aborts
// (none for 0 in the upper bits); the rest is the document.

#include <array>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "platform/foundation/Scanner.h"
#include "platform/foundation/StringEncoding.h"
#include "platform/foundation/Text.h"
#include "platform/text/AttributedString.h"
#include "richtext/NSMutableAttributedStringHTML.h"
#include "richtext/NSScannerHTML.h"
#include "richtext/NSStringCSS.h"
#include "richtext/NSStringHTML.h"
#include "richtext/RTHTMLColors.h"
#include "richtext/RTHTMLParser.h"
#include "richtext/RTHTMLParserNode.h"
#include "richtext/RTTextAttachment.h"
#include "richtext/RTTextAttachmentRunDelegate.h"
#include "tests/fuzz/FuzzSupport.h"

using namespace ql;

namespace {

using ql::fuzz::check;

constexpr std::array<ns::StringEncoding, 8> Encodings{
    0, ns::UTF8StringEncoding, ns::WindowsCP1252StringEncoding, ns::GBKStringEncoding,
    ns::UTF16LittleEndianStringEncoding, ns::ShiftJISStringEncoding, ns::ISO2022JPStringEncoding, 0x7777,
};

void readCSS(std::string_view text) {
    const ns::Value styles = dictionaryOfCSSStyles(text);
    for (const auto& [name, value] : *styles.asDictionary()) {
        check(!name.empty());
        const std::string css = value.stringValue();
        pixelSizeOfCSSMeasure(css, 12, 2);
        RTEdgeInsets(css, 12, 2);
        isCSSLengthValue(css);
        arrayOfCSSShadows(css, 12, nullptr);
        stringByDecodingCSSContentAttribute(css);
        if (auto color = RTColorFromHTMLColorString(css)) RTHexDigitsFromColor(*color);
        ns::Scanner scanner(css);
        std::string url;
        std::shared_ptr<ui::Color> color;
        while (!scanner.isAtEnd()) {
            const std::uint64_t before = scanner.scanLocation();
            if (!scanCSSURL(scanner, &url) && !scanHTMLColor(scanner, &color, &url))
                scanner.scanUpToCharactersFromSet(ns::CharacterSet::whitespaceCharacterSet());
            if (scanner.scanLocation() == before) break;
        }
    }
}

class TreeBuilder : public RTHTMLParserDelegate {
public:
    explicit TreeBuilder(unsigned abortAt) : abortAt_(abortAt) {}

    std::shared_ptr<RTHTMLParserNode> root = std::make_shared<RTHTMLParserNode>("#root", ns::Dictionary{});
    std::shared_ptr<RTHTMLParserNode> current = root;
    ct::AttributedString text;
    std::size_t depth = 0;
    bool ended = false;
    bool aborted = false;

    void parserDidStartElement(RTHTMLParser& parser, std::string_view name, const ns::Dictionary& attributes) override {
        event(parser);
        check(!name.empty());
        check(++depth <= RTHTMLParser::MaximumDepth);
        auto node = std::make_shared<RTHTMLParserNode>(name, attributes);
        current->addChildNode(node);
        current = node;
        if (const ns::Value* style = attributes.find("style")) readCSS(style->stringValue());
        if (auto attachment = RTTextAttachment::textAttachmentWithElement(name, attributes, {})) {
            auto delegate = RTTextAttachmentRunDelegateCreate(attachment);
            check(delegate->ascent() >= 0 && delegate->descent() >= 0);
        }
    }
    void parserDidEndElement(RTHTMLParser& parser, std::string_view name) override {
        event(parser);
        check(depth-- > 0);
        check(current->name() == name);
        current = current->parentNode();
        check(current != nullptr);
    }
    void parserFoundCharacters(RTHTMLParser& parser, std::string_view characters) override {
        event(parser);
        check(ns::isValidUTF8(characters));
        if (!isIgnorableWhitespace(characters)) appendString(text, stringByReplacingHTMLEntities(characters));
        if (hasSuffixCharacterFromSet(characters, ns::CharacterSet::newlineCharacterSet())) appendEndOfParagraph(text);
    }
    void parserFoundCDATA(RTHTMLParser& parser, const ns::Data& data) override {
        event(parser);
        current->addChildNode(std::make_shared<RTHTMLParserTextNode>(data.view()));
        readCSS(data.view());
    }
    void parserDidEndDocument(RTHTMLParser& parser) override {
        event(parser);
        ended = true;
    }

private:
    void event(RTHTMLParser& parser) {
        check(!ended && !aborted);
        if (++events_ == abortAt_) {
            parser.abortParsing();
            aborted = true;
        }
    }

    unsigned abortAt_;
    unsigned events_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    if (size == 0) return 0;
    const unsigned control = bytes[0];
    auto parser = std::make_shared<RTHTMLParser>(ns::Data(bytes + 1, size - 1), Encodings[control & 7]);
    auto builder = std::make_shared<TreeBuilder>(control >> 3);
    parser->setDelegate(builder);
    const bool parsed = parser->parse();
    check(parser->documentEncoding().has_value());
    if (parsed) check(builder->ended && builder->depth == 0 && builder->current == builder->root);
    if (builder->aborted) check(!parsed);
    return 0;
}
