#pragma once
// ui::WebView: the platform's web view, showing pages on the shared web engine (WebEngine). Its delegate
// hears should-start for every document request (main frame and subframes, with the navigation type), then
// did-start and did-finish or did-fail for each frame load, on the main thread, in the platform's order; a
// load that a newer one or stopLoading interrupts fails with the cancelled error. Every request of its
// pages goes through the platform's URL loading. A load always ends: an engine that is missing, crashes or
// hangs, or a page that does not finish within its request's time-out, ends it with one error.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Data.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/Timer.h"
#include "platform/foundation/URL.h"
#include "platform/net/URLRequest.h"
#include "platform/net/URLSessionTask.h"
#include "platform/ui/KeyInput.h"
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

class WebPage;

class WebView : public View, public KeyInput {
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
    // Lays the page out as a phone does (its viewport, fitted to the view's width) rather than at the
    // view's width in points.
    void setScalesPageToFit(bool scales);
    // The scroll view the page scrolls in; its content size is the page's.
    const std::shared_ptr<ScrollView>& scrollView() const { return scrollView_; }

    // The main document shown, as it came.
    const ns::Data& documentData() const { return documentData_; }
    const std::string& documentMIMEType() const { return documentMIMEType_; }
    const std::string& documentTextEncodingName() const { return documentTextEncodingName_; }
    const std::optional<ns::URL>& documentBaseURL() const { return documentBaseURL_; }

    // Typing reaches the page's focused element. A tap into a field of the page makes the view the first
    // responder; resigning leaves the field.
    bool canBecomeFirstResponder() const override { return true; }
    bool resignFirstResponder() override;
    bool hasText() const override { return true; }
    void insertText(const std::string& text) override;
    void deleteBackward() override;

    void layoutSubviews() override;

private:
    struct GivenDocument {
        ns::Data data;
        std::string MIMEType;
        std::string textEncodingName;
    };
    struct ShownDocument {
        GivenDocument document;
        std::optional<ns::URL> URL;
    };
    // A main-frame navigation this view started and already asked its delegate about.
    struct OwnNavigation {
        std::string URL;
        std::optional<ns::URLRequest> request;  // sent as given (method, body) unless the engine's own
        std::optional<GivenDocument> document;  // served instead of loading
        bool reached = false;                   // the engine has asked for its document
    };
    // A frame's load ends when the engine stops loading the frame after its document has come (the view
    // answered the engine's request for it, or the engine showed it).
    struct FrameLoad {
        bool answered = false;
        std::optional<ns::Error> error;
    };

    // Asks the delegate and, when it agrees, ends the current load and numbers a new one.
    bool begin(const ns::URLRequest& request, WebViewNavigationType type);
    void navigate(OwnNavigation navigation, std::string_view method, ns::Dictionary params);
    WebPage* page(ns::Error* error);
    void reportStart(std::uint64_t load);
    void startLoadTimer(double interval);
    void failSoon(std::uint64_t load, const ns::Error& error);
    void abandonLoad(const ns::Error& error);
    // Takes the frame id by value: callers pass keys of the loads it erases.
    void endFrameLoad(std::string frame);
    // The engine holds a document request of the main frame, being asked about or not yet answered.
    bool awaitingMainDocument() const;
    // Marks the delegate's answer about a main-frame document request as awaited, however it returns.
    class MainDocumentAsked {
    public:
        MainDocumentAsked(WebView& view, bool mainFrame) : view_(view), was_(view.askingAboutMainDocument_) {
            view_.askingAboutMainDocument_ = was_ || mainFrame;
        }
        ~MainDocumentAsked() { view_.askingAboutMainDocument_ = was_; }
        MainDocumentAsked(const MainDocumentAsked&) = delete;
        MainDocumentAsked& operator=(const MainDocumentAsked&) = delete;

    private:
        WebView& view_;
        bool was_;
    };

    void handleEvent(std::uint64_t pageSerial, std::string_view method, const ns::Value& params);
    void requestPaused(const ns::Dictionary& params);
    void documentRequested(const std::string& requestID, const std::string& frame, ns::URLRequest request,
                           bool redirected);
    void serve(const std::string& requestID, const ns::URLRequest& request, const std::string& documentFrame);
    void frameNavigated(const ns::Dictionary& frame);
    void navigatedWithinDocument(const std::string& frame, const std::string& url);
    bool askDelegate(const ns::URLRequest& request, WebViewNavigationType type);
    ns::Value navigationHistory() const;
    void travel(int step);

    // Rendering and input.
    void applyViewport();
    void refreshRendering();
    void renderNewDocument();
    void pageScrolled();
    // Where the page is scrolled to for the scroll view's offset.
    cg::Point pagePositionForOffset(cg::Point offset) const;
    // Moves the scroll view and the page surface to where the page is, without scrolling the page.
    void followPagePosition(cg::Point position);
    void showNewDocumentFromTop();
    void dispatchTouch(std::string_view type, const cg::Point& point);
    void pageFocusChanged(bool editing);
    void dispatchKey(std::string_view key, std::string_view code, int keyCode, std::string_view text);

    std::weak_ptr<WebViewDelegate> delegate_;
    std::shared_ptr<ScrollView> scrollView_;
    std::shared_ptr<View> contentView_;
    std::shared_ptr<ScrollViewDelegate> scrollObserver_;
    std::optional<ns::URLRequest> request_;
    bool loading_ = false;
    bool scalesPageToFit_ = false;
    std::uint64_t load_ = 0;

    std::unique_ptr<WebPage> page_;
    std::uint64_t pageSerial_ = 0;
    std::optional<OwnNavigation> ownNavigation_;
    std::vector<std::string> supersededURLs_;
    std::map<std::string, FrameLoad> frameLoads_;
    std::map<std::string, WebViewNavigationType> navigationReasons_;
    std::map<std::string, std::shared_ptr<ns::URLSessionTask>> serving_;
    std::optional<ShownDocument> arrivingDocument_;
    std::shared_ptr<ns::Timer> loadTimer_;
    std::uint64_t rendering_ = 0;
    bool renderingPending_ = false;
    bool renderingAgain_ = false;
    bool followingPage_ = false;
    bool askingAboutMainDocument_ = false;
    cg::Size viewport_;

    ns::Data documentData_;
    std::string documentMIMEType_;
    std::string documentTextEncodingName_;
    std::optional<ns::URL> documentBaseURL_;
};

}  // namespace ql::ui
