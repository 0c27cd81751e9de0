#pragma once
// ns::XMLParser: reads an XML document held in memory and reports what it finds, element by element, to a
// delegate as it goes, after the platform's event-driven XML parser. Parsing runs on the calling thread.
//
// Hostile documents are expected: nothing is ever loaded from outside (no external DTD, no external
// entity, no network), entities the document declares itself are not expanded (a reference to one is a
// parse error), and elements nested more than 256 deep stop the parse with an error.

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

#include "platform/foundation/Data.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/Object.h"
#include "platform/foundation/Value.h"

namespace ql::ns {

inline constexpr std::string_view XMLParserErrorDomain = "NSXMLParserErrorDomain";
// The code of the error left by abortParsing(). The parser's other codes are its XML reader's own.
inline constexpr std::int64_t XMLParserDelegateAbortedParseError = 512;

class XMLParser;

// What a parser reports; every call does nothing unless overridden. Texts are only valid during the call.
class XMLParserDelegate {
public:
    virtual ~XMLParserDelegate() = default;

    virtual void parserDidStartDocument(XMLParser&) {}
    virtual void parserDidEndDocument(XMLParser&) {}
    // Without namespace processing the element name is the qualified name ("p:item"), the URI and the
    // qualified name are absent and namespace declarations are ordinary attributes. With it, the element
    // name is the local name, the URI is the element's namespace (absent when it has none) and the
    // attributes are keyed by qualified name, declarations left out.
    virtual void parserDidStartElement(XMLParser&, std::string_view /*elementName*/,
                                       std::optional<std::string_view> /*namespaceURI*/,
                                       std::optional<std::string_view> /*qualifiedName*/,
                                       const Dictionary& /*attributes*/) {}
    virtual void parserDidEndElement(XMLParser&, std::string_view /*elementName*/,
                                     std::optional<std::string_view> /*namespaceURI*/,
                                     std::optional<std::string_view> /*qualifiedName*/) {}
    // Namespace declarations of an element, reported before its start and after its end when the parser
    // reports prefixes; the default namespace has the empty prefix.
    virtual void parserDidStartMappingPrefix(XMLParser&, std::string_view /*prefix*/, std::string_view /*namespaceURI*/) {}
    virtual void parserDidEndMappingPrefix(XMLParser&, std::string_view /*prefix*/) {}
    // Character data may come in several pieces (a long run, or one around each character reference).
    virtual void parserFoundCharacters(XMLParser&, std::string_view /*characters*/) {}
    virtual void parserFoundCDATA(XMLParser&, const Data& /*CDATABlock*/) {}
    // The parse failed; nothing more is reported after this.
    virtual void parserParseErrorOccurred(XMLParser&, const Error& /*parseError*/) {}
};

class XMLParser final : public Object {
    QL_OBJECT_NAMED(XMLParser, Object, "NSXMLParser")
public:
    explicit XMLParser(Data data);
    ~XMLParser() override;

    std::weak_ptr<XMLParserDelegate> delegate() const { return delegate_; }
    void setDelegate(std::weak_ptr<XMLParserDelegate> delegate) { delegate_ = std::move(delegate); }
    bool shouldProcessNamespaces() const { return shouldProcessNamespaces_; }
    void setShouldProcessNamespaces(bool process) { shouldProcessNamespaces_ = process; }
    bool shouldReportNamespacePrefixes() const { return shouldReportNamespacePrefixes_; }
    void setShouldReportNamespacePrefixes(bool report) { shouldReportNamespacePrefixes_ = report; }

    // Reads the whole document, reporting to the delegate; false when the document is not well-formed or
    // the delegate aborted, with the reason in parserError() (reported to the delegate too). An exception
    // thrown by the delegate stops the parse and leaves parse() once the reader is cleaned up. A parse()
    // started from within a delegate call of the same parser returns false at once.
    bool parse();
    // From a delegate call: nothing more is reported after that call, and parse() fails with
    // XMLParserDelegateAbortedParseError unless it had already failed.
    void abortParsing();
    const std::optional<Error>& parserError() const { return parserError_; }

    // Where the parser is in the document (1-based), while it parses; afterwards, where it stopped.
    std::int64_t lineNumber() const;
    std::int64_t columnNumber() const;

private:
    struct Run;  // the state of one parse, alive while parse() runs

    Data data_;
    std::weak_ptr<XMLParserDelegate> delegate_;
    bool shouldProcessNamespaces_ = false;
    bool shouldReportNamespacePrefixes_ = false;
    std::optional<Error> parserError_;
    Run* run_ = nullptr;
    std::int64_t lineNumber_ = 0;
    std::int64_t columnNumber_ = 0;
};

}  // namespace ql::ns
