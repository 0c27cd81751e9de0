#pragma once
// ui::WebView: the platform's web view. Its delegate hears should-start for every document request (main
// frame and subframes, with the navigation type), then did-start and did-finish or did-fail for each frame
// load, on the main thread, in the platform's order; a load that a newer one or stopLoading interrupts
// fails with the cancelled error.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Data.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/URL.h"
#include "platform/net/URLRequest.h"
#include "platform/net/URLSessionTask.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/View.h"

namespace ql::ui {

class WebView;

enum class WebViewNavigationType : std::int64_t {
    LinkClicked = 0,
    FormSubmitted = 1,
    BackForward = 2,
    Reload = 3,
    FormResubmitted = 4,
    Other = 5,
};

class WebViewDelegate {
public:
    virtual ~WebViewDelegate() = default;
    // Asked for every document request, a subframe's included (its mainDocumentURL is the page's); a
    // refusal stops that load before it reaches the network.
    virtual bool webViewShouldStartLoadWithRequest(WebView&, const ns::URLRequest&, WebViewNavigationType) {
        return true;
    }
    // Once per frame load: started, then finished or failed.
    virtual void webViewDidStartLoad(WebView&) {}
    virtual void webViewDidFinishLoad(WebView&) {}
    virtual void webViewDidFailLoadWithError(WebView&, const ns::Error&) {}
};

class WebView : public View {
    QL_OBJECT_NAMED(WebView, View, "UIWebView")
public:
    explicit WebView(const cg::Rect& frame = cg::Rect::zero());
    ~WebView() override;

    std::weak_ptr<WebViewDelegate> delegate() const { return delegate_; }
    void setDelegate(std::weak_ptr<WebViewDelegate> delegate) { delegate_ = std::move(delegate); }

    // Asks the delegate at once; when it agrees, starts loading and reports the start on the main queue.
    void loadRequest(const ns::URLRequest& request);
    // Shows the given document as the reply for baseURL (about:blank without one); the delegate hears the
    // same calls as for a load, on the main queue.
    void loadData(const ns::Data& data, const std::string& MIMEType, const std::string& textEncodingName,
                  const std::optional<ns::URL>& baseURL);
    void loadHTMLString(const std::string& html, const std::optional<ns::URL>& baseURL);
    void stopLoading();
    // Loads the current request again (navigation type reload).
    void reload();

    bool canGoBack() const;
    bool canGoForward() const;
    // Move through the pages shown (navigation type back/forward); nothing happens at either end.
    void goBack();
    void goForward();

    bool isLoading() const { return loading_; }
    // The request of the main document shown or being loaded.
    const std::optional<ns::URLRequest>& request() const { return request_; }

    // Runs the script in the main frame and waits (bounded) for its result; a result that is not a string,
    // a script that throws or runs too long, or no page gives "".
    std::string stringByEvaluatingJavaScriptFromString(const std::string& script);

    bool scalesPageToFit() const { return scalesPageToFit_; }
    void setScalesPageToFit(bool scales) { scalesPageToFit_ = scales; }
    // The scroll view the page scrolls in; its content size is the page's.
    const std::shared_ptr<ScrollView>& scrollView() const { return scrollView_; }

    // The main document shown, as it came.
    const ns::Data& documentData() const { return documentData_; }
    const std::string& documentMIMEType() const { return documentMIMEType_; }
    const std::string& documentTextEncodingName() const { return documentTextEncodingName_; }
    const std::optional<ns::URL>& documentBaseURL() const { return documentBaseURL_; }

private:
    // Each load has a number; results of an older one are dropped.
    bool begin(const ns::URLRequest& request, WebViewNavigationType type);
    void start(const ns::URLRequest& request);
    void reportStart(std::uint64_t load);
    void finish(std::uint64_t load, const ns::Data& data, std::string MIMEType, std::string textEncodingName,
                std::optional<ns::URL> baseURL);
    void fail(std::uint64_t load, const ns::Error& error);
    void interruptLoad();
    void travel(std::size_t index);

    std::weak_ptr<WebViewDelegate> delegate_;
    std::shared_ptr<ScrollView> scrollView_;
    std::optional<ns::URLRequest> request_;
    bool loading_ = false;
    bool scalesPageToFit_ = false;
    std::uint64_t load_ = 0;
    std::shared_ptr<ns::URLSessionTask> task_;
    ns::Data documentData_;
    std::string documentMIMEType_;
    std::string documentTextEncodingName_;
    std::optional<ns::URL> documentBaseURL_;
    // Requests of the pages shown, oldest first; historyIndex_ is the one shown.
    std::vector<ns::URLRequest> history_;
    std::size_t historyIndex_ = 0;
};

}  // namespace ql::ui
