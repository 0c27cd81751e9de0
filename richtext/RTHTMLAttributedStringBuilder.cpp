#include "richtext/RTHTMLAttributedStringBuilder.h"

#include <cmath>
#include <set>
#include <typeinfo>

#include "platform/foundation/CharacterSet.h"
#include "platform/foundation/StringEncoding.h"
#include "richtext/NSMutableAttributedStringHTML.h"
#include "richtext/NSStringHTML.h"
#include "richtext/RTHTMLColors.h"
#include "richtext/RTHTMLNodePool.h"
#include "richtext/RTHTMLOptions.h"
#include "richtext/RTSimpleHTMLElements.h"
#include "richtext/RTTextHTMLElement.h"

namespace ql {

namespace {

std::shared_ptr<ui::Color> colorOption(const ns::Value& value) {
    if (value.isNil()) return nullptr;
    if (auto color = value.asObject<ui::Color>()) return color;
    return RTColorFromHTMLColorString(value.stringValue());
}

}  // namespace

struct RTHTMLAttributedStringBuilder::Event {
    using Kind = EventKind;
    // Made in place in the batch (a constructor of its own: not every compiler builds an aggregate from
    // parentheses).
    template <class Text>
    Event(Kind kind, Text&& text, ns::Dictionary&& attributes, bool hasContent = false)
        : kind(kind), text(std::forward<Text>(text)), attributes(std::move(attributes)), hasContent(hasContent) {}
    Kind kind;
    std::string text;  // the element's name, the characters or the bytes
    ns::Dictionary attributes;
    // Characters known to be more than white space (pieces that were joined): not looked at again.
    bool hasContent;
};

RTHTMLAttributedStringBuilder::RTHTMLAttributedStringBuilder(ns::Data data, ns::Dictionary options, ns::Dictionary*)
    : data_(std::move(data)),
      options_(std::move(options)),
      stringAssemblyQueue_(ns::DispatchQueue::serial("RTHTMLAttributedStringBuilder")),
      dataParsingQueue_(ns::DispatchQueue::serial("RTHTMLAttributedStringBuilderParser")),
      treeBuildingQueue_(ns::DispatchQueue::serial("RTHTMLAttributedStringBuilderParser Tree Queue")) {}

RTHTMLAttributedStringBuilder::~RTHTMLAttributedStringBuilder() = default;

std::shared_ptr<ct::AttributedString> RTHTMLAttributedStringBuilder::generatedAttributedString() {
    if (!tmpString_) buildString();
    // A build that failed stays failed: its partial text is never handed out as a result.
    if (failure_) std::rethrow_exception(failure_);
    return tmpString_;
}

void RTHTMLAttributedStringBuilder::readOptions() {
    if (options_[RTUseiOS6Attributes].boolValue()) RTHTMLElement::setUsesUIKitAttributes(true);

    // Sizes multiply by the scale, so one that could not size anything acts as 1.
    const double scale = static_cast<float>(options_[NSTextSizeMultiplierDocumentOption].doubleValue());
    textScale_ = std::isfinite(scale) && scale > 0 ? scale : 1;
    baseURL_ = ns::URL::fromValue(options_[NSBaseURLDocumentOption]);

    globalStyleSheet_ = RTCSSStylesheet::defaultStyleSheet();
    if (auto sheet = options_[RTDefaultStyleSheet].asObject<RTStylesheetOption>()) globalStyleSheet_.mergeStylesheet(sheet->stylesheet());

    defaultFontDescriptor_ = std::make_shared<RichTextFontDescriptor>();
    // A size that could not size a font (not a number, not positive) is the default one.
    const double size = static_cast<float>(options_[RTDefaultFontSize].doubleValue());
    defaultFontDescriptor_->setPointSize((std::isfinite(size) && size > 0 ? size : 12.0) * textScale_);
    const ns::Value& family = options_[RTDefaultFontFamily];
    defaultFontDescriptor_->setFontFamily(family.isNil() ? std::string("Times New Roman") : family.stringValue());
    if (const ns::Value& name = options_[RTDefaultFontName]; !name.isNil()) defaultFontDescriptor_->setFontName(name.stringValue());

    // After the default and option rules, so they win for links.
    if (const ns::Value* color = options_.find(RTDefaultLinkColor)) {
        defaultLinkColor_ = colorOption(*color);
        if (defaultLinkColor_) {
            if (const std::optional<std::string> hex = RTHexDigitsFromColor(*defaultLinkColor_))
                globalStyleSheet_.parseStyleBlock("a {color:#" + *hex + ";}");
        }
    }
    if (const ns::Value* decoration = options_.find(RTDefaultLinkDecoration); decoration && !decoration->boolValue())
        globalStyleSheet_.parseStyleBlock("a {text-decoration:none;}");
    if (const ns::Value* highlight = options_.find(RTDefaultLinkHighlightColor)) {
        if (const std::shared_ptr<ui::Color> color = colorOption(*highlight)) {
            if (const std::optional<std::string> hex = RTHexDigitsFromColor(*color))
                globalStyleSheet_.parseStyleBlock("a:active {color:#" + *hex + ";}");
        }
    }

    defaultParagraphStyle_ = RichTextParagraphStyle::defaultParagraphStyle();
    if (const ns::Value* multiple = options_.find(RTDefaultLineHeightMultiplier))
        if (const double value = static_cast<float>(multiple->doubleValue()); std::isfinite(value))
            defaultParagraphStyle_->lineHeightMultiple = value;
    if (const ns::Value* alignment = options_.find(RTDefaultTextAlignment)) {
        // The low byte is the alignment; a byte that names none leaves the natural one.
        const auto code = static_cast<std::uint8_t>(alignment->int64Value() & 0xFF);
        if (code <= static_cast<std::uint8_t>(ct::TextAlignment::Natural))
            defaultParagraphStyle_->alignment = static_cast<ct::TextAlignment>(code);
    }
    if (const ns::Value* indent = options_.find(RTDefaultFirstLineHeadIndent))
        defaultParagraphStyle_->firstLineHeadIndent = static_cast<double>(indent->int64Value());
    if (const ns::Value* indent = options_.find(RTDefaultHeadIndent))
        defaultParagraphStyle_->headIndent = static_cast<double>(indent->int64Value());

    defaultTag_ = std::make_shared<RTHTMLElement>("", ns::Dictionary());
    defaultTag_->setFontDescriptor(defaultFontDescriptor_);
    defaultTag_->setParagraphStyle(defaultParagraphStyle_);
    defaultTag_->setTextScale(textScale_);
    defaultTag_->setTextAttributesCache(RTHTMLElement::makeTextAttributesCache());
    defaultTag_->setCurrentTextSize(defaultFontDescriptor_->pointSize());
    defaultTag_->setTextColor(ui::Color::blackColor());
    if (const ns::Value* color = options_.find(RTDefaultTextColor)) defaultTag_->setTextColor(colorOption(*color));

    shouldProcessCustomHTMLAttributes_ = options_[RTProcessCustomHTMLAttributes].boolValue();
    ignoreInlineStyles_ = options_[RTIgnoreInlineStyles].boolValue();
    preserverDocumentTrailingSpaces_ = options_[RTDocumentPreserveTrailingSpaces].boolValue();
}

bool RTHTMLAttributedStringBuilder::buildString() {
    if (data_.empty()) return false;
    // Every queue hands its work over synchronously, so the whole build runs on this thread: its nodes
    // are made and freed without the pool's lock.
    const RTHTMLNodePool::ExclusiveUse exclusiveUse(*nodePool_);

    // UTF-8 unless the options name another character set; a name the foundation does not know leaves
    // the parser to detect the encoding from the bytes.
    ns::StringEncoding encoding = ns::UTF8StringEncoding;
    if (const ns::Value& name = options_[NSTextEncodingNameDocumentOption]; !name.isNil())
        encoding = ns::stringEncodingForIANACharsetName(name.stringValue()).value_or(0);
    readOptions();
    tmpString_ = std::make_shared<ct::AttributedString>();

    auto parser = std::make_shared<RTHTMLParser>(data_, encoding);
    parser->setDelegate(std::static_pointer_cast<RTHTMLAttributedStringBuilder>(shared_from_this()));
    bool parsed = false;
    runOn(dataParsingQueue_, [this, &parsed, parser] {
        // Events of a parse that ended early (an abort, an exception) still go to the tree.
        try {
            parsed = parser->parse();
        } catch (...) {
            flushEvents();
            throw;
        }
        flushEvents();
    });

    if (failure_) std::rethrow_exception(failure_);
    return parsed;
}

void RTHTMLAttributedStringBuilder::runOn(const std::shared_ptr<ns::DispatchQueue>& queue, const std::function<void()>& work) {
    queue->sync([this, &work] {
        if (failed_) return;
        try {
            work();
        } catch (...) {
            if (!failure_) failure_ = std::current_exception();
            failed_ = true;
        }
    });
}

void RTHTMLAttributedStringBuilder::handOverAssembly() {
    if (pendingAssembly_.empty()) return;
    runOn(stringAssemblyQueue_, [this] {
        for (const Assembly& piece : pendingAssembly_) {
            if (failed_) break;
            switch (piece.kind) {
            case Assembly::Kind::BodyText: appendBodyText(*piece.text); break;
            case Assembly::Kind::FlushElement: flushElement(*piece.element); break;
            case Assembly::Kind::TrimDocumentEnd: trimDocumentEnd(); break;
            }
        }
    });
    pendingAssembly_.clear();
}

// ---- The parser's events, handed over in order ----

void RTHTMLAttributedStringBuilder::post(EventKind kind, std::string_view text, ns::Dictionary&& attributes, bool last) {
    queuePendingText();
    pendingEvents_.emplace_back(kind, text, std::move(attributes));
    if (last || pendingEvents_.size() >= EventBatchSize) flushEvents();
}

void RTHTMLAttributedStringBuilder::queuePendingText() {
    if (!hasPendingText_) return;
    hasPendingText_ = false;
    pendingEvents_.emplace_back(EventKind::Characters, pendingText_, ns::Dictionary(), pendingTextHasContent_);
}

void RTHTMLAttributedStringBuilder::flushEvents() {
    queuePendingText();
    if (pendingEvents_.empty()) return;
    runOn(treeBuildingQueue_, [this] {
        for (Event& event : pendingEvents_) {
            switch (event.kind) {
            case Event::Kind::Start: startElement(event.text, std::move(event.attributes)); break;
            case Event::Kind::End: endElement(event.text); break;
            case Event::Kind::Characters: foundCharacters(std::move(event.text), event.hasContent); break;
            case Event::Kind::CDATA: foundCDATA(event.text); break;
            case Event::Kind::EndDocument: endDocument(); break;
            }
        }
        // A batch that threw hands nothing over: the build has failed and its text is not handed out.
        handOverAssembly();
    });
    pendingEvents_.clear();
}

void RTHTMLAttributedStringBuilder::parserDidStartElement(RTHTMLParser& parser, std::string_view elementName,
                                                          const ns::Dictionary& attributes) {
    parserDidStartElementTakingAttributes(parser, elementName, ns::Dictionary(attributes));
}

void RTHTMLAttributedStringBuilder::parserDidStartElementTakingAttributes(RTHTMLParser& parser, std::string_view elementName,
                                                                          ns::Dictionary&& attributes) {
    if (failed_) return parser.abortParsing();
    post(EventKind::Start, elementName, std::move(attributes));
}

void RTHTMLAttributedStringBuilder::parserDidEndElement(RTHTMLParser& parser, std::string_view elementName) {
    if (failed_) return parser.abortParsing();
    post(EventKind::End, elementName);
}

void RTHTMLAttributedStringBuilder::parserFoundCharacters(RTHTMLParser& parser, std::string_view characters) {
    if (failed_) return parser.abortParsing();
    // The reader reports one run of text in pieces (at every entity, and where its input chunks end). Two
    // pieces with content read the same as one text, so they are joined into one text element; white space
    // alone stays a piece of its own, since the tree drops it next to blocks.
    if (hasPendingText_ && !isIgnorableWhitespace(characters) && !isIgnorableWhitespace(pendingText_)) {
        pendingText_.append(characters);
        pendingTextHasContent_ = true;
        return;
    }
    queuePendingText();
    if (pendingEvents_.size() >= EventBatchSize) flushEvents();
    pendingText_.assign(characters);
    hasPendingText_ = true;
    pendingTextHasContent_ = false;
}

void RTHTMLAttributedStringBuilder::parserFoundCDATA(RTHTMLParser& parser, const ns::Data& CDATABlock) {
    if (failed_) return parser.abortParsing();
    post(EventKind::CDATA, CDATABlock.view());
}

void RTHTMLAttributedStringBuilder::parserDidEndDocument(RTHTMLParser&) { post(EventKind::EndDocument, {}, {}, true); }

// ---- The tree ----

void RTHTMLAttributedStringBuilder::startElement(const std::string& name, ns::Dictionary attributes) {
    if (ignoreParseEvents_) return;
    // The event's attributes move into the node, which is the only one that keeps them.
    std::shared_ptr<RTHTMLElement> node = RTHTMLElement::elementWithName(name, std::move(attributes), options_, nodePool_);
    // Read in place: the parent's child list holds it for as long as it is looked at here.
    const RTHTMLParserNode* previousLast = nullptr;
    if (currentTag_) {
        node->inheritAttributesFromElement(*currentTag_);
        node->interpretAttributes();
        if (const auto children = currentTag_->children(); !children.empty()) previousLast = children.back().get();
        currentTag_->addChildNode(node);
        if (!bodyElement_ && name == "body") bodyElement_ = node;
        if (shouldProcessCustomHTMLAttributes_) node->setShouldProcessCustomHTMLAttributes(true);
    } else if (!rootNode_) {
        rootNode_ = node;
        node->inheritAttributesFromElement(*defaultTag_);
        node->interpretAttributes();
    } else {
        return;
    }

    OpenElement* parent = openElements_.empty() ? nullptr : &openElements_.back();
    const Cascade& cascade = cascadeFor(*node, parent);
    if (parent) {
        parent->lastChild = node.get();
        parent->lastChildCascade = &cascade;
        parent->cleared = cascadesCleared_;
    }
    RTHTMLElement& element = *node;
    openElements_.push_back({std::move(node), nullptr, nullptr, 0, startedContext_});
    element.applyStyles(cascade.declarations);
    if (cascade.classNames) element.shareCSSClassNamesToIgnoreForCustomAttributes(cascade.classNames);

    // White space between a text and a block is no content. The class is final, so its type says what a
    // cast would (for every element, without the cast's search).
    if (previousLast && element.displayStyle() != RTHTMLElementDisplayStyle::Inline && typeid(*previousLast) == typeid(RTTextHTMLElement) &&
        isIgnorableWhitespace(static_cast<const RTTextHTMLElement&>(*previousLast).text())) {
        // The node itself is the last child now, the white space the one before it.
        const std::shared_ptr<RTHTMLParserNode> whitespace = currentTag_->childNodeAtIndex(currentTag_->childCount() - 2);
        currentTag_->removeChildNode(whitespace);
    }

    currentTag_ = &element;
    tagDidStart(name);
}

const RTHTMLAttributedStringBuilder::Cascade& RTHTMLAttributedStringBuilder::cascadeFor(const RTHTMLElement& element, const OpenElement* parent) {
    startedContext_ = 0;
    if (cascadesGeneration_ != globalStyleSheet_.generation() || cascades_.size() >= MaximumCachedCascades) {
        cascades_.clear();
        tagCascades_.clear();
        cascadesByContext_.clear();
        ++cascadesCleared_;
        cascadesGeneration_ = globalStyleSheet_.generation();
    }
    if (parent && parent->lastChild && parent->cleared == cascadesCleared_) {
        // Between two siblings there is at most a text or two; further back the earlier one is not looked for.
        constexpr std::size_t Lookback = 4;
        const auto siblings = parent->element->children();
        for (std::size_t at = siblings.size(), seen = 0; at-- > 0 && seen < Lookback; ++seen) {
            const RTHTMLParserNode& sibling = *siblings[at];
            if (&sibling != parent->lastChild) continue;
            if (sibling.name() == element.name() && sibling.attributes() == element.attributes()) return *parent->lastChildCascade;
            break;
        }
    }
    const bool byTag = element.attributes().empty() && !globalStyleSheet_.hasComplexSelectorEndingOn(element.name());
    if (byTag) {
        for (const auto& [tag, cascade] : tagCascades_)
            if (tag == element.name()) return *cascade;
    }
    // An inline style is not part of the context: an element with one is found by its key.
    if (!byTag && openElements_.size() < MaximumContextDepth && (ignoreInlineStyles_ || !element.attributes().contains("style"))) {
        if (contextCount_ >= MaximumContexts) forgetContexts();
        const std::uint32_t context = contextFor(element, parent ? contextOfOpenElement(openElements_.size() - 1) : 0);
        startedContext_ = context;
        if (context < cascadesByContext_.size() && cascadesByContext_[context]) return *cascadesByContext_[context];
        const Cascade& cascade = keyedCascadeFor(element);
        if (cascadesByContext_.size() <= context) cascadesByContext_.resize(context + 1);
        cascadesByContext_[context] = &cascade;
        return cascade;
    }
    const Cascade& cascade = keyedCascadeFor(element);
    if (byTag && tagCascades_.size() < MaximumTagCascades) tagCascades_.emplace_back(element.name(), &cascade);
    return cascade;
}

std::uint32_t RTHTMLAttributedStringBuilder::contextOfOpenElement(std::size_t index) {
    // Down from the nearest numbered one (or the root).
    std::size_t from = index + 1;
    while (from > 0 && openElements_[from - 1].context == 0) --from;
    for (std::size_t at = from; at <= index; ++at)
        openElements_[at].context = contextFor(*openElements_[at].element, at == 0 ? 0 : openElements_[at - 1].context);
    return openElements_[index].context;
}

std::uint32_t RTHTMLAttributedStringBuilder::contextFor(const RTHTMLElement& element, std::uint32_t parentContext) {
    std::string classStorage, idStorage;
    std::string_view classes, id;
    bool hasClasses = false, hasId = false;
    if (!element.attributes().empty()) {
        if (const auto text = element.attributeText("class", classStorage)) classes = *text, hasClasses = true;
        if (const auto text = element.attributeText("id", idStorage)) id = *text, hasId = true;
    }
    // FNV-1a over the parts, each closed by a byte that tells an absent part from an empty one.
    std::size_t hash = 14695981039346656037ull ^ parentContext;
    const auto mix = [&hash](std::string_view part, unsigned char end) {
        for (const char c : part) hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
        hash = (hash ^ end) * 1099511628211ull;
    };
    mix(element.name(), 1);
    mix(classes, hasClasses ? 2 : 3);
    mix(id, hasId ? 4 : 5);

    if (contextSlots_.empty()) contextSlots_.resize(64);
    for (std::size_t mask = contextSlots_.size() - 1, at = hash & mask;; at = (at + 1) & mask) {
        ContextSlot& slot = contextSlots_[at];
        if (slot.context == 0) {
            if ((contextCount_ + 1) * 2 > contextSlots_.size()) {
                growContexts();
                return contextFor(element, parentContext);
            }
            slot = {hash, parentContext, ++contextCount_, element.name(), std::string(classes), std::string(id), hasClasses, hasId};
            return slot.context;
        }
        if (slot.hash == hash && slot.parent == parentContext && slot.name == element.name() && slot.hasClasses == hasClasses &&
            slot.hasId == hasId && slot.classes == classes && slot.id == id)
            return slot.context;
    }
}

void RTHTMLAttributedStringBuilder::growContexts() {
    std::vector<ContextSlot> old(contextSlots_.size() * 2);
    old.swap(contextSlots_);
    const std::size_t mask = contextSlots_.size() - 1;
    for (ContextSlot& slot : old) {
        if (slot.context == 0) continue;
        std::size_t at = slot.hash & mask;
        while (contextSlots_[at].context != 0) at = (at + 1) & mask;
        contextSlots_[at] = std::move(slot);
    }
}

void RTHTMLAttributedStringBuilder::forgetContexts() {
    contextSlots_.clear();
    contextCount_ = 0;
    cascadesByContext_.clear();
    for (OpenElement& open : openElements_) open.context = 0;
}

const RTHTMLAttributedStringBuilder::Cascade& RTHTMLAttributedStringBuilder::keyedCascadeFor(const RTHTMLElement& element) {
    globalStyleSheet_.cascadeKeyForElement(element, ignoreInlineStyles_, cascadeKey_);
    if (auto found = cascades_.find(cascadeKey_); found != cascades_.end()) return found->second;

    Cascade cascade;
    std::set<std::string> matched;
    cascade.declarations =
        std::make_shared<const RTCSSDeclarations>(globalStyleSheet_.mergedStyleDictionaryForElement(element, &matched, ignoreInlineStyles_));
    std::set<std::string> classNames;
    for (const std::string& selector : matched) {
        if (const std::size_t dot = selector.find('.'); dot != std::string::npos) classNames.insert(selector.substr(dot + 1));
    }
    if (!classNames.empty()) cascade.classNames = std::make_shared<const std::set<std::string>>(std::move(classNames));
    return cascades_.emplace(cascadeKey_, std::move(cascade)).first->second;
}

void RTHTMLAttributedStringBuilder::foundCharacters(std::string characters, bool hasContent) {
    if (ignoreParseEvents_ || !currentTag_) return;
    if (!hasContent && !currentTag_->preserveNewlines() && isIgnorableWhitespace(characters)) {
        const std::shared_ptr<RTHTMLParserNode> last = currentTag_->lastChild();
        if (!last && currentTag_->displayStyle() != RTHTMLElementDisplayStyle::Inline) return;
        if (auto element = std::dynamic_pointer_cast<RTHTMLElement>(last)) {
            if (element->displayStyle() != RTHTMLElementDisplayStyle::Inline) return;
            if (std::dynamic_pointer_cast<RTBreakHTMLElement>(element)) return;
        }
    }
    auto text = makePooledNode<RTTextHTMLElement>(nodePool_, std::move(characters));
    text->inheritStyleOfParent(*currentTag_);
    text->interpretAttributes();
    if (currentTag_ == bodyElement_.get()) assemble({Assembly::Kind::BodyText, text});
    currentTag_->addChildNode(std::move(text));
}

void RTHTMLAttributedStringBuilder::foundCDATA(const std::string& bytes) {
    if (ignoreParseEvents_ || !currentTag_) return;
    currentTag_->addChildNode(makePooledNode<RTHTMLParserTextNode>(nodePool_, bytes));
}

void RTHTMLAttributedStringBuilder::endElement(const std::string& name) {
    if (ignoreParseEvents_ || !currentTag_) return;
    // The element the tag closes: the current one, or an enclosing one, which closes the ones open inside
    // it too. An end tag that no open element has is passed over.
    const RTHTMLElement* closing = currentTag_;
    std::size_t closed = 1;
    for (; closing && closing->name() != name; closing = closing->parentElementPointer()) ++closed;
    if (!closing) return;

    tagWillEnd(name);
    if (bodyElement_ && currentTag_->displayStyle() != RTHTMLElementDisplayStyle::None &&
        (currentTag_ == bodyElement_.get() || currentTag_->isChildOf(bodyElement_))) {
        assemble({Assembly::Kind::FlushElement, nullptr, currentTag_});
    }
    if (closing == rootNode_.get()) ignoreParseEvents_ = true;
    openElements_.resize(openElements_.size() - std::min(closed, openElements_.size()));
    // The open elements are the current one's ancestors: the closing one's parent is the last left.
    currentTag_ = openElements_.empty() ? nullptr : openElements_.back().element.get();
}

void RTHTMLAttributedStringBuilder::endDocument() {
    if (preserverDocumentTrailingSpaces_) return;
    assemble({Assembly::Kind::TrimDocumentEnd, nullptr, nullptr});
}

// ---- The text ----

// A text that is a direct child of the body: its piece is appended as it comes.
void RTHTMLAttributedStringBuilder::appendBodyText(RTHTMLElement& text) {
    appendPiece(text, false);
    // The body is set once, so it is the text's parent still.
    bodyElement_->setDidOutput(true);
}

void RTHTMLAttributedStringBuilder::trimDocumentEnd() {
    ct::AttributedString& text = *tmpString_;
    const std::u16string& units = text.u16string();
    const ns::CharacterSet blanks = ns::CharacterSet::whitespaceCharacterSet();
    std::uint64_t keep = units.size();
    while (keep > 0 && blanks.characterIsMember(units[keep - 1])) --keep;
    if (keep < units.size()) text.deleteCharactersInRange({keep, units.size() - keep});
}

namespace {

// Whether all the element's children are hidden (it has some).
bool hidesAllChildren(const RTHTMLElement& element) {
    if (!element.hasChildList()) return false;
    for (const std::shared_ptr<RTHTMLParserNode>& node : element.children()) {
        if (!node->isElement() || static_cast<const RTHTMLElement&>(*node).displayStyle() != RTHTMLElementDisplayStyle::None) return false;
    }
    return true;
}

}  // namespace

void RTHTMLAttributedStringBuilder::flushElement(RTHTMLElement& element) {
    if (!element.needsOutput()) {
        // A block of hidden elements only (a div around a script) writes nothing, but the text after it begins a
        // line, as in a browser.
        if (!element.didOutput() && element.beginsLine() && hidesAllChildren(element) && endsInsideLine(*tmpString_)) {
            endLine(*tmpString_);
        }
        return;
    }
    if (willFlushCallback_) willFlushCallback_(std::static_pointer_cast<RTHTMLElement>(element.shared_from_this()));
    if (!appendPiece(element, element.beginsLine())) return;
    element.setDidOutput(true);
    if (!shouldKeepDocumentNodeTree_) element.removeAllChildNodes();
}

bool RTHTMLAttributedStringBuilder::appendPiece(RTHTMLElement& source, bool beginsLine) {
    ct::AttributedString& output = *tmpString_;
    const std::uint64_t own = output.length();
    const bool lineOpen = endsInsideLine(output);
    const bool joinsWhitespace = !source.containsAppleConvertedSpace() && endsWithIgnorableWhitespace(output);
    if (!source.appendAttributedStringTo(output)) return false;
    if (beginsLine && lineOpen) {
        // Seldom (a block after inline text of the body): the text is taken out again while the line ends.
        ct::AttributedString piece = output.attributedSubstringFromRange({own, output.length() - own});
        output.deleteCharactersInRange({own, piece.length()});
        const bool afterLineBreak = endLine(output);
        if (!afterLineBreak && !source.containsAppleConvertedSpace() && endsWithIgnorableWhitespace(output)) removeCollapsibleLeadingWhitespace(piece);
        output.appendAttributedString(std::move(piece));
        return true;
    }
    if (joinsWhitespace) source.collapseLeadingWhitespace(output, own);
    return true;
}

}  // namespace ql
