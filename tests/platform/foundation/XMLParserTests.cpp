#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/foundation/Sandbox.h"
#include "platform/foundation/XMLParser.h"

using namespace ql::ns;

namespace {

std::string joined(const Dictionary& attributes) {
    std::string out;
    for (const auto& [key, value] : attributes) out += (out.empty() ? "" : ",") + key + "=" + value.stringValue();
    return out;
}

// Writes every event as one line; character data in one piece per run, with the number of pieces kept.
class Recorder : public XMLParserDelegate {
public:
    std::vector<std::string> events;
    std::vector<Error> errors;
    std::size_t characterPieces = 0;
    std::string characterRun;
    std::int64_t lineOfItem = 0;
    std::string abortAt;  // element at whose start the parse is aborted
    std::string throwAt;

    void parserDidStartDocument(XMLParser&) override { events.push_back("begin"); }
    void parserDidEndDocument(XMLParser&) override { flush(), events.push_back("end"); }
    void parserDidStartElement(XMLParser& parser, std::string_view name, std::optional<std::string_view> uri,
                               std::optional<std::string_view> qualified, const Dictionary& attributes) override {
        flush();
        events.push_back("<" + std::string(name) + " " + std::string(uri.value_or("-")) + " " +
                         std::string(qualified.value_or("-")) + " " + joined(attributes));
        if (name.ends_with("item")) lineOfItem = parser.lineNumber();
        if (name == abortAt) parser.abortParsing();
        if (name == throwAt) throw std::runtime_error("delegate failed");
    }
    void parserDidEndElement(XMLParser&, std::string_view name, std::optional<std::string_view>,
                             std::optional<std::string_view>) override {
        flush();
        events.push_back("</" + std::string(name));
    }
    void parserDidStartMappingPrefix(XMLParser&, std::string_view prefix, std::string_view uri) override {
        events.push_back("map " + std::string(prefix) + "=" + std::string(uri));
    }
    void parserDidEndMappingPrefix(XMLParser&, std::string_view prefix) override {
        events.push_back("unmap " + std::string(prefix));
    }
    void parserFoundCharacters(XMLParser&, std::string_view characters) override {
        characterRun += characters;
        ++characterPieces;
    }
    void parserFoundCDATA(XMLParser&, const Data& block) override { flush(), events.push_back("cdata " + block.toString()); }
    void parserParseErrorOccurred(XMLParser&, const Error& error) override { errors.push_back(error); }

    void flush() {
        if (!characterRun.empty()) events.push_back("'" + characterRun + "'");
        characterRun.clear();
    }
};

struct Outcome {
    bool parsed;
    std::shared_ptr<Recorder> recorder;
    std::optional<Error> error;
};

Outcome parse(std::string_view document, std::shared_ptr<Recorder> recorder = std::make_shared<Recorder>(),
              bool namespaces = false) {
    auto parser = std::make_shared<XMLParser>(Data(document));
    parser->setDelegate(recorder);
    parser->setShouldProcessNamespaces(namespaces);
    parser->setShouldReportNamespacePrefixes(namespaces);
    const bool parsed = parser->parse();
    recorder->flush();
    EXPECT_EQ(recorder->errors.size(), parsed ? 0u : 1u);
    if (!parsed && !recorder->errors.empty()) {
        EXPECT_EQ(recorder->errors[0], parser->parserError());
    }
    return {parsed, recorder, parser->parserError()};
}

TEST(XMLParser, ReportsElementsAttributesNamespacesAndTextInDocumentOrder) {
    const std::string document = "<?xml version=\"1.0\"?>\n<feed xmlns=\"urn:f\" xmlns:m=\"urn:m\" n=\"2\">\n"
                                 "<m:item m:id=\"7\" t=\"a &amp; b&lt;\">Tom &amp; Jerry<![CDATA[<raw>]]></m:item>"
                                 "<!-- note --><empty/></feed>";
    Outcome plain = parse(document);
    ASSERT_TRUE(plain.parsed);
    EXPECT_EQ(plain.recorder->events, (std::vector<std::string>{
        "begin", "<feed - - n=2,xmlns=urn:f,xmlns:m=urn:m", "'\n'",
        "<m:item - - m:id=7,t=a & b<", "'Tom & Jerry'", "cdata <raw>", "</m:item",
        "<empty - - ", "</empty", "</feed", "end"}));
    EXPECT_EQ(plain.recorder->lineOfItem, 3);
    EXPECT_GT(plain.recorder->characterPieces, 2u);

    Outcome spaced = parse(document, std::make_shared<Recorder>(), true);
    ASSERT_TRUE(spaced.parsed);
    EXPECT_EQ(spaced.recorder->events, (std::vector<std::string>{
        "begin", "map =urn:f", "map m=urn:m", "<feed urn:f feed n=2", "'\n'",
        "<item urn:m m:item m:id=7,t=a & b<", "'Tom & Jerry'", "cdata <raw>", "</item",
        "<empty urn:f empty ", "</empty", "</feed", "unmap m", "unmap ", "end"}));

    // Long runs of text come in pieces that add up to the whole.
    std::string text;
    for (int i = 0; i < 2000; ++i) text += "abc&#x4e2d;";
    Outcome split = parse("<t>" + text + "</t>");
    std::string expected;
    for (int i = 0; i < 2000; ++i) expected += "abc中";
    EXPECT_EQ(split.recorder->events[2], "'" + expected + "'");
    EXPECT_GT(split.recorder->characterPieces, 1u);

    EXPECT_EQ(Class::named("NSXMLParser"), &XMLParser::classObject());
}

TEST(XMLParser, RefusesMalformedHostileAndAbortedDocumentsWithoutCrashing) {
    Outcome mismatched = parse("<a>\n  <b></a>");
    EXPECT_FALSE(mismatched.parsed);
    EXPECT_EQ(mismatched.error->domain(), "NSXMLParserErrorDomain");
    EXPECT_EQ(mismatched.error->code(), 76);
    EXPECT_NE(mismatched.error->localizedDescription().find("line 2"), std::string::npos)
        << mismatched.error->localizedDescription();
    EXPECT_EQ(mismatched.recorder->events, (std::vector<std::string>{"begin", "<a - - ", "'\n  '", "<b - - "}));
    EXPECT_EQ(parse("").error->code(), 4);
    EXPECT_EQ(parse("<a>").error->code(), 77);

    auto aborting = std::make_shared<Recorder>();
    aborting->abortAt = "b";
    Outcome aborted = parse("<a><b/><c/></a>", aborting);
    EXPECT_FALSE(aborted.parsed);
    EXPECT_EQ(aborted.error->code(), XMLParserDelegateAbortedParseError);
    EXPECT_EQ(aborted.recorder->events, (std::vector<std::string>{"begin", "<a - - ", "<b - - "}));

    // Entities are never fetched from outside nor expanded: whatever the document asks for, the file's
    // content never shows.
    TemporarySandbox sandbox;
    const std::string secret = sandbox.path() + "/secret.txt", dtd = sandbox.path() + "/secret.dtd";
    std::ofstream(secret) << "SECRET";
    std::ofstream(dtd) << "<!ENTITY leak \"SECRET\">";
    for (const std::string& hostile : std::vector<std::string>{
             "<!DOCTYPE r [<!ENTITY x SYSTEM \"file://" + secret + "\">]><r>&x;</r>",
             "<!DOCTYPE r [<!ENTITY % p SYSTEM \"file://" + dtd + "\"> %p;]><r>&leak;</r>",
             "<!DOCTYPE r SYSTEM \"file://" + dtd + "\"><r a=\"&leak;\">&leak;</r>",
             "<!DOCTYPE r [<!ENTITY a \"SECRET\"><!ENTITY b \"&a;&a;&a;&a;\">]><r>&b;</r>"}) {
        Outcome outcome = parse(hostile);
        for (const std::string& event : outcome.recorder->events) EXPECT_EQ(event.find("SECRET"), std::string::npos) << hostile;
    }
    EXPECT_EQ(parse("<!DOCTYPE r [<!ENTITY a \"x\">]><r>&a;</r>").error->code(), 26);

    std::string deep;
    for (int i = 0; i < 100000; ++i) deep += "<a>";
    Outcome nested = parse(deep);
    EXPECT_FALSE(nested.parsed);
    EXPECT_LE(nested.recorder->events.size(), 300u);

    // A delegate's exception leaves parse() once the reader is cleaned up; the parser stays usable.
    auto throwing = std::make_shared<Recorder>();
    throwing->throwAt = "b";
    auto parser = std::make_shared<XMLParser>(Data(std::string_view("<a><b/></a>")));
    parser->setDelegate(throwing);
    EXPECT_THROW(parser->parse(), std::runtime_error);
    throwing->throwAt.clear();
    EXPECT_TRUE(parser->parse());
    EXPECT_EQ(throwing->events.back(), "end");
}

}  // namespace
