#include "web/browser/WebViewProgress.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "platform/foundation/JSONSerialization.h"

namespace ql {

namespace {

// A request for the main document carries its own URL as the main-document URL; one that does not say
// is taken for a main-document request.
std::optional<ns::URL> mainDocumentURLOf(const ns::URLRequest& request) {
    return request.mainDocumentURL() ? request.mainDocumentURL() : request.URL();
}

// The address without its fragment: cut where the fragment begins, so that nothing inside the fragment
// (nor text elsewhere that resembles it) can change where the cut falls.
std::string withoutFragment(const ns::URL& url) {
    std::string address = url.absoluteString();
    if (url.fragment()) address.resize(address.size() - url.fragment()->size() - 1);
    return address;
}

bool isWebOrFileScheme(const std::optional<std::string>& scheme) {
    return scheme && (*scheme == "http" || *scheme == "https" || *scheme == "file");
}

}  // namespace

std::string WebViewProgressCompletionScript(const ns::URL& page) {
    // The address goes in as a JSON text, which is a script string whatever the page's host holds: a
    // host may carry quotes and semicolons, percent-escaped or not.
    const std::string address =
        page.scheme().value_or("") + "://" + page.host().value_or("") + std::string(WebViewProgressCompletePath);
    const auto literal = ns::JSONSerialization::dataWithJSONObject(ns::Value(address), ns::JSONWritingFragmentsAllowed, nullptr);
    return "window.addEventListener('load',function() { var iframe = document.createElement('iframe'); "
           "iframe.style.display = 'none'; iframe.src = " +
           (literal ? std::string(literal->view()) : std::string("''")) +
           "; document.body.appendChild(iframe);  }, false);";
}

void WebViewProgress::reset() {
    maxLoadCount_ = 0;
    loadingCount_ = 0;
    interactive_ = false;
    setProgress(0);
}

void WebViewProgress::startProgress() {
    if (progress_ < kInitialProgress) setProgress(kInitialProgress);
}

void WebViewProgress::incrementProgress() {
    const float cap = interactive_ ? kFinalInteractiveProgress : kInteractiveProgress;
    // With no counted load (nothing started, or more ends than starts) the estimate goes straight to the
    // cap, as it would with every frame done; it never becomes a division of zero by zero.
    const float ratio = maxLoadCount_ > 0 && loadingCount_ >= 0
                            ? static_cast<float>(loadingCount_) / static_cast<float>(maxLoadCount_)
                            : 1.0f;
    setProgress(std::min(progress_ + (cap - progress_) * ratio, cap));
}

void WebViewProgress::completeProgress() { setProgress(kCompleteProgress); }

void WebViewProgress::setProgress(float progress) {
    if (std::isnan(progress)) return;
    if (!(progress == 0 || progress_ < progress)) return;
    progress_ = progress;
    if (auto delegate = progressDelegate_.lock()) delegate->webViewProgressUpdateProgress(*this, progress);
    if (progressBlock_) progressBlock_(progress);
}

bool WebViewProgress::webViewShouldStartLoadWithRequest(ui::WebView& webView, const ns::URLRequest& request,
                                                        ui::WebViewNavigationType navigationType) {
    const auto& url = request.URL();
    if (url && url->path() == WebViewProgressCompletePath) {
        completeProgress();
        return false;
    }
    bool answer = true;
    if (auto proxy = proxyDelegate_.lock()) answer = proxy->webViewShouldStartLoadWithRequest(webView, request, navigationType);

    bool fragmentJump = false;
    if (url && url->fragment()) {
        const auto& shown = webView.request();
        fragmentJump = shown && shown->URL() && withoutFragment(*url) == shown->URL()->absoluteString();
    }
    const bool topLevel = url && mainDocumentURLOf(request) == url;
    if (answer && !fragmentJump && url && isWebOrFileScheme(url->scheme()) && topLevel) {
        currentURL_ = url;
        reset();
    }
    return answer;
}

void WebViewProgress::webViewDidStartLoad(ui::WebView& webView) {
    if (auto proxy = proxyDelegate_.lock()) proxy->webViewDidStartLoad(webView);
    ++loadingCount_;
    maxLoadCount_ = std::max(maxLoadCount_, loadingCount_);
    startProgress();
}

WebViewProgress::FrameEnd WebViewProgress::frameEnded(ui::WebView& webView) {
    --loadingCount_;
    incrementProgress();
    FrameEnd end;
    end.readyState = webView.stringByEvaluatingJavaScriptFromString("document.readyState");
    const std::optional<ns::URL> page = webView.request() ? mainDocumentURLOf(*webView.request()) : std::nullopt;
    if (end.readyState == "interactive") {
        interactive_ = true;
        if (page) webView.stringByEvaluatingJavaScriptFromString(WebViewProgressCompletionScript(*page));
    }
    end.redirect = !(currentURL_ && page && *currentURL_ == *page);
    return end;
}

void WebViewProgress::webViewDidFinishLoad(ui::WebView& webView) {
    if (auto proxy = proxyDelegate_.lock()) proxy->webViewDidFinishLoad(webView);
    const FrameEnd end = frameEnded(webView);
    if (!end.redirect && end.readyState == "complete") completeProgress();
}

void WebViewProgress::webViewDidFailLoadWithError(ui::WebView& webView, const ns::Error& error) {
    if (auto proxy = proxyDelegate_.lock()) proxy->webViewDidFailLoadWithError(webView, error);
    frameEnded(webView);
    // Every failure here carries its error, and a failed load is completed rather than left hanging.
    completeProgress();
}

void WebViewProgress::webViewPageProcessDidEnd(ui::WebView& webView) {
    if (auto proxy = proxyDelegate_.lock()) proxy->webViewPageProcessDidEnd(webView);
    // A page that is gone never completes: the estimate ends as a failed load's does.
    completeProgress();
}

}  // namespace ql
