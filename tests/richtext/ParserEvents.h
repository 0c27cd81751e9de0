#pragma once
// What a parse reports, as the parser tests read it: every event of the delegate as one line, and the body's
// part of it written back as markup, to compare with the tree a browser builds.

#include <algorithm>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Data.h"
#include "richtext/RTHTMLParser.h"

namespace ql::test {

// Writes every event as one line: "<name a=1>", "</name>", "'text'", "[cdata]", "end".
class Recorder : public RTHTMLParserDelegate {
public:
    std::vector<std::string> events;
    std::string abortAt;
    bool throwAt = false;

    void parserDidStartElement(RTHTMLParser& parser, std::string_view name, const ns::Dictionary& attributes) override {
        std::string event = "<" + std::string(name);
        for (const auto& [key, value] : attributes) event += " " + key + "=" + value.stringValue();
        record(parser, event + ">");
    }
    void parserDidEndElement(RTHTMLParser& parser, std::string_view name) override {
        record(parser, "</" + std::string(name) + ">");
    }
    void parserFoundCharacters(RTHTMLParser& parser, std::string_view characters) override {
        // Adjacent pieces of one run of text are joined, since the reader may split a run.
        if (!events.empty() && events.back().front() == '\'') {
            events.back().insert(events.back().size() - 1, characters);
            return;
        }
        record(parser, "'" + std::string(characters) + "'");
    }
    void parserFoundCDATA(RTHTMLParser& parser, const ns::Data& data) override {
        if (!events.empty() && events.back().front() == '[') {
            events.back().insert(events.back().size() - 1, data.view());
            return;
        }
        record(parser, "[" + data.toString() + "]");
    }
    void parserDidEndDocument(RTHTMLParser& parser) override { record(parser, "end"); }

private:
    void record(RTHTMLParser& parser, std::string event) {
        events.push_back(event);
        if (event == abortAt) parser.abortParsing();
        if (throwAt && event == "'boom'") throw std::runtime_error("delegate failed");
    }
};

struct Parsed {
    bool ok;
    std::vector<std::string> events;
    std::optional<ns::StringEncoding> encoding;
};

inline Parsed parse(std::string_view bytes, ns::StringEncoding encoding = 0) {
    auto parser = std::make_shared<RTHTMLParser>(ns::Data(bytes), encoding);
    auto recorder = std::make_shared<Recorder>();
    parser->setDelegate(recorder);
    const bool ok = parser->parse();
    return {ok, recorder->events, parser->documentEncoding()};
}

using Events = std::vector<std::string>;

// The body's elements and text as markup, without the end tags of void elements: "<p>a</p><table><tr>...".
inline std::string bodyMarkup(std::string_view html) {
    constexpr std::string_view Void[] = {"</br>", "</img>", "</hr>", "</col>", "</input>", "</wbr>", "</meta>", "</link>"};
    std::string markup;
    bool inBody = false;
    for (const std::string& event : parse(html).events) {
        if (event == "<body>" || event == "</body>") {
            inBody = event == "<body>";
        } else if (inBody && event.front() == '\'') {
            markup.append(event, 1, event.size() - 2);
        } else if (inBody && event.front() == '<' && std::find(std::begin(Void), std::end(Void), event) == std::end(Void)) {
            markup += event;
        }
    }
    return markup;
}

}  // namespace ql::test
