#include "platform/web/WebView.h"

#include "platform/foundation/DispatchQueue.h"
#include "platform/net/URLError.h"
#include "platform/net/URLSession.h"
#include "platform/ui/MainThread.h"

namespace ql::ui {
namespace {

ns::Error cancelledError(const std::optional<ns::URLRequest>& request) {
    ns::Dictionary info{{std::string(ns::LocalizedDescriptionKey), ns::Value("cancelled")}};
    if (request && request->URL()) {
        info.set(std::string(ns::URLErrorFailingURLStringErrorKey), ns::Value(request->URL()->absoluteString()));
    }
    return ns::Error(std::string(ns::URLErrorDomain), ns::URLErrorCancelled, std::move(info));
}

}  // namespace

WebView::WebView(const cg::Rect& frame) : View(frame), scrollView_(std::make_shared<ScrollView>(bounds())) {
    scrollView_->setAutoresizingMask(ViewAutoresizingFlexibleWidth | ViewAutoresizingFlexibleHeight);
    addSubview(scrollView_);
}

WebView::~WebView() {
    if (task_) task_->cancel();
}

bool WebView::begin(const ns::URLRequest& request, WebViewNavigationType type) {
    assertMainThread();
    if (auto delegate = delegate_.lock()) {
        if (!delegate->webViewShouldStartLoadWithRequest(*this, request, type)) return false;
    }
    interruptLoad();
    ++load_;
    request_ = request;
    loading_ = true;
    reportStart(load_);
    return true;
}

void WebView::reportStart(std::uint64_t load) {
    std::weak_ptr<WebView> weak = std::static_pointer_cast<WebView>(shared_from_this());
    ns::DispatchQueue::main()->async([weak, load] {
        auto self = weak.lock();
        if (!self || self->load_ != load || !self->loading_) return;
        if (auto delegate = self->delegate_.lock()) delegate->webViewDidStartLoad(*self);
    });
}

void WebView::loadRequest(const ns::URLRequest& request) {
    if (!begin(request, WebViewNavigationType::Other)) return;
    if (!history_.empty()) history_.resize(historyIndex_ + 1);
    history_.push_back(request);
    historyIndex_ = history_.size() - 1;
    start(request);
}

void WebView::reload() {
    if (!request_ || !begin(*request_, WebViewNavigationType::Reload)) return;
    start(*request_);
}

bool WebView::canGoBack() const { return historyIndex_ > 0; }

bool WebView::canGoForward() const { return historyIndex_ + 1 < history_.size(); }

void WebView::goBack() {
    if (canGoBack()) travel(historyIndex_ - 1);
}

void WebView::goForward() {
    if (canGoForward()) travel(historyIndex_ + 1);
}

void WebView::travel(std::size_t index) {
    if (!begin(history_[index], WebViewNavigationType::BackForward)) return;
    historyIndex_ = index;
    start(history_[index]);
}

// The stand-in runs no scripts.
std::string WebView::stringByEvaluatingJavaScriptFromString(const std::string&) { return ""; }

void WebView::start(const ns::URLRequest& request) {
    const std::uint64_t load = load_;
    std::weak_ptr<WebView> weak = std::static_pointer_cast<WebView>(shared_from_this());
    task_ = ns::URLSession::sharedSession()->dataTaskWithRequest(
        request, [weak, load](const std::optional<ns::Data>& data, const std::shared_ptr<ns::URLResponse>& response,
                              const std::optional<ns::Error>& error) {
            ns::DispatchQueue::main()->async([weak, load, data, response, error] {
                auto self = weak.lock();
                if (!self) return;
                if (error || !response) {
                    self->fail(load, error.value_or(ns::Error(std::string(ns::URLErrorDomain), ns::URLErrorBadServerResponse)));
                } else {
                    self->finish(load, data.value_or(ns::Data()), response->MIMEType().value_or("text/html"),
                                 response->textEncodingName().value_or(""), response->URL());
                }
            });
        });
    task_->resume();
}

void WebView::loadData(const ns::Data& data, const std::string& MIMEType, const std::string& textEncodingName,
                       const std::optional<ns::URL>& baseURL) {
    const auto url = baseURL ? baseURL : ns::URL::fromString("about:blank");
    if (!begin(ns::URLRequest(url), WebViewNavigationType::Other)) return;
    const std::uint64_t load = load_;
    std::weak_ptr<WebView> weak = std::static_pointer_cast<WebView>(shared_from_this());
    ns::DispatchQueue::main()->async([weak, load, data, MIMEType, textEncodingName, baseURL] {
        if (auto self = weak.lock()) self->finish(load, data, MIMEType, textEncodingName, baseURL);
    });
}

void WebView::loadHTMLString(const std::string& html, const std::optional<ns::URL>& baseURL) {
    loadData(ns::Data(html), "text/html", "utf-8", baseURL);
}

void WebView::finish(std::uint64_t load, const ns::Data& data, std::string MIMEType, std::string textEncodingName,
                     std::optional<ns::URL> baseURL) {
    if (load != load_ || !loading_) return;
    documentData_ = data;
    documentMIMEType_ = std::move(MIMEType);
    documentTextEncodingName_ = std::move(textEncodingName);
    documentBaseURL_ = std::move(baseURL);
    loading_ = false;
    task_.reset();
    if (auto delegate = delegate_.lock()) delegate->webViewDidFinishLoad(*this);
}

void WebView::fail(std::uint64_t load, const ns::Error& error) {
    if (load != load_ || !loading_) return;
    loading_ = false;
    task_.reset();
    if (auto delegate = delegate_.lock()) delegate->webViewDidFailLoadWithError(*this, error);
}

void WebView::interruptLoad() {
    if (!loading_) return;
    if (task_) task_->cancel();
    fail(load_, cancelledError(request_));
}

void WebView::stopLoading() {
    assertMainThread();
    interruptLoad();
}

}  // namespace ql::ui
