#pragma once
// ui::WebBrowserView: the web view's page surface inside its scroll view. It shows the engine's rendering
// of the visible part of the page, sits over that part of the scroll view's content, and hands the
// touches it receives to the web view that owns it.

#include <functional>
#include <string_view>

#include "platform/ui/ImageView.h"

namespace ql::ui {

class WebBrowserView : public ImageView {
    QL_OBJECT_NAMED(WebBrowserView, ImageView, "UIWebBrowserView")
public:
    // The touch kind ("touchStart", "touchMove", "touchEnd", "touchCancel") and where, in this view.
    using TouchHandler = std::function<void(std::string_view type, const cg::Point& point)>;

    explicit WebBrowserView(const cg::Rect& frame);
    void setTouchHandler(TouchHandler handler) { touchHandler_ = std::move(handler); }

    void touchesBegan(const TouchSet& touches, Event* event) override;
    void touchesMoved(const TouchSet& touches, Event* event) override;
    void touchesEnded(const TouchSet& touches, Event* event) override;
    void touchesCancelled(const TouchSet& touches, Event* event) override;

private:
    void report(std::string_view type, const TouchSet& touches);

    TouchHandler touchHandler_;
};

}  // namespace ql::ui
