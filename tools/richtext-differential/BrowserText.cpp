#include "tools/richtext-differential/BrowserText.h"

#include "platform/foundation/RunLoop.h"
#include "platform/web/WebView.h"

namespace ql::tools {

namespace {

constexpr double LoadTimeout = 30;

// Tells an empty body apart from a page that did not answer, which reads as "".
constexpr std::string_view Marker = "\x01";
const std::string Script = R"js((() => {
    // The blocks a browser's own style sheet has and the import's has not run inline, as in the import; a
    // nobr keeps the white space around it (the import's style sheet has no rule for it either).
    const inline = document.createElement('style');
    inline.textContent = 'address, blockquote, caption, dd, dl, dt, fieldset, figcaption, figure, form, legend, main, ' +
        'search, tbody, td, tfoot, th, thead, tr { display: inline } colgroup, col { display: none } ' +
        'nobr { white-space: inherit }';
    document.documentElement.appendChild(inline);
    for (const area of document.querySelectorAll('textarea')) {
        if (!(area instanceof HTMLTextAreaElement)) continue;
        const shown = document.createElement('span');
        shown.style.whiteSpace = 'pre-wrap';
        shown.textContent = area.value;
        area.replaceWith(shown);
    }
    // SVG and MathML elements give way to what they hold, but for style sheets, scripts and titles, whose text
    // the import does not show; HTML inside them stays as it is. Inner elements go first.
    for (const element of Array.from(document.body ? document.body.querySelectorAll('*') : []).reverse()) {
        if (element.namespaceURI === 'http://www.w3.org/1999/xhtml') continue;
        if (['style', 'script', 'title'].includes(element.localName)) element.remove();
        else element.replaceWith(...element.childNodes);
    }
    return ')js" + std::string(Marker) + R"js(' + (document.body ? document.body.innerText : '');
})())js";

}  // namespace

BrowserText::BrowserText() : view_(std::make_shared<ui::WebView>(cg::Rect{0, 0, 1024, 768})) {}

BrowserText::~BrowserText() = default;

std::optional<std::string> BrowserText::of(const std::string& html) {
    view_->loadHTMLString(html, std::nullopt);
    if (!ns::RunLoop::main()->runUntil([&] { return !view_->isLoading(); }, LoadTimeout)) return std::nullopt;
    std::string text = view_->stringByEvaluatingJavaScriptFromString(Script);
    if (!text.starts_with(Marker)) return std::nullopt;
    return text.substr(Marker.size());
}

}  // namespace ql::tools
