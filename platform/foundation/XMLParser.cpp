#include "platform/foundation/XMLParser.h"

#include <libxml/entities.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/xmlerror.h>

#include <climits>
#include <cstddef>
#include <exception>
#include <string>
#include <utility>
#include <vector>

#include "platform/foundation/QuietLibXML.h"

namespace ql::ns {

namespace {

std::string_view text(const xmlChar* s) { return s ? reinterpret_cast<const char*>(s) : std::string_view(); }

std::optional<std::string_view> optionalText(const xmlChar* s) {
    return s ? std::optional(text(s)) : std::nullopt;
}

std::string qualifiedName(const xmlChar* prefix, const xmlChar* localName) {
    std::string name;
    if (prefix) {
        name = text(prefix);
        name += ':';
    }
    name += text(localName);
    return name;
}

// Without entity substitution the reader hands every '&' of an attribute value back as "&#38;" (a bare '&'
// cannot occur in a well-formed value, and no entity other than the predefined ones is ever resolved), so
// that escape is the only one left to undo.
std::string attributeValue(const xmlChar* begin, const xmlChar* end) {
    const std::string_view raw(reinterpret_cast<const char*>(begin), static_cast<std::size_t>(end - begin));
    constexpr std::string_view escapedAmpersand = "&#38;";
    std::string value;
    value.reserve(raw.size());
    for (std::size_t i = 0; i < raw.size();) {
        if (raw.compare(i, escapedAmpersand.size(), escapedAmpersand) == 0) {
            value += '&';
            i += escapedAmpersand.size();
        } else {
            value += raw[i++];
        }
    }
    return value;
}

std::string describe(const xmlError* error) {
    std::string_view message = error && error->message ? error->message : "malformed document";
    while (!message.empty() && (message.back() == '\n' || message.back() == ' ')) message.remove_suffix(1);
    std::string description(message);
    if (error) description += " on line " + std::to_string(error->line) + ", column " + std::to_string(error->int2);
    return description;
}

struct ContextFree {
    void operator()(xmlParserCtxt* context) const {
        // The reader may keep entity declarations in a document of its own, which is not freed with it.
        if (context->myDoc) xmlFreeDoc(context->myDoc);
        xmlFreeParserCtxt(context);
    }
};

}  // namespace

struct XMLParser::Run {
    explicit Run(XMLParser& parser)
        : parser(parser),
          processNamespaces(parser.shouldProcessNamespaces_),
          reportPrefixes(parser.shouldReportNamespacePrefixes_) {}

    XMLParser& parser;
    // Read once, so that a delegate changing them halfway cannot unbalance the prefix bookkeeping.
    const bool processNamespaces;
    const bool reportPrefixes;
    xmlParserCtxt* context = nullptr;
    bool aborted = false;
    std::exception_ptr exception;
    // The prefixes declared by each open element, innermost last, while prefixes are reported.
    std::vector<std::size_t> declaredCounts;
    std::vector<std::string> declaredPrefixes;

    bool stopped() const { return aborted || exception || parser.parserError_; }

    // Silences the reader for the rest of the document. It is not halted: halting frees the input under the
    // reader's feet when done from a callback, and reading on without reporting costs little.
    void stop() {
        if (context) context->disableSAX = 1;
    }

    // Runs the body of a callback. Nothing may unwind through the reader, so an exception is kept for
    // parse() to rethrow and the parse stops.
    template <class Body>
    void guarded(Body&& body) {
        try {
            body();
        } catch (...) {
            if (!exception) exception = std::current_exception();
            stop();
        }
    }

    template <class Call>
    void tell(Call&& call) {
        if (stopped()) return;
        if (auto delegate = parser.delegate_.lock()) guarded([&] { call(*delegate); });
    }

    // The parse has failed: keeps the first reason and reports it.
    void fail(std::int64_t code, std::string description) {
        if (parser.parserError_ || exception) return;
        parser.parserError_ = Error(std::string(XMLParserErrorDomain), code,
                                    Dictionary{{std::string(LocalizedDescriptionKey), Value(std::move(description))}});
        if (auto delegate = parser.delegate_.lock())
            guarded([&] { delegate->parserParseErrorOccurred(parser, *parser.parserError_); });
    }

    static Run& of(void* user) { return *static_cast<Run*>(user); }

    static xmlSAXHandler handler() {
        xmlSAXHandler handler{};
        handler.initialized = XML_SAX2_MAGIC;
        handler.getEntity = predefinedEntity;
        handler.startDocument = startDocument;
        handler.endDocument = endDocument;
        handler.startElementNs = startElement;
        handler.endElementNs = endElement;
        handler.characters = characters;
        handler.ignorableWhitespace = characters;
        handler.cdataBlock = cdata;
        handler.serror = error;
        return handler;
    }

    // The only entities ever resolved: "&lt;" and its kin. Declared ones stay unknown, so neither an
    // external file nor an expansion bomb can be reached through them.
    static xmlEntity* predefinedEntity(void*, const xmlChar* name) { return xmlGetPredefinedEntity(name); }

    static void startDocument(void* user) {
        Run& run = of(user);
        run.tell([&](XMLParserDelegate& delegate) { delegate.parserDidStartDocument(run.parser); });
    }

    static void endDocument(void* user) {
        Run& run = of(user);
        run.tell([&](XMLParserDelegate& delegate) { delegate.parserDidEndDocument(run.parser); });
    }

    static void startElement(void* user, const xmlChar* localName, const xmlChar* prefix, const xmlChar* URI,
                             int namespaceCount, const xmlChar** namespaces, int attributeCount, int,
                             const xmlChar** attributes) {
        Run& run = of(user);
        if (run.stopped()) return;
        run.guarded([&] { run.startElement(localName, prefix, URI, namespaceCount, namespaces, attributeCount, attributes); });
    }

    void startElement(const xmlChar* localName, const xmlChar* prefix, const xmlChar* URI, int namespaceCount,
                      const xmlChar** namespaces, int attributeCount, const xmlChar** attributes) {
        const auto declarations = static_cast<std::size_t>(namespaceCount);
        std::vector<std::pair<std::string, std::string>> mappings;
        Dictionary dictionary;
        for (std::size_t i = 0; i < declarations; ++i) {
            const xmlChar* declared = namespaces[2 * i];
            std::string uri(text(namespaces[2 * i + 1]));
            if (!processNamespaces)
                dictionary.set(declared ? "xmlns:" + std::string(text(declared)) : std::string("xmlns"), Value(uri));
            if (reportPrefixes) mappings.emplace_back(text(declared), std::move(uri));
        }
        for (std::size_t i = 0; i < static_cast<std::size_t>(attributeCount); ++i) {
            const xmlChar* const* attribute = attributes + 5 * i;  // local name, prefix, URI, value, value end
            dictionary.set(qualifiedName(attribute[1], attribute[0]), Value(attributeValue(attribute[3], attribute[4])));
        }
        const std::string name = qualifiedName(prefix, localName);
        if (reportPrefixes) {
            declaredCounts.push_back(mappings.size());
            for (auto& mapping : mappings) {
                tell([&](XMLParserDelegate& delegate) {
                    delegate.parserDidStartMappingPrefix(parser, mapping.first, mapping.second);
                });
                declaredPrefixes.push_back(std::move(mapping.first));
            }
        }
        tell([&](XMLParserDelegate& delegate) {
            if (processNamespaces) delegate.parserDidStartElement(parser, text(localName), optionalText(URI), name, dictionary);
            else delegate.parserDidStartElement(parser, name, std::nullopt, std::nullopt, dictionary);
        });
    }

    static void endElement(void* user, const xmlChar* localName, const xmlChar* prefix, const xmlChar* URI) {
        Run& run = of(user);
        if (run.stopped()) return;
        run.guarded([&] { run.endElement(localName, prefix, URI); });
    }

    void endElement(const xmlChar* localName, const xmlChar* prefix, const xmlChar* URI) {
        const std::string name = qualifiedName(prefix, localName);
        tell([&](XMLParserDelegate& delegate) {
            if (processNamespaces) delegate.parserDidEndElement(parser, text(localName), optionalText(URI), name);
            else delegate.parserDidEndElement(parser, name, std::nullopt, std::nullopt);
        });
        if (!reportPrefixes || declaredCounts.empty()) return;
        for (std::size_t count = declaredCounts.back(); count > 0; --count) {
            tell([&](XMLParserDelegate& delegate) { delegate.parserDidEndMappingPrefix(parser, declaredPrefixes.back()); });
            declaredPrefixes.pop_back();
        }
        declaredCounts.pop_back();
    }

    static void characters(void* user, const xmlChar* bytes, int length) {
        Run& run = of(user);
        run.tell([&](XMLParserDelegate& delegate) {
            delegate.parserFoundCharacters(run.parser, std::string_view(reinterpret_cast<const char*>(bytes),
                                                                        static_cast<std::size_t>(length)));
        });
    }

    static void cdata(void* user, const xmlChar* bytes, int length) {
        Run& run = of(user);
        run.tell([&](XMLParserDelegate& delegate) {
            delegate.parserFoundCDATA(run.parser, Data(bytes, static_cast<std::size_t>(length)));
        });
    }

    // Only fatal errors end a parse; warnings and namespace errors leave the document readable.
    static void error(void* user, xmlError* reported) {
        Run& run = of(user);
        if (!reported || reported->level != XML_ERR_FATAL || run.stopped()) return;
        run.guarded([&] { run.fail(reported->code, describe(reported)); });
    }
};

XMLParser::XMLParser(Data data) : data_(std::move(data)) {}

XMLParser::~XMLParser() = default;

bool XMLParser::parse() {
    if (run_) return false;
    // The delegate may let go of the parser while it parses.
    const std::shared_ptr<Object> keepAlive = weak_from_this().lock();
    parserError_.reset();
    lineNumber_ = columnNumber_ = 0;

    detail::QuietLibXML quiet;
    Run run(*this);
    struct Active {
        XMLParser& parser;
        ~Active() { parser.run_ = nullptr; }
    } active{*this};
    run_ = &run;

    if (data_.empty()) {
        run.fail(XML_ERR_DOCUMENT_EMPTY, "Document is empty");
    } else if (data_.length() > static_cast<std::size_t>(INT_MAX)) {
        run.fail(XML_ERR_INTERNAL_ERROR, "Document too large");
    } else if (std::unique_ptr<xmlParserCtxt, ContextFree> context(
                   xmlCreateMemoryParserCtxt(reinterpret_cast<const char*>(data_.bytes()), static_cast<int>(data_.length())));
               !context) {
        run.fail(XML_ERR_NO_MEMORY, "Out of memory");
    } else {
        *context->sax = Run::handler();
        context->userData = &run;
        // No network, no external subset, no entity substitution, no validation.
        xmlCtxtUseOptions(context.get(), XML_PARSE_NONET);
        run.context = context.get();
        xmlParseDocument(context.get());
        run.context = nullptr;
        if (context->input) {
            lineNumber_ = context->input->line;
            columnNumber_ = context->input->col;
        }
        // Errors below the fatal level can still leave a document unreadable.
        if (!context->wellFormed && !run.aborted)
            run.fail(context->errNo ? context->errNo : XML_ERR_INTERNAL_ERROR, describe(xmlCtxtGetLastError(context.get())));
    }
    if (run.aborted) run.fail(XMLParserDelegateAbortedParseError, "The delegate aborted the parse");
    if (run.exception) std::rethrow_exception(run.exception);
    return !parserError_;
}

void XMLParser::abortParsing() {
    if (!run_ || run_->aborted) return;
    run_->aborted = true;
    run_->stop();
}

std::int64_t XMLParser::lineNumber() const {
    if (run_ && run_->context && run_->context->input) return run_->context->input->line;
    return lineNumber_;
}

std::int64_t XMLParser::columnNumber() const {
    if (run_ && run_->context && run_->context->input) return run_->context->input->col;
    return columnNumber_;
}

}  // namespace ql::ns
