#include "storage/foundation/UTWebViewTitle.h"

namespace ql {

std::string documentTitle(ui::WebView& view) { return view.stringByEvaluatingJavaScriptFromString("document.title"); }

}  // namespace ql
