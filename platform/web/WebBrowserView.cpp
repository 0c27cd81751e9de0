#include "platform/web/WebBrowserView.h"

#include "platform/ui/Touch.h"

namespace ql::ui {

WebBrowserView::WebBrowserView(const cg::Rect& frame) : ImageView(frame) {
    setUserInteractionEnabled(true);
    setContentMode(ContentMode::TopLeft);
}

void WebBrowserView::report(std::string_view type, const TouchSet& touches) {
    if (!touchHandler_ || touches.empty()) return;
    touchHandler_(type, (*touches.begin())->locationInView(this));
}

void WebBrowserView::touchesBegan(const TouchSet& touches, Event*) { report("touchStart", touches); }

void WebBrowserView::touchesMoved(const TouchSet& touches, Event*) { report("touchMove", touches); }

void WebBrowserView::touchesEnded(const TouchSet& touches, Event*) { report("touchEnd", touches); }

void WebBrowserView::touchesCancelled(const TouchSet& touches, Event*) { report("touchCancel", touches); }

}  // namespace ql::ui
