#include "tools/richtext-differential/BrowserText.h"

#include "platform/foundation/Base64.h"
#include "platform/foundation/Data.h"
#include "platform/foundation/RunLoop.h"
#include "platform/web/WebView.h"

namespace ql::tools {

namespace {

constexpr double LoadTimeout = 30;

// A frame that runs no scripts, the size of the view: a document written into it is read as a browser with
// scripts off reads it (a noscript element's contents are markup), as the import reads every document. Its
// parent may still write into it and read it, being of the same origin.
constexpr std::string_view Page =
    "<!DOCTYPE html><html style=\"margin:0\"><body style=\"margin:0\">"
    "<iframe sandbox=\"allow-same-origin\" style=\"border:0;width:1024px;height:768px;display:block\"></iframe></body></html>";

// Tells an empty body apart from a page that did not answer, which reads as "".
constexpr std::string_view Marker = "\x01";

// Writes the document (its bytes in base64, read as UTF-8) into the frame and reads its text back.
std::string scriptFor(const std::string& html) {
    return R"js((() => {
    const frame = document.querySelector('iframe');
    if (!frame || !frame.contentDocument) return '';
    const bytes = Uint8Array.from(atob(')js" +
           ns::base64EncodedString(ns::Data(html)) + R"js('), c => c.charCodeAt(0));
    const doc = frame.contentDocument;
    doc.open();
    doc.write(new TextDecoder().decode(bytes));
    doc.close();
    // The blocks a browser's own style sheet has and the import's has not run inline, as in the import; a
    // nobr keeps the white space around it (the import's style sheet has no rule for it either), and a ruby
    // element lays out what it holds as any element in line (the import has no ruby layout).
    const inline = doc.createElement('style');
    inline.textContent = 'address, blockquote, caption, dd, dl, dt, fieldset, figcaption, figure, form, legend, main, ' +
        'search, tbody, td, tfoot, th, thead, tr { display: inline } colgroup, col { display: none } ' +
        'nobr { white-space: inherit } ruby { display: inline }';
    doc.documentElement.appendChild(inline);
    const xhtml = 'http://www.w3.org/1999/xhtml';
    for (const area of doc.querySelectorAll('textarea')) {
        if (area.namespaceURI !== xhtml) continue;
        const shown = doc.createElement('span');
        shown.style.whiteSpace = 'pre-wrap';
        shown.textContent = area.value;
        area.replaceWith(shown);
    }
    // A select shows its options' text in line, and a template its contents, as in the import.
    for (const select of doc.querySelectorAll('select')) {
        if (select.namespaceURI !== xhtml) continue;
        const shown = doc.createElement('span');
        shown.textContent = select.textContent;
        select.replaceWith(shown);
    }
    for (const template of doc.querySelectorAll('template')) {
        if (template.namespaceURI === xhtml) template.replaceWith(template.content);
    }
    // SVG and MathML elements give way to what they hold, but for style sheets, scripts and titles, whose text
    // the import does not show; HTML inside them stays as it is. Inner elements go first.
    for (const element of Array.from(doc.body ? doc.body.querySelectorAll('*') : []).reverse()) {
        if (element.namespaceURI === xhtml) continue;
        if (['style', 'script', 'title'].includes(element.localName)) element.remove();
        else element.replaceWith(...element.childNodes);
    }
    return ')js" + std::string(Marker) + R"js(' + (doc.body ? doc.body.innerText : '');
})())js";
}

}  // namespace

BrowserText::BrowserText() : view_(std::make_shared<ui::WebView>(cg::Rect{0, 0, 1024, 768})) {}

BrowserText::~BrowserText() = default;

bool BrowserText::loadPage() {
    view_->loadHTMLString(std::string(Page), std::nullopt);
    pageLoaded_ = ns::RunLoop::main()->runUntil([&] { return !view_->isLoading(); }, LoadTimeout);
    return pageLoaded_;
}

std::optional<std::string> BrowserText::of(const std::string& html) {
    if (!pageLoaded_ && !loadPage()) return std::nullopt;
    std::string text = view_->stringByEvaluatingJavaScriptFromString(scriptFor(html));
    if (!text.starts_with(Marker)) {
        // The page may have gone with the engine: loaded again for the next call.
        pageLoaded_ = false;
        return std::nullopt;
    }
    return text.substr(Marker.size());
}

}  // namespace ql::tools
