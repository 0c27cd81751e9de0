#pragma once
// RTHTMLAttributedStringBuilder: turns one HTML document (its bytes and the import options of
// RTHTMLOptions.h) into attributed text. It is the HTML parser's delegate: it grows a tree of elements
// while the parser reports, styles each element with the cascade of the document's stylesheet (the
// default rules, the options' rules, then style elements and linked local CSS files as they close), and
// appends the text of each finished element of the body as soon as it closes, then drops its subtree,
// so a long document never holds its whole tree.
//
// The work runs on three serial queues: the parser on the first, the tree on the second (parser events
// are handed over in document order, in batches), the assembly of the text on the third (the work of a
// batch handed over when the tree is done with it). Each hand-over is synchronous: the caller of
// generatedAttributedString runs the parse on the parsing queue, the parse runs each batch on the tree
// queue, the tree runs each batch's assembly on the assembly queue, all on the caller's thread. Run
// concurrently on separate threads the three stages gained nothing (they do not overlap enough) and
// lost twice over: most of the import is making and dropping small objects, and memory made on one thread
// and freed on another contends for the allocator's locks. The call must not be made from a block on one
// of the builder's own queues. An exception raised on the way (by the flush callback, say) stops the build
// and is raised to that caller.
//
// White space follows HTML: runs collapse inside texts (RTTextHTMLElement), white space between blocks
// and after a line break is dropped, and where two pieces of text meet the second loses its leading
// space when the first ends in one. Trailing spaces and tabs of the document go unless
// RTDocumentPreserveTrailingSpaces is set.
//
// Options that could not size anything (a text size multiplier or default font size that is not a
// positive number, a line height multiple that is not finite) are taken as absent. A builder must be owned
// by a shared_ptr (the parser holds it weakly as its delegate) and is used once.
//
// Sound behaviour beyond the classic builder: an end tag with no open element of its name is ignored;
// linked style sheets are read only from local regular files of at most MaximumLinkedStylesheetLength
// bytes (a link to a device or a huge file would otherwise hang or exhaust the import).

#include <cstddef>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/foundation/Data.h"
#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/Value.h"
#include "platform/text/AttributedString.h"
#include "platform/ui/Color.h"
#include "richtext/RTCSSStylesheet.h"
#include "richtext/RTHTMLElement.h"
#include "richtext/RTHTMLNodePool.h"
#include "richtext/RTHTMLOptionValues.h"
#include "richtext/RTHTMLParser.h"
#include "richtext/RichTextFontDescriptor.h"
#include "richtext/RichTextParagraphStyle.h"

namespace ql {

class RTHTMLAttributedStringBuilder final : public ns::Object, public RTHTMLParserDelegate {
    QL_OBJECT(RTHTMLAttributedStringBuilder, ns::Object)
public:
    static constexpr std::size_t MaximumLinkedStylesheetLength = 4 * 1024 * 1024;

    // Keeps the bytes and the options; nothing happens until the text is asked for. The document
    // attributes are neither read nor written.
    RTHTMLAttributedStringBuilder(ns::Data data, ns::Dictionary options, ns::Dictionary* documentAttributes = nullptr);
    ~RTHTMLAttributedStringBuilder() override;

    // Builds on the first call, the caller waiting; later calls answer the same text object without
    // building again. Nothing for empty data.
    std::shared_ptr<ct::AttributedString> generatedAttributedString();
    // The whole build; the parser's result (false after a fatal error or an abort). Empty data: false, and
    // nothing is made.
    bool buildString();

    const RTWillFlushCallback& willFlushCallback() const { return willFlushCallback_; }
    void setWillFlushCallback(RTWillFlushCallback callback) { willFlushCallback_ = std::move(callback); }
    // Whether flushed elements keep their children (they drop them by default).
    bool shouldKeepDocumentNodeTree() const { return shouldKeepDocumentNodeTree_; }
    void setShouldKeepDocumentNodeTree(bool keep) { shouldKeepDocumentNodeTree_ = keep; }

    // The parser's events, each handed to the tree queue in order.
    void parserDidStartElement(RTHTMLParser& parser, std::string_view elementName, const ns::Dictionary& attributes) override;
    // The parser's attributes move into the event, and from there into the node.
    void parserDidStartElementTakingAttributes(RTHTMLParser& parser, std::string_view elementName, ns::Dictionary&& attributes) override;
    void parserDidEndElement(RTHTMLParser& parser, std::string_view elementName) override;
    void parserFoundCharacters(RTHTMLParser& parser, std::string_view characters) override;
    void parserFoundCDATA(RTHTMLParser& parser, const ns::Data& CDATABlock) override;
    void parserDidEndDocument(RTHTMLParser& parser) override;

    // Parser events travel to the tree queue in batches of this many: a hand-over per event would cost
    // more than handling it, and a batch bounds the memory the copied events take.
    static constexpr std::size_t EventBatchSize = 512;

private:
    struct Event;
    enum class EventKind { Start, End, Characters, CDATA, EndDocument };
    // On the parsing queue: queues the event, made in its place, and the batch once it is full (or `last`).
    void post(EventKind kind, std::string_view text, ns::Dictionary&& attributes = {}, bool last = false);
    void flushEvents();
    // The text being reported is joined here, in a buffer kept from run to run, and queued as one event
    // once something else comes: only the finished text is copied out.
    void queuePendingText();

    void readOptions();

    // The tags whose elements need more than their CSS (RTHTMLAttributedStringBuilderTagHandlers.cpp),
    // on the tree queue: a start once the element is styled and current, an end while it is still
    // current, before it is flushed.
    void tagDidStart(std::string_view name);
    void tagWillEnd(std::string_view name);
    void startBlockquote();
    void startLink();
    void startList();
    void startFont();
    void startParagraph();
    void endObject();
    void endVideo();
    void endStyle();

    // On the tree queue.
    // The cascade of an element and the class names of the rules that made it, worked out once per
    // distinct cascade key (RTCSSStylesheet::cascadeKeyForElement) while the rules stay the same: a
    // document repeats the same few combinations of tag, class and style over and over. The cache holds at
    // most MaximumCachedCascades entries, so a document of all-different styles cannot grow it unbounded.
    struct Cascade {
        std::shared_ptr<const RTCSSDeclarations> declarations;
        // Shared by every element of the cascade; none when no rule named a class.
        std::shared_ptr<const std::set<std::string>> classNames;
    };
    static constexpr std::size_t MaximumCachedCascades = 1024;
    // `parent` is the open element the element is started in (nullptr for the root): the child started
    // in it before, with the same tag and attributes, has the same ancestors, so the same cascade, found
    // without a key.
    struct OpenElement;
    const Cascade& cascadeFor(const RTHTMLElement& element, const OpenElement* parent);
    // The cascade found or made by the element's cascade key.
    const Cascade& keyedCascadeFor(const RTHTMLElement& element);
    // Contexts: an element's tag, class and id together with its parent's context, numbered from 1 as
    // they are first met (0 stands for none yet). Rules see nothing else of an element's ancestors, so
    // elements of one context and without inline styles have one cascade: cousins (the bold run in each
    // question's paragraph) find it by number instead of matching the descendant selectors again. Open
    // elements deeper than MaximumContextDepth are not numbered, so that renumbering a chain after the
    // numbers are dropped stays short.
    static constexpr std::size_t MaximumContexts = 4096;
    static constexpr std::size_t MaximumContextDepth = 64;
    std::uint32_t contextOfOpenElement(std::size_t index);
    std::uint32_t contextFor(const RTHTMLElement& element, std::uint32_t parentContext);
    void growContexts();
    void forgetContexts();
    void startElement(const std::string& name, ns::Dictionary attributes);
    void endElement(const std::string& name);
    void foundCharacters(std::string characters, bool hasContent);
    void foundCDATA(const std::string& bytes);
    void endDocument();
    // Assembly work is queued here while the tree handles a batch of events and handed to the assembly
    // queue in one piece when the batch is done, rather than one hand-over per element. Each piece names
    // what to do with which element, so queueing one makes nothing.
    // A text of the body is held: a block that starts after it may drop it from the tree before it is
    // appended. An element to flush is not: its parent holds it until the parent is flushed, which is
    // queued after it (or never, when the tree is kept).
    struct Assembly {
        enum class Kind { BodyText, FlushElement, TrimDocumentEnd };
        Kind kind;
        std::shared_ptr<RTHTMLElement> text;
        RTHTMLElement* element = nullptr;
    };
    void assemble(Assembly piece) { pendingAssembly_.push_back(std::move(piece)); }
    void handOverAssembly();
    // On the assembly queue.
    void appendBodyText(RTHTMLElement& text);
    void flushElement(RTHTMLElement& element);
    void trimDocumentEnd();
    // Writes the element's text at the end of the output, in place: where the output ends in white space
    // the text's leading white space goes, and a text that `beginsLine` after a line left open ends that
    // line first. False, with nothing written, when the element has no text.
    bool appendPiece(RTHTMLElement& source, bool beginsLine);

    // Runs `work` on the queue and returns once it has run; once some work has thrown, later work is
    // skipped and the first exception kept for the caller.
    void runOn(const std::shared_ptr<ns::DispatchQueue>& queue, const std::function<void()>& work);

    // A URL from an attribute, as links are resolved: taken as it is when it has a scheme, else against
    // the base URL, else percent-escaped and against the base URL.
    std::optional<ns::URL> resolvedURL(std::string_view text) const;
    void mergeLinkedStylesheet(const RTHTMLElement& link);

    ns::Data data_;
    ns::Dictionary options_;
    bool shouldKeepDocumentNodeTree_ = false;
    double textScale_ = 1;
    std::shared_ptr<ui::Color> defaultLinkColor_;
    RTCSSStylesheet globalStyleSheet_;
    std::optional<ns::URL> baseURL_;
    std::shared_ptr<RichTextFontDescriptor> defaultFontDescriptor_;
    std::shared_ptr<RichTextParagraphStyle> defaultParagraphStyle_;
    std::shared_ptr<RTHTMLElement> defaultTag_;
    std::shared_ptr<ct::AttributedString> tmpString_;

    std::shared_ptr<ns::DispatchQueue> stringAssemblyQueue_;
    std::shared_ptr<ns::DispatchQueue> dataParsingQueue_;
    std::shared_ptr<ns::DispatchQueue> treeBuildingQueue_;

    RTWillFlushCallback willFlushCallback_;
    bool shouldProcessCustomHTMLAttributes_ = false;

    // The tree's nodes are made here; nodes that outlive the build keep it.
    std::shared_ptr<RTHTMLNodePool> nodePool_ = RTHTMLNodePool::create();
    std::shared_ptr<RTHTMLElement> rootNode_;
    std::shared_ptr<RTHTMLElement> bodyElement_;
    // The innermost open element, held by its entry in openElements_.
    RTHTMLElement* currentTag_ = nullptr;
    bool ignoreParseEvents_ = false;
    bool ignoreInlineStyles_ = false;
    bool preserverDocumentTrailingSpaces_ = false;

    std::unordered_map<std::string, Cascade> cascades_;  // tree queue only
    std::uint64_t cascadesCleared_ = 0;                  // how often cascades_ was emptied
    // The cascades of elements without attributes whose tags end no descendant selector, by tag: found
    // by comparing a few short names rather than by a key. Emptied with cascades_.
    static constexpr std::size_t MaximumTagCascades = 16;
    std::vector<std::pair<std::string, const Cascade*>> tagCascades_;  // tree queue only
    // The open elements from the root to currentTag_, each with the last child started in it and that
    // child's cascade (valid while cascadesCleared_ is still `cleared`). The element is held from its
    // start to its end, so that moving in and out of it counts no references; the child is not held,
    // which would keep its style objects shared: it is used only while found among the element's last
    // children.
    struct OpenElement {
        std::shared_ptr<RTHTMLElement> element;
        const RTHTMLParserNode* lastChild = nullptr;
        const Cascade* lastChildCascade = nullptr;
        std::uint64_t cleared = 0;
        std::uint32_t context = 0;  // numbered when first needed
    };
    std::vector<OpenElement> openElements_;  // tree queue only
    // The numbered contexts, in a table of open addressing (a power of two long, at most half full):
    // found by a hash of a few short texts rather than by a key written out first.
    struct ContextSlot {
        std::size_t hash = 0;
        std::uint32_t parent = 0;
        std::uint32_t context = 0;  // 0: an empty slot
        std::string name, classes, id;
        bool hasClasses = false, hasId = false;
    };
    std::vector<ContextSlot> contextSlots_;           // tree queue only
    std::uint32_t contextCount_ = 0;                  // tree queue only
    std::vector<const Cascade*> cascadesByContext_;   // tree queue only: none where not known since cascades_ was emptied
    std::uint32_t startedContext_ = 0;                // the context cascadeFor numbered for the element it was given
    std::string cascadeKey_;                             // tree queue only: the key of the element at hand
    std::uint64_t cascadesGeneration_ = 0;
    std::vector<Event> pendingEvents_;                   // parsing queue only
    std::string pendingText_;                            // parsing queue only
    bool hasPendingText_ = false;
    bool pendingTextHasContent_ = false;                 // known from joining its pieces
    std::vector<Assembly> pendingAssembly_;              // tree queue only


    bool failed_ = false;
    std::exception_ptr failure_;
};

}  // namespace ql
