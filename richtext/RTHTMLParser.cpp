#include "richtext/RTHTMLParser.h"

#include <libxml/HTMLparser.h>
#include <libxml/parser.h>
#include <libxml/xmlerror.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <exception>
#include <utility>
#include <vector>

#include "platform/foundation/QuietLibXML.h"
#include "platform/foundation/Text.h"
#include "richtext/RTHTMLInputRepair.h"
#include "richtext/RTHTMLOpenElements.h"

namespace ql {

namespace {

// The reader is fed in pieces of this size, so that it works on a window of the document.
constexpr std::size_t ChunkSize = 16 * 1024;
// How far into the document a meta element may declare the encoding, as browsers look.
constexpr std::size_t MetaPrescanLength = 1024;

std::string_view text(const xmlChar* s) { return s ? reinterpret_cast<const char*>(s) : std::string_view(); }

char lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

// Where `needle` (lower case) first occurs in `haystack` ignoring ASCII case, from `from`; npos if nowhere.
std::size_t findIgnoringCase(std::string_view haystack, std::string_view needle, std::size_t from = 0) {
    if (needle.size() > haystack.size()) return std::string_view::npos;
    for (std::size_t i = from; i + needle.size() <= haystack.size(); ++i) {
        std::size_t j = 0;
        while (j < needle.size() && lower(haystack[i + j]) == needle[j]) ++j;
        if (j == needle.size()) return i;
    }
    return std::string_view::npos;
}

// The charset a meta element declares in `head`, either as its own attribute or inside a content type.
std::optional<ns::StringEncoding> metaDeclaredEncoding(std::string_view head) {
    for (std::size_t meta = findIgnoringCase(head, "<meta"); meta != std::string_view::npos;
         meta = findIgnoringCase(head, "<meta", meta + 5)) {
        const std::size_t close = head.find('>', meta);
        const std::string_view tag = head.substr(meta, close == std::string_view::npos ? std::string_view::npos : close - meta);
        std::size_t at = findIgnoringCase(tag, "charset");
        if (at == std::string_view::npos) continue;
        at += 7;
        while (at < tag.size() && std::isspace(static_cast<unsigned char>(tag[at]))) ++at;
        if (at >= tag.size() || tag[at] != '=') continue;
        ++at;
        while (at < tag.size() && (std::isspace(static_cast<unsigned char>(tag[at])) || tag[at] == '"' || tag[at] == '\''))
            ++at;
        std::size_t end = at;
        while (end < tag.size() && (std::isalnum(static_cast<unsigned char>(tag[end])) || std::string_view("-_.:").find(tag[end]) != std::string_view::npos))
            ++end;
        if (auto encoding = ns::stringEncodingForIANACharsetName(tag.substr(at, end - at))) {
            // A page cannot declare itself UTF-16 in bytes that a meta element was read from.
            switch (*encoding) {
            case ns::UnicodeStringEncoding:
            case ns::UTF16BigEndianStringEncoding:
            case ns::UTF16LittleEndianStringEncoding:
                return ns::UTF8StringEncoding;
            default:
                return encoding;
            }
        }
    }
    return std::nullopt;
}

struct ByteOrderMark {
    std::string_view bytes;
    ns::StringEncoding encoding;
};

std::optional<ByteOrderMark> byteOrderMark(std::string_view bytes) {
    if (bytes.starts_with("\xEF\xBB\xBF")) return ByteOrderMark{bytes.substr(0, 3), ns::UTF8StringEncoding};
    if (bytes.starts_with("\xFE\xFF")) return ByteOrderMark{bytes.substr(0, 2), ns::UTF16BigEndianStringEncoding};
    if (bytes.starts_with("\xFF\xFE")) return ByteOrderMark{bytes.substr(0, 2), ns::UTF16LittleEndianStringEncoding};
    return std::nullopt;
}

// Where the piece of the reader's input that begins at `at` ends: after at most ChunkSize bytes, between
// characters, so the reader never sees half of one, and before a tag the piece would cut, so it never sees half
// of one either (it takes a script's or style sheet's end tag cut by the end of a piece for text, and then the
// rest of the document for the script's).
std::size_t pieceEnd(std::string_view input, std::size_t at) {
    std::size_t end = std::min(at + ChunkSize, input.size());
    if (end == input.size()) return end;
    while (end > at + 1 && (static_cast<unsigned char>(input[end]) & 0xC0) == 0x80) --end;
    const std::string_view piece = input.substr(at, end - at);
    const std::size_t open = piece.rfind('<');
    if (open != std::string_view::npos && open > 0 && piece.find('>', open) == std::string_view::npos) end = at + open;
    return end;
}

struct ContextFree {
    void operator()(htmlParserCtxt* context) const {
        if (context->myDoc) xmlFreeDoc(context->myDoc);
        htmlFreeParserCtxt(context);
    }
};

}  // namespace

struct RTHTMLParser::Run {
    explicit Run(RTHTMLParser& parser) : parser(parser), delegate(parser.delegate_.lock()) {}

    RTHTMLParser& parser;
    std::shared_ptr<RTHTMLParserDelegate> delegate;
    htmlParserCtxt* context = nullptr;
    // The elements the reader has opened, innermost last, and whether each was reported. The reader
    // does not always close what it opened, so the ends are reported from here: every reported start gets
    // exactly one end, properly nested.
    struct Open {
        std::string name;
        bool reported;
    };
    std::vector<Open> open;
    // Attribute values recur (one class on every question, one style on every block, the same image
    // sizes): a value equal to a recent one shares its storage instead of allocating its own. A shared
    // text is never changed in place (changing one detaches it), so no holder can tell. Replaced
    // second-chance: a value that keeps recurring stays while one-off values come and go.
    struct RecentValue {
        ns::Value value;
        bool recurred = false;
    };
    std::array<RecentValue, 8> recentValues;
    std::size_t nextReplaced = 0;
    bool aborted = false;
    bool fatal = false;
    bool ended = false;
    std::exception_ptr exception;

    bool reporting() const { return !aborted && !exception; }

    void stop() {
        if (context) xmlStopParser(context);
    }

    // Runs one delegate call; an exception stops the parse and is rethrown by parse() once the reader is
    // gone, since it must not unwind through the reader's C frames.
    template <class F>
    void report(F&& call) {
        if (!reporting() || !delegate) return;
        try {
            call();
        } catch (...) {
            exception = std::current_exception();
            stop();
        }
    }

    // The end of the document: whatever is still open closes first. Once only.
    void finish() {
        if (ended) return;
        ended = true;
        closeDownTo(0);
        report([&] { delegate->parserDidEndDocument(parser); });
    }

    static Run& of(void* userData) { return *static_cast<Run*>(userData); }

    ns::Value attributeValue(std::string_view text) {
        for (RecentValue& recent : recentValues) {
            if (recent.value.isString() && recent.value.asString() == text) {
                recent.recurred = true;
                return recent.value;
            }
        }
        while (recentValues[nextReplaced].recurred) {
            recentValues[nextReplaced].recurred = false;
            nextReplaced = (nextReplaced + 1) % recentValues.size();
        }
        RecentValue& replaced = recentValues[nextReplaced];
        nextReplaced = (nextReplaced + 1) % recentValues.size();
        replaced.value = ns::Value(text);
        return replaced.value;
    }

    static void startElement(void* userData, const xmlChar* name, const xmlChar** attributes) {
        Run& run = of(userData);
        // The element the input repair keeps a heading open with is no element of the document.
        const bool reported = run.open.size() < MaximumDepth && text(name) != RTHTMLKeepOpenTag;
        run.open.push_back({std::string(text(name)), reported});
        if (!reported) return;
        run.report([&] {
            ns::Dictionary dictionary;
            // Most elements have none, and an empty dictionary needs no sorting.
            if (attributes && attributes[0]) {
                std::size_t count = 0;
                for (const xmlChar** a = attributes; a[0]; a += 2) ++count;
                dictionary.reserve(count);
                for (const xmlChar** a = attributes; a[0]; a += 2) dictionary.appendUnsorted(ns::DictionaryKey(text(a[0])), run.attributeValue(text(a[1])));
                dictionary.finishAppending();
            }
            run.delegate->parserDidStartElementTakingAttributes(run.parser, run.open.back().name, std::move(dictionary));
        });
    }

    // Closes the open elements from the innermost down to the given count.
    void closeDownTo(std::size_t count) {
        while (open.size() > count) {
            const Open element = std::move(open.back());
            open.pop_back();
            if (element.reported) report([&] { delegate->parserDidEndElement(parser, element.name); });
        }
    }

    static void endElement(void* userData, const xmlChar* name) {
        Run& run = of(userData);
        for (std::size_t i = run.open.size(); i-- > 0;) {
            if (run.open[i].name == text(name)) {
                run.closeDownTo(i);
                return;
            }
        }
    }

    static void characters(void* userData, const xmlChar* characters, int length) {
        Run& run = of(userData);
        run.report([&] {
            run.delegate->parserFoundCharacters(
                run.parser, std::string_view(reinterpret_cast<const char*>(characters), static_cast<std::size_t>(length)));
        });
    }

    static void cdataBlock(void* userData, const xmlChar* bytes, int length) {
        Run& run = of(userData);
        run.report([&] { run.delegate->parserFoundCDATA(run.parser, ns::Data(bytes, static_cast<std::size_t>(length))); });
    }

    static void endDocument(void* userData) {
        Run& run = of(userData);
        run.finish();
    }

    static void structuredError(void* userData, xmlErrorPtr error) {
        if (error && error->level == XML_ERR_FATAL) of(userData).fatal = true;
    }
};

RTHTMLParser::RTHTMLParser(ns::Data data, ns::StringEncoding encoding) : data_(std::move(data)), encoding_(encoding) {}

RTHTMLParser::~RTHTMLParser() = default;

std::shared_ptr<RTHTMLParser> RTHTMLParser::parserWithData(const std::optional<ns::Data>& data, ns::StringEncoding encoding) {
    if (!data) return nullptr;
    return std::make_shared<RTHTMLParser>(*data, encoding);
}

ns::StringEncoding RTHTMLParser::detectEncoding(std::string_view bytes) {
    if (auto mark = byteOrderMark(bytes)) return mark->encoding;
    if (auto declared = metaDeclaredEncoding(bytes.substr(0, MetaPrescanLength))) return *declared;
    return ns::isValidUTF8(bytes) ? ns::UTF8StringEncoding : ns::WindowsCP1252StringEncoding;
}

bool RTHTMLParser::parse() {
    if (run_) return false;
    const std::string_view bytes = data_.view();
    const auto mark = byteOrderMark(bytes);
    const auto read = [&](ns::StringEncoding encoding) {
        documentEncoding_ = encoding;
        const bool marked = mark && mark->encoding == encoding;
        return ns::decodeTextReplacingInvalid(marked ? bytes.substr(mark->bytes.size()) : bytes, encoding);
    };
    std::optional<std::string> document = encoding_ != 0 ? read(encoding_) : std::nullopt;
    if (!document) document = read(detectEncoding(bytes));
    if (!document) return false;
    repairHTMLInput(*document);

    Run run(*this);
    run_ = &run;
    struct Reset {
        RTHTMLParser& parser;
        ~Reset() { parser.run_ = nullptr; }
    } reset{*this};

    ns::detail::QuietLibXML quiet;
    htmlSAXHandler handler{};
    handler.startElement = &Run::startElement;
    handler.endElement = &Run::endElement;
    handler.characters = &Run::characters;
    handler.ignorableWhitespace = &Run::characters;
    handler.cdataBlock = &Run::cdataBlock;
    handler.endDocument = &Run::endDocument;
    handler.serror = &Run::structuredError;
    handler.initialized = XML_SAX2_MAGIC;

    std::unique_ptr<htmlParserCtxt, ContextFree> context(
        htmlCreatePushParserCtxt(&handler, &run, nullptr, 0, nullptr, XML_CHAR_ENCODING_UTF8));
    if (!context) return false;
    run.context = context.get();
    // The bytes are UTF-8 by now: a meta element must not switch the reader to another encoding.
    htmlCtxtUseOptions(context.get(), HTML_PARSE_RECOVER | HTML_PARSE_NONET | HTML_PARSE_NOERROR |
                                          HTML_PARSE_NOWARNING | HTML_PARSE_IGNORE_ENC | HTML_PARSE_NODEFDTD);

    const std::string_view utf8 = *document;
    for (std::size_t at = 0; at < utf8.size() && run.reporting() && !context->disableSAX;) {
        const std::size_t end = pieceEnd(utf8, at);
        htmlParseChunk(context.get(), utf8.data() + at, static_cast<int>(end - at), 0);
        at = end;
    }
    if (run.reporting() && !context->disableSAX) htmlParseChunk(context.get(), nullptr, 0, 1);
    // The reader ends every document it reads to the end, but the events must not depend on that.
    if (run.reporting()) run.finish();
    run.context = nullptr;
    context.reset();

    if (run.exception) std::rethrow_exception(run.exception);
    return !run.aborted && !run.fatal;
}

void RTHTMLParser::abortParsing() {
    if (!run_) return;
    run_->aborted = true;
    run_->stop();
}

}  // namespace ql
