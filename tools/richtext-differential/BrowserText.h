#pragma once
// The text the headless browser shows of a document: the document is written into a frame that runs no
// scripts, in a web view (the app's own, on the shared engine), and its body's rendered text read back
// (innerText), as a browser with scripts off shows it (the import runs none, and shows a noscript element's
// contents), with changes that stand for what the import shows by design, so that what differs is where the
// two read the markup differently:
// - elements the import's default style sheet gives no block (table cells, rows and captions, dl, dd, dt,
//   blockquote, form, figure and others) run inline, a nobr keeps the white space around it (no rule for
//   it there either), and a ruby element is laid out as any element in line (blocks inside it are blocks);
// - a textarea's contents show as written in its place (innerText leaves a form control's text out), a select's
//   options in line, and a template's contents (the import does not tell templates apart);
// - SVG and MathML show their text in line, all but that of style sheets, scripts and titles, and the HTML
//   they hold as HTML (the browser lays out only some of their text, each piece on a line of its own).

#include <memory>
#include <optional>
#include <string>

namespace ql::ui {
class WebView;
}

namespace ql::tools {

class BrowserText {
public:
    BrowserText();
    ~BrowserText();

    // Nothing when the page did not load or answer in time.
    std::optional<std::string> of(const std::string& html);

private:
    bool loadPage();

    std::shared_ptr<ui::WebView> view_;
    bool pageLoaded_ = false;
};

}  // namespace ql::tools
