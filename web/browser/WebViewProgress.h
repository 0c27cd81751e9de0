#pragma once
// WebViewProgress: estimates how far a web view's page load has come, as one number from 0 to 1, although
// the web view reports no progress. It stands in front of the web view's real delegate, passing every
// message on, and derives the estimate from the frame loads that pass through: 0.1 at the first start,
// then part of the way towards 0.5 (0.9 once the document is interactive) with each finished frame, and 1
// at completion. Completion is learnt from a script injected into the page that asks for a fixed path when
// the page's load event fires; that request is refused and never reaches the page's host.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Object.h"
#include "platform/foundation/URL.h"
#include "platform/web/WebView.h"

namespace ql {

class WebViewProgress;

inline constexpr std::string_view WebViewProgressCompletePath = "/webviewprogressproxy/complete";

// The script put into a page once it is interactive: at its load event it asks for the completion path
// on the page's own scheme and host.
std::string WebViewProgressCompletionScript(const ns::URL& page);

class WebViewProgressDelegate {
public:
    virtual ~WebViewProgressDelegate() = default;
    virtual void webViewProgressUpdateProgress(WebViewProgress& progress, float value) = 0;
};

class WebViewProgress : public ns::Object, public ui::WebViewDelegate {
    QL_OBJECT(WebViewProgress, ns::Object)

public:
    static constexpr float kInitialProgress = 0.1f;
    static constexpr float kInteractiveProgress = 0.5f;
    static constexpr float kFinalInteractiveProgress = 0.9f;
    static constexpr float kCompleteProgress = 1.0f;

    WebViewProgress() = default;

    std::weak_ptr<WebViewProgressDelegate> progressDelegate() const { return progressDelegate_; }
    void setProgressDelegate(std::weak_ptr<WebViewProgressDelegate> delegate) { progressDelegate_ = std::move(delegate); }
    std::weak_ptr<ui::WebViewDelegate> webViewProxyDelegate() const { return proxyDelegate_; }
    void setWebViewProxyDelegate(std::weak_ptr<ui::WebViewDelegate> delegate) { proxyDelegate_ = std::move(delegate); }
    const std::function<void(float)>& progressBlock() const { return progressBlock_; }
    void setProgressBlock(std::function<void(float)> block) { progressBlock_ = std::move(block); }
    float progress() const { return progress_; }

    void reset();
    // The steps of the estimate. A value is reported when it is 0 or above the stored one; between resets
    // the reported values therefore only grow.
    void startProgress();
    void incrementProgress();
    void completeProgress();
    void setProgress(float progress);

    bool webViewShouldStartLoadWithRequest(ui::WebView& webView, const ns::URLRequest& request,
                                           ui::WebViewNavigationType navigationType) override;
    void webViewDidStartLoad(ui::WebView& webView) override;
    void webViewDidFinishLoad(ui::WebView& webView) override;
    void webViewDidFailLoadWithError(ui::WebView& webView, const ns::Error& error) override;
    void webViewPageProcessDidEnd(ui::WebView& webView) override;

private:
    // Steps shared by a finished and a failed frame load; answers the document's ready state and whether
    // the load belongs to a redirect.
    struct FrameEnd {
        std::string readyState;
        bool redirect = true;
    };
    FrameEnd frameEnded(ui::WebView& webView);

    // Frame loads started and not yet ended, and the most outstanding at once since the reset. Signed: a
    // frame that ends without a counted start takes the count below zero instead of wrapping it.
    std::int64_t loadingCount_ = 0;
    std::int64_t maxLoadCount_ = 0;
    std::optional<ns::URL> currentURL_;
    bool interactive_ = false;
    float progress_ = 0;
    std::weak_ptr<WebViewProgressDelegate> progressDelegate_;
    std::weak_ptr<ui::WebViewDelegate> proxyDelegate_;
    std::function<void(float)> progressBlock_;
};

}  // namespace ql
