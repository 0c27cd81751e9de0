#pragma once
// ui::WebView: the stand-in for the platform's web view. There is no web engine here: it loads a document
// through URL loading (or takes one given as data) and keeps it as it came, without parsing or running
// it. Its delegate hears should-start, did-start and then did-finish or did-fail, on the main thread,
// in the platform's order; a load that a newer one or stopLoading interrupts fails with the cancelled
// error.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/Data.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/URL.h"
#include "platform/net/URLRequest.h"
#include "platform/net/URLSessionTask.h"
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
    virtual bool webViewShouldStartLoadWithRequest(WebView&, const ns::URLRequest&, WebViewNavigationType) {
        return true;
    }
    virtual void webViewDidStartLoad(WebView&) {}
    virtual void webViewDidFinishLoad(WebView&) {}
    virtual void webViewDidFailLoadWithError(WebView&, const ns::Error&) {}
};

class WebView : public View {
    QL_OBJECT_NAMED(WebView, View, "UIWebView")
public:
    explicit WebView(const cg::Rect& frame = cg::Rect::zero()) : View(frame) {}
    ~WebView() override;

    std::weak_ptr<WebViewDelegate> delegate() const { return delegate_; }
    void setDelegate(std::weak_ptr<WebViewDelegate> delegate) { delegate_ = std::move(delegate); }

    // Asks the delegate at once; when it agrees, starts loading and reports the start on the main queue.
    void loadRequest(const ns::URLRequest& request);
    // Shows the given document; the delegate hears the same calls as for a load, on the main queue.
    void loadData(const ns::Data& data, const std::string& MIMEType, const std::string& textEncodingName,
                  const std::optional<ns::URL>& baseURL);
    void loadHTMLString(const std::string& html, const std::optional<ns::URL>& baseURL);
    void stopLoading();

    bool isLoading() const { return loading_; }
    // The request of the document shown or being loaded.
    const std::optional<ns::URLRequest>& request() const { return request_; }

    // The document shown, as it came.
    const ns::Data& documentData() const { return documentData_; }
    const std::string& documentMIMEType() const { return documentMIMEType_; }
    const std::string& documentTextEncodingName() const { return documentTextEncodingName_; }
    const std::optional<ns::URL>& documentBaseURL() const { return documentBaseURL_; }

private:
    // Each load has a number; results of an older one are dropped.
    bool begin(const ns::URLRequest& request);
    void reportStart(std::uint64_t load);
    void finish(std::uint64_t load, const ns::Data& data, std::string MIMEType, std::string textEncodingName,
                std::optional<ns::URL> baseURL);
    void fail(std::uint64_t load, const ns::Error& error);
    void interruptLoad();

    std::weak_ptr<WebViewDelegate> delegate_;
    std::optional<ns::URLRequest> request_;
    bool loading_ = false;
    std::uint64_t load_ = 0;
    std::shared_ptr<ns::URLSessionTask> task_;
    ns::Data documentData_;
    std::string documentMIMEType_;
    std::string documentTextEncodingName_;
    std::optional<ns::URL> documentBaseURL_;
};

}  // namespace ql::ui
