#pragma once
// RTHTMLParser: reads an HTML document (or a fragment of one) held in memory and reports its elements and
// text to a delegate in document order, on the calling thread, as the rich text import builds its tree.
// It stands on libxml2's HTML push parser, fed in pieces, and repairs what it reads as follows. The reader
// itself supplies missing html, head and body elements (text at the very start of a fragment is wrapped in an
// implied p, as the reader does), closes unclosed elements and drops stray end tags. Before the reader sees
// the document (RTHTMLInputRepair.h), NUL bytes, character references and misnested formatting are made to
// read as in a browser: "<b>a <i>b</b> c</i>" shows "c" italic, "<div>x <b>y</div><p>z" and "<b><p>t</p></b>"
// keep their text bold, and "<div>a</p>b</div>" shows two lines (formatting around a block is reported as
// formatting opened again inside it; RTHTMLOpenElements.h says where the tree differs from a browser's);
// elements end where a browser ends them, and text a table cannot hold comes before the table. Other
// misnesting is repaired as the reader repairs it, which a browser may not. Every reported start gets exactly
// one end, properly nested, before the end of the document, whatever the reader does.
//
// Encodings: an encoding code of 0 means detect it from the bytes: a byte-order mark, else a charset
// declared by a meta element within the first 1024 bytes, else UTF-8 when the bytes are valid UTF-8, else
// windows-1252 (what browsers assume of undeclared legacy pages). A code the foundation does not know is
// detected the same way. Bytes invalid in the chosen encoding read as U+FFFD; nothing is ever loaded from
// the network. Elements nested more than 256 deep are not reported (their text is, to the deepest
// element reported), so a hostile document cannot make the tree that a delegate builds arbitrarily deep.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Data.h"
#include "platform/foundation/Object.h"
#include "platform/foundation/StringEncoding.h"
#include "platform/foundation/Value.h"

namespace ql {

class RTHTMLParser;

// What a parser reports; every call does nothing unless overridden. Texts are only valid during the call.
class RTHTMLParserDelegate {
public:
    virtual ~RTHTMLParserDelegate() = default;

    // The element name is in lower case; attribute names too, values with their entities replaced
    // (an attribute without a value has the empty text).
    virtual void parserDidStartElement(RTHTMLParser&, std::string_view /*elementName*/,
                                       const ns::Dictionary& /*attributes*/) {}
    // What the parser calls for a start: a delegate that keeps the attributes takes them here instead of
    // copying them; by default the call above.
    virtual void parserDidStartElementTakingAttributes(RTHTMLParser& parser, std::string_view elementName,
                                                       ns::Dictionary&& attributes) {
        parserDidStartElement(parser, elementName, attributes);
    }
    virtual void parserDidEndElement(RTHTMLParser&, std::string_view /*elementName*/) {}
    // Character data, entities replaced; a run of text may come in several pieces.
    virtual void parserFoundCharacters(RTHTMLParser&, std::string_view /*characters*/) {}
    // The raw contents of style and script elements, as UTF-8 bytes; possibly in several pieces.
    virtual void parserFoundCDATA(RTHTMLParser&, const ns::Data& /*CDATABlock*/) {}
    virtual void parserDidEndDocument(RTHTMLParser&) {}
};

class RTHTMLParser final : public ns::Object {
    QL_OBJECT(RTHTMLParser, ns::Object)
public:
    // Elements deeper than this are not reported.
    static constexpr std::size_t MaximumDepth = 256;

    // `encoding` 0 detects the encoding (see above).
    RTHTMLParser(ns::Data data, ns::StringEncoding encoding);
    ~RTHTMLParser() override;

    // The platform's initialiser answers nil for nil data.
    static std::shared_ptr<RTHTMLParser> parserWithData(const std::optional<ns::Data>& data, ns::StringEncoding encoding);

    std::weak_ptr<RTHTMLParserDelegate> delegate() const { return delegate_; }
    void setDelegate(std::weak_ptr<RTHTMLParserDelegate> delegate) { delegate_ = std::move(delegate); }

    // Reads the whole document, reporting to the delegate. True unless the reader met a fatal error or
    // the delegate aborted. An exception thrown by the delegate stops the parse and leaves parse() once
    // the reader is cleaned up. A parse() started from within a delegate call of the same parser returns
    // false at once.
    bool parse();
    // From a delegate call: nothing more is reported after that call, and parse() returns false.
    void abortParsing();

    // The encoding the document was read in, once parse() has chosen it.
    std::optional<ns::StringEncoding> documentEncoding() const { return documentEncoding_; }

    // The encoding detection on its own: what parse() reads `bytes` as when given encoding 0.
    static ns::StringEncoding detectEncoding(std::string_view bytes);

private:
    struct Run;  // the state of one parse, alive while parse() runs

    ns::Data data_;
    ns::StringEncoding encoding_;
    std::weak_ptr<RTHTMLParserDelegate> delegate_;
    std::optional<ns::StringEncoding> documentEncoding_;
    Run* run_ = nullptr;
};

}  // namespace ql
