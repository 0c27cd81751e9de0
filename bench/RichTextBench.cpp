// Reading a question-sized HTML document of about 100 KB (paragraphs with inline markup, Chinese and
// Latin text, entities, a style element, images and lists): libxml2's HTML push parser on its own, with
// empty callbacks and the same chunking, against the rich text import's reader (which also detects the
// encoding, converts the bytes and hands names, attributes and text to a delegate) and against the whole
// import into attributed text (tree, cascade, fonts, paragraph styles, assembly). The import's goal is
// within 4x of the bare parse.

#include <benchmark/benchmark.h>
#include <libxml/HTMLparser.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>

#include "richtext/NSAttributedStringHTML.h"
#include "richtext/NSStringCSS.h"
#include "richtext/RTHTMLInputRepair.h"
#include "richtext/RTHTMLParser.h"

using namespace ql;

namespace {

std::string document(std::size_t kilobytes = 100) {
    std::string html = "<html><head><style>p { margin: 0 0 1em 0; color: #333 } .q b { color: red }</style></head><body>";
    for (int i = 0; html.size() < kilobytes * 1024; ++i) {
        html += "<div class=\"q\" style=\"padding: 4px 8px; background-color: rgb(250, 250, 240)\"><p>第" + std::to_string(i) +
                "题：下面哪一个词语的意思与&ldquo;<b>高兴</b>&rdquo;最接近？ Choose the <i>best</i> answer &amp; explain.</p>"
                "<ul><li>A. 快乐</li><li>B. 难过</li><li>C. 生气</li><li>D. 害怕</li></ul>"
                "<img src=\"img/q" +
                std::to_string(i) + ".png\" width=\"120\" height=\"80\"><br></div>\n";
    }
    return html + "</body></html>";
}

const std::string& shared() {
    static const std::string html = document();
    return html;
}

void BM_LibXML2HTMLPushParse(benchmark::State& state) {
    const std::string& html = shared();
    htmlSAXHandler handler{};
    handler.startElement = [](void*, const xmlChar*, const xmlChar**) {};
    handler.endElement = [](void*, const xmlChar*) {};
    handler.characters = [](void*, const xmlChar*, int) {};
    handler.cdataBlock = [](void*, const xmlChar*, int) {};
    for (auto _ : state) {
        htmlParserCtxtPtr context = htmlCreatePushParserCtxt(&handler, nullptr, nullptr, 0, nullptr, XML_CHAR_ENCODING_UTF8);
        htmlCtxtUseOptions(context, HTML_PARSE_RECOVER | HTML_PARSE_NONET | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING);
        for (std::size_t at = 0; at < html.size(); at += 16 * 1024)
            htmlParseChunk(context, html.data() + at, static_cast<int>(std::min<std::size_t>(16 * 1024, html.size() - at)), 0);
        htmlParseChunk(context, nullptr, 0, 1);
        if (context->myDoc) xmlFreeDoc(context->myDoc);
        htmlFreeParserCtxt(context);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * html.size()));
}
BENCHMARK(BM_LibXML2HTMLPushParse)->Unit(benchmark::kMillisecond);

class Counting : public RTHTMLParserDelegate {
public:
    std::size_t events = 0;
    void parserDidStartElement(RTHTMLParser&, std::string_view, const ns::Dictionary& attributes) override {
        events += 1 + attributes.size();
        if (const ns::Value* style = attributes.find("style")) events += dictionaryOfCSSStyles(style->asString()).count();
    }
    void parserDidEndElement(RTHTMLParser&, std::string_view) override { ++events; }
    void parserFoundCharacters(RTHTMLParser&, std::string_view) override { ++events; }
    void parserFoundCDATA(RTHTMLParser&, const ns::Data&) override { ++events; }
};

void BM_RTHTMLParserParse(benchmark::State& state) {
    const ns::Data data{std::string_view(shared())};
    const bool styles = state.range(0) != 0;
    for (auto _ : state) {
        auto parser = std::make_shared<RTHTMLParser>(data, 0);
        auto delegate = std::make_shared<Counting>();
        if (styles) parser->setDelegate(delegate);
        benchmark::DoNotOptimize(parser->parse());
        benchmark::DoNotOptimize(delegate->events);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.length()));
}
// 0: no delegate (the reader alone); 1: a delegate that also reads every style attribute.
BENCHMARK(BM_RTHTMLParserParse)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_HTMLImport(benchmark::State& state) {
    const std::string html = state.range(0) == 100 ? shared() : document(static_cast<std::size_t>(state.range(0)));
    const ns::Data data{std::string_view(html)};
    std::size_t characters = 0;
    for (auto _ : state) {
        const std::optional<ct::AttributedString> text = initWithHTMLData(data, {});
        characters = text ? text->length() : 0;
        benchmark::DoNotOptimize(characters);
    }
    state.counters["characters"] = static_cast<double>(characters);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.length()));
}
// The argument is the document's size in KB: 100 for the goal, 400 to see that the time grows linearly.
BENCHMARK(BM_HTMLImport)->Arg(100)->Arg(400)->Unit(benchmark::kMillisecond);

// Hostile documents, each read in time linear in its size: one tag with a million attributes (of which the
// first 2,000 are read), a million NUL bytes in text, 200,000 references without their ";", 100,000
// misnested formatting elements, three formatting elements around 100,000 paragraphs (opened again in each),
// one with a 64 KB attribute around them (opened again only as far as the document's size allows), a million
// end tags of no open element inside 256 nested SVG elements, a script whose text switches between its
// escaped states 200,000 times, and 100,000 forms each ended while a block inside it is open (the blocks nest).
std::string hostileDocument(std::int64_t kind) {
    std::string html;
    switch (kind) {
    case 0:
        html = "<p";
        for (int i = 0; i < 1000000; ++i) html += " a" + std::to_string(i) + "=\"v\"";
        return html + ">x</p>";
    case 1: return "<p>" + std::string(1000000, '\0') + "</p>";
    case 2:
        for (int i = 0; i < 200000; ++i) html += "&amp x ";
        return "<p>" + html + "</p>";
    case 3:
        for (int i = 0; i < 100000; ++i) html += "<b>a<i>b</b>c</i> ";
        return html;
    case 4:
        for (int i = 0; i < 100000; ++i) html += "<p>x";
        return "<b><i><u>" + html;
    case 5:
        for (int i = 0; i < 100000; ++i) html += "<p>x";
        return "<b title=\"" + std::string(64 * 1024, 't') + "\">" + html;
    case 6:
        html = "<p>x<svg>";
        for (int i = 0; i < 255; ++i) html += "<g>";
        for (int i = 0; i < 1000000; ++i) html += "</x>";
        return html;
    case 7:
        for (int i = 0; i < 200000; ++i) html += "<script></script>--><!--";
        return "<script><!--" + html + "</script><p>x";
    default:
        for (int i = 0; i < 100000; ++i) html += "<form><div></form>x";
        return html;
    }
}

void BM_HTMLImportOfHostileInput(benchmark::State& state) {
    static const char* const Labels[] = {"a million attributes",     "a million NULs",           "references without ;",
                                         "misnested formatting",     "formatting around blocks", "a long tag around blocks",
                                         "end tags inside deep SVG", "a script changing states", "forms ended inside blocks"};
    const std::string html = hostileDocument(state.range(0));
    const ns::Data data{std::string_view(html)};
    for (auto _ : state) benchmark::DoNotOptimize(initWithHTMLData(data, {}));
    state.SetLabel(Labels[state.range(0)]);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.length()));
}
BENCHMARK(BM_HTMLImportOfHostileInput)->DenseRange(0, 8)->Unit(benchmark::kMillisecond);

// Paragraphs of plain prose until the document holds `bytes`, or `count` of them; the first `stray` of them
// open a "<u>" they never close.
std::string prose(std::size_t bytes, int count = 0, int stray = 0) {
    std::string html;
    for (int i = 0; count > 0 ? i < count : html.size() < bytes; ++i) {
        html += "<p>";
        if (i < stray) html += "<u>";
        html += "Paragraph " + std::to_string(i) + " tells how the river rose in spring and the children watched it.</p>\n";
    }
    return html;
}

// `tags` tags of `attributes` attributes each, with a word inside.
std::string manyAttributes(int tags, std::size_t attributes) {
    std::string tag = "<span";
    for (std::size_t i = 0; i < attributes; ++i) tag += " a" + std::to_string(i) + "=\"v\"";
    tag += ">x</span>\n";
    std::string html;
    for (int i = 0; i < tags; ++i) html += tag;
    return html;
}

// Documents whose cost could grow faster than their size, each against plain prose of the same size (the
// counter "x prose" is the ratio of their times): 60,000 paragraphs after 16 stray "<u>" tags, 250 tags of
// 2,000 attributes, 3.7 MB of tags with as many attributes as are read, 30,000 tables with text outside their
// cells (moved before each table), 5,000 nested tables with text outside each one's cells after the table in
// it, and 30,000 style sheets in drawings that a bold element ends.
std::string costlyDocument(std::int64_t kind) {
    std::string html;
    switch (kind) {
    case 0: return prose(0, 60000, 16);
    case 1: return manyAttributes(250, 2000);
    case 3:
        for (int i = 0; i < 30000; ++i) html += "<table><tr><td>In the cell " + std::to_string(i) + ".</td></tr>Before the table.</table>\n";
        return html;
    case 4:
        for (int i = 0; i < 5000; ++i) html += "<table><tr><td>";
        html += "x";
        for (int i = 0; i < 5000; ++i) html += "</td></tr>Before table " + std::to_string(i) + ".</table>";
        return html;
    case 5:
        for (int i = 0; i < 30000; ++i) html += "<p>A drawing <svg><style><b>in bold " + std::to_string(i) + "</b></svg> ends.</p>\n";
        return html;
    default: {
        const std::string one = manyAttributes(1, RTHTMLMaximumAttributes);
        return manyAttributes(static_cast<int>(manyAttributes(250, 2000).size() / one.size()), RTHTMLMaximumAttributes);
    }
    }
}

double secondsToImport(const ns::Data& data) {
    const auto start = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(initWithHTMLData(data, {}));
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_HTMLImportAgainstProse(benchmark::State& state) {
    static const char* const Labels[] = {"16 stray tags",           "250 tags of 2,000 attributes", "tags at the attribute cap",
                                         "text outside table cells", "text outside nested tables",   "style sheets drawings end"};
    const std::string html = costlyDocument(state.range(0));
    const std::string plain = prose(html.size());
    const ns::Data data{std::string_view(html)}, plainData{std::string_view(plain)};
    double proseSeconds = secondsToImport(plainData);
    for (int i = 0; i < 2; ++i) proseSeconds = std::min(proseSeconds, secondsToImport(plainData));
    double seconds = 0;
    for (auto _ : state) seconds += secondsToImport(data);
    state.counters["x prose"] = seconds / static_cast<double>(state.iterations()) / proseSeconds;
    state.SetLabel(Labels[state.range(0)]);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.length()));
}
BENCHMARK(BM_HTMLImportAgainstProse)->DenseRange(0, 5)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
