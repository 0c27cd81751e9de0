// The web view's drawing and input: the page's viewport follows the view's size at the screen's scale,
// the engine's rendering of the visible part becomes the page surface's image, the scroll view follows
// the page (and the page the scroll view), and touches and typing reach the page.

#include <algorithm>
#include <cmath>

#include "platform/foundation/Base64.h"
#include "platform/ui/Image.h"
#include "platform/ui/Screen.h"
#include "platform/web/WebBrowserView.h"
#include "platform/web/WebEngineFields.h"
#include "platform/web/WebPage.h"
#include "platform/web/WebView.h"

namespace ql::ui {
namespace {

class ScrollFollower final : public ScrollViewDelegate {
public:
    explicit ScrollFollower(std::function<void()> scrolled) : scrolled_(std::move(scrolled)) {}
    void scrollViewDidScroll(ScrollView&) override { scrolled_(); }

private:
    std::function<void()> scrolled_;
};

}  // namespace

void WebView::setScalesPageToFit(bool scales) {
    if (scales == scalesPageToFit_) return;
    scalesPageToFit_ = scales;
    viewport_ = cg::Size{};
    applyViewport();
}

void WebView::layoutSubviews() {
    View::layoutSubviews();
    applyViewport();
}

void WebView::applyViewport() {
    const cg::Size size = bounds().size;
    if (!page_ || !page_->isAlive() || size.width < 1 || size.height < 1) return;
    if (size.width == viewport_.width && size.height == viewport_.height) return;
    viewport_ = size;
    std::weak_ptr<WebView> weak = std::static_pointer_cast<WebView>(shared_from_this());
    auto browser = std::static_pointer_cast<WebBrowserView>(contentView_);
    browser->setTouchHandler([weak](std::string_view type, const cg::Point& point) {
        if (auto self = weak.lock()) self->dispatchTouch(type, point);
    });
    if (!scrollObserver_) {
        scrollObserver_ = std::make_shared<ScrollFollower>([weak] {
            if (auto self = weak.lock()) self->pageScrolled();
        });
        scrollView_->setDelegate(scrollObserver_);
    }
    page_->send("Emulation.setDeviceMetricsOverride",
                {{"width", ns::Value(static_cast<std::int64_t>(std::lround(size.width)))},
                 {"height", ns::Value(static_cast<std::int64_t>(std::lround(size.height)))},
                 {"deviceScaleFactor", ns::Value(Screen::mainScreen().scale())},
                 {"mobile", ns::Value(scalesPageToFit_)}});
    page_->send("Emulation.setTouchEmulationEnabled", {{"enabled", ns::Value(true)}, {"maxTouchPoints", ns::Value(1)}});
    refreshRendering();
}

// The scroll view insets the page: resting in an inset shows the page's edge below (or beside) the bar
// there, so the page scrolls only as far as the scroll view has moved into the content itself.
cg::Point WebView::pagePositionForOffset(cg::Point offset) const {
    const cg::Size content = scrollView_->contentSize();
    const cg::Size view = bounds().size;
    return {std::clamp(offset.x, 0.0, std::max(0.0, content.width - view.width)),
            std::clamp(offset.y, 0.0, std::max(0.0, content.height - view.height))};
}

void WebView::followPagePosition(cg::Point position) {
    followingPage_ = true;
    if (pagePositionForOffset(scrollView_->contentOffset()) != position) {
        // The page moved on its own (a jump, a restored place): at an edge the scroll view rests in its inset.
        const cg::EdgeInsets& inset = scrollView_->contentInset();
        scrollView_->setContentOffset(cg::Point{position.x > 0 ? position.x : -inset.left,
                                                position.y > 0 ? position.y : -inset.top});
    }
    contentView_->setFrame(cg::Rect{position, bounds().size});
    followingPage_ = false;
}

// A new document shows from its top, clear of the scroll view's insets.
void WebView::showNewDocumentFromTop() {
    followingPage_ = true;
    scrollView_->setContentOffset(scrollView_->minimumContentOffset());
    contentView_->setFrame(cg::Rect{cg::Point{0, 0}, bounds().size});
    followingPage_ = false;
}

void WebView::pageScrolled() {
    if (followingPage_ || !page_ || !page_->isAlive()) return;
    const cg::Point position = pagePositionForOffset(scrollView_->contentOffset());
    contentView_->setFrame(cg::Rect{position, bounds().size});
    page_->send("Runtime.evaluate", {{"expression", ns::Value("window.scrollTo(" + std::to_string(position.x) + "," +
                                                              std::to_string(position.y) + ")")}});
    refreshRendering();
}

// A capture asked for before a document came may never be answered once the document is replaced.
void WebView::renderNewDocument() {
    ++rendering_;
    renderingPending_ = false;
    renderingAgain_ = false;
    refreshRendering();
}

// One capture at a time; asks made meanwhile are folded into one more once it arrives.
void WebView::refreshRendering() {
    if (!page_ || !page_->isAlive() || viewport_.width < 1) return;
    if (renderingPending_) {
        renderingAgain_ = true;
        return;
    }
    renderingPending_ = true;
    std::weak_ptr<WebView> weak = std::static_pointer_cast<WebView>(shared_from_this());
    const std::uint64_t serial = pageSerial_;
    page_->send("Page.getLayoutMetrics", {}, [weak, serial](const ns::Value& result, const std::optional<std::string>&) {
        auto self = weak.lock();
        if (!self || serial != self->pageSerial_) return;
        const auto& fields = fieldsOf(result);
        const auto& content = fieldsOf(fields["cssContentSize"]);
        const auto& visible = fieldsOf(fields["cssVisualViewport"]);
        self->followingPage_ = true;
        self->scrollView_->setContentSize(cg::Size{numberField(content, "width"), numberField(content, "height")});
        self->followingPage_ = false;
        self->followPagePosition(cg::Point{numberField(visible, "pageX"), numberField(visible, "pageY")});
    });
    const std::uint64_t rendering = rendering_;
    page_->send("Page.captureScreenshot", {{"format", ns::Value("png")}},
                [weak, serial, rendering](const ns::Value& result, const std::optional<std::string>&) {
                    auto self = weak.lock();
                    if (!self || serial != self->pageSerial_ || rendering != self->rendering_) return;
                    self->renderingPending_ = false;
                    const ns::Value* data = fieldsOf(result).find("data");
                    if (auto png = data ? ns::dataWithBase64EncodedString(data->stringValue()) : std::nullopt) {
                        if (auto image = Image::imageWithData(*png, Screen::mainScreen().scale())) {
                            std::static_pointer_cast<WebBrowserView>(self->contentView_)->setImage(image);
                        }
                    }
                    if (self->renderingAgain_) {
                        self->renderingAgain_ = false;
                        self->refreshRendering();
                    }
                });
}

void WebView::dispatchTouch(std::string_view type, const cg::Point& point) {
    if (!page_ || !page_->isAlive()) return;
    ns::Array points;
    if (type == "touchStart" || type == "touchMove") {
        points.push_back(ns::Value(ns::Dictionary{{"x", ns::Value(point.x)}, {"y", ns::Value(point.y)}}));
    }
    page_->send("Input.dispatchTouchEvent", {{"type", ns::Value(type)}, {"touchPoints", ns::Value(std::move(points))}});
    if (type == "touchEnd") refreshRendering();
}

bool WebView::resignFirstResponder() {
    if (!View::resignFirstResponder()) return false;
    if (page_ && page_->isAlive()) {
        page_->send("Runtime.evaluate", {{"expression", ns::Value("document.activeElement && document.activeElement.blur()")}});
    }
    return true;
}

void WebView::pageFocusChanged(bool editing) {
    // A field that takes the focus takes the keyboard, as on the device; leaving it gives the keyboard back.
    if (editing && !isFirstResponder()) {
        becomeFirstResponder();
    } else if (!editing && isFirstResponder()) {
        resignFirstResponder();
    }
}

void WebView::dispatchKey(std::string_view key, std::string_view code, int keyCode, std::string_view typed) {
    if (!page_ || !page_->isAlive()) return;
    for (const char* phase : {"keyDown", "keyUp"}) {
        ns::Dictionary event{{"type", ns::Value(phase)},
                             {"key", ns::Value(key)},
                             {"code", ns::Value(code)},
                             {"windowsVirtualKeyCode", ns::Value(keyCode)}};
        if (std::string_view(phase) == "keyDown" && !typed.empty()) event.set("text", ns::Value(typed));
        page_->send("Input.dispatchKeyEvent", std::move(event));
    }
    refreshRendering();
}

void WebView::insertText(const std::string& typed) {
    if (typed == "\n") {
        dispatchKey("Enter", "Enter", 13, "\r");
        return;
    }
    if (!page_ || !page_->isAlive()) return;
    page_->send("Input.insertText", {{"text", ns::Value(typed)}});
    refreshRendering();
}

void WebView::deleteBackward() { dispatchKey("Backspace", "Backspace", 8, ""); }

}  // namespace ql::ui
