// The event-driven XML parser on arbitrary bytes: it must never crash, report exactly one error when and only
// when parse() fails, report nothing after it, keep elements and prefix mappings balanced in a document it
// accepts, and stop cleanly when its delegate aborts at any event. The first byte chooses the namespace
// switches and the event at which the delegate aborts (none for 0 in the upper bits); the rest is the
// document.

#include <cstdint>
#include <cstdlib>
#include <memory>

#include "platform/foundation/XMLParser.h"
#include "tests/fuzz/FuzzSupport.h"

using namespace ql::ns;

namespace {

using ql::fuzz::check;

class Checker : public XMLParserDelegate {
public:
    explicit Checker(unsigned abortAt) : abortAt_(abortAt) {}

    unsigned errors = 0;
    bool ended = false;
    long depth = 0;
    long mappings = 0;

    void parserDidStartDocument(XMLParser& parser) override { event(parser); }
    void parserDidEndDocument(XMLParser& parser) override {
        event(parser);
        ended = true;
    }
    void parserDidStartElement(XMLParser& parser, std::string_view name, std::optional<std::string_view>,
                               std::optional<std::string_view>, const Dictionary&) override {
        check(!name.empty());
        ++depth;
        event(parser);
    }
    void parserDidEndElement(XMLParser& parser, std::string_view, std::optional<std::string_view>,
                             std::optional<std::string_view>) override {
        check(--depth >= 0);
        event(parser);
    }
    void parserDidStartMappingPrefix(XMLParser& parser, std::string_view, std::string_view) override {
        ++mappings;
        event(parser);
    }
    void parserDidEndMappingPrefix(XMLParser& parser, std::string_view) override {
        check(--mappings >= 0);
        event(parser);
    }
    void parserFoundCharacters(XMLParser& parser, std::string_view) override { event(parser); }
    void parserFoundCDATA(XMLParser& parser, const Data&) override { event(parser); }
    void parserParseErrorOccurred(XMLParser& parser, const Error& error) override {
        check(error.domain() == XMLParserErrorDomain && parser.parserError() == error);
        ++errors;
    }

private:
    void event(XMLParser& parser) {
        check(errors == 0 && !ended);
        check(parser.lineNumber() >= 1);
        if (++events_ == abortAt_) parser.abortParsing();
    }

    unsigned abortAt_;
    unsigned events_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    if (size == 0) return 0;
    const unsigned control = bytes[0];
    auto parser = std::make_shared<XMLParser>(Data(bytes + 1, size - 1));
    auto checker = std::make_shared<Checker>(control >> 2);
    parser->setDelegate(checker);
    parser->setShouldProcessNamespaces(control & 1);
    parser->setShouldReportNamespacePrefixes(control & 2);

    const bool parsed = parser->parse();
    check(parsed == !parser->parserError());
    check(checker->errors == (parsed ? 0u : 1u));
    if (parsed) check(checker->ended && checker->depth == 0 && checker->mappings == 0);
    return 0;
}
