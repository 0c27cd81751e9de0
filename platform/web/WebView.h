#pragma once
// ui::WebView: the platform's web view, showing pages on the shared web engine (WebEngine). Its delegate
// hears should-start for every document request (main frame and subframes, with the navigation type), then
// did-start and did-finish or did-fail for each frame load, on the main thread, in the platform's order; a
// load that a newer one or stopLoading interrupts fails with the cancelled error. Every request of its
// pages goes through the platform's URL loading. A load always ends: an engine that is missing, crashes or
// hangs, a page whose own process ends, or a page that does not finish within its request's time-out, ends
// it with one error. A page whose process ended shows nothing more (scripts answer "") and has no history
// left (the delegate hears of that end); the next load opens a fresh one.
//
// As on the platform, a page cannot open windows: a window it asks for (window.open, a link or form with
// a target) is asked of the delegate as a navigation of this view and, if allowed, loads here. A link or
// script navigation to a scheme no page loads (mailto:, tel:, sms:, an app's own) is asked of the delegate
// and, if allowed, handed to the application to open. The page's dialogs (alert, confirm, prompt) show as
// the platform's alert and the page's script waits for the answer; a new load, stopLoading or the view's
// end dismisses one as cancelled, and a page about to be left cannot hold up the view's own navigation
// with dialogs (leave-page questions are always answered "leave"). A dialog's texts are cut to their first
// 10,240 UTF-16 units (the engine cuts the message, the app a prompt's default text as it reads it): a
// prompt's field holds that much of its default text, and OK answers what the field holds; an answer
// larger than the engine takes (typed or pasted in) goes as cancelled. Every dialog is answered.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
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
#include "platform/web/WebReplyBudget.h"
#include "platform/web/WebRequestServing.h"

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
    // The page's own process ended (alone, or with the whole engine), and the view left the page, its
    // history with it: the view can go neither back nor forward, and its request is still the page's, for a
    // reload to load afresh. Told once the view is left idle by the end: after the failure of a load that
    // was under way, unless the delegate started another on hearing of it.
    virtual void webViewPageProcessDidEnd(WebView&) {}
};

class AlertView;
class WebPage;
class WebViewDialogAnswer;

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
    // A main-frame navigation this view started and already asked its delegate about. The engine reports
    // every navigation it starts; the view's own is the main frame's last one reported before the engine
    // answers the command sent right after the navigation's own (it starts the navigation while it handles
    // that), which ties the view's load to the engine's id for it (its loader).
    struct OwnNavigation {
        std::uint64_t number = 0;               // counts the view's own navigations
        std::string URL{};
        std::optional<ns::URLRequest> request{};  // sent as given (method, body) unless the engine's own
        std::optional<GivenDocument> document{};  // served instead of loading
        std::string loader{};                     // the engine's id for it, once placed
        std::uint64_t started = 0;                // the number of its start among the engine's reports
        bool reached = false;                   // the engine has asked for its document
        bool committed = false;                 // its document is the page's
        int resends = 0;                        // sent again after the page being left took its place
    };
    // The last navigation the engine started in a frame, numbered in the order of the engine's reports.
    struct StartedNavigation {
        std::string loader;
        std::uint64_t number = 0;
    };
    // A frame's load ends when the engine stops loading the frame after its document has come (the view
    // answered the engine's request for it, or the engine showed the document of the load's navigation).
    struct FrameLoad {
        bool answered = false;
        std::optional<ns::Error> error{};
        std::string loader{};  // the load's navigation, once known
        bool stopped = false;  // the engine stopped it; it ends once the page is known to live on
    };
    // A main-frame document request that came while the view's own navigation was not yet placed.
    struct HeldDocument {
        std::string requestID;
        PageRequest page;
        bool redirected = false;
        StartedNavigation navigation;
    };
    struct OpenDialog {
        std::shared_ptr<AlertView> alert;
        std::shared_ptr<WebViewDialogAnswer> answer;
    };

    // Asks the delegate and, when it agrees, ends the current load and numbers a new one.
    bool begin(const ns::URLRequest& request, WebViewNavigationType type);
    void navigate(OwnNavigation navigation, std::string_view method, ns::Dictionary params);
    WebPage* page(ns::Error* error);
    // The start of the view's own load is told on the main queue, unless the load ends first: then it is told
    // right before the end, so that the delegate hears every load it hears of start before it ends.
    void reportStart(std::uint64_t load);
    void tellPendingStart();
    void startLoadTimer(double interval);
    void failSoon(std::uint64_t load, const ns::Error& error);
    void abandonLoad(const ns::Error& error);
    // The view's own navigation is over: should the engine still ask for its document, it is not loaded.
    void endOwnNavigation();
    // Takes the frame id by value: callers pass keys of the loads it erases.
    void endFrameLoad(std::string frame);
    // The engine stopped loading the frame. A page's process that ends stops its frames before the engine
    // tells of the end, so the load ends only once the engine has answered a command sent after the stop
    // (or told of some other event of the page meanwhile); a page found ended by then fails it instead.
    void frameStopped(const std::string& frame);
    // Ends the loads stopped so far (the page lives on).
    void settleStoppedLoads();
    // The page's process ended: the view leaves the page (a load started from here on opens a fresh one),
    // which is then gone.
    void pageProcessEnded();
    // The page's process ended, alone or with the engine, and the view has left the page: the load under way
    // fails with the error, and the delegate hears of the end.
    void pageGone(const ns::Error& error);
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
    // Stops whatever script the page is running (one without end, say); the page goes on.
    void stopPageScript();

    // The engine's events (WebViewEvents.cpp).
    using EventAction = void (*)(WebView&, const ns::Dictionary&);
    static const std::map<std::string_view, EventAction>& eventActions();
    static std::vector<std::string_view> eventsListenedFor();
    void handleEvent(std::uint64_t pageSerial, std::string_view method, const ns::Value& params);
    void navigationStarted(const std::string& frame, const std::string& loader);
    void ownNavigationPlaced(std::uint64_t number);
    void requestPaused(const ns::Dictionary& params);
    void documentRequested(const std::string& requestID, const std::string& frame, PageRequest page,
                           bool redirected, const StartedNavigation& navigation);
    // Serves the held request, or fails it when it cannot be sent as the page made it or a page may not make it.
    void serve(const std::string& requestID, const ns::URLRequest& request, const std::string& documentFrame,
               const std::optional<ns::Error>& unsendable);
    // Hands the held request its reply; one larger than the engine takes fails the request instead, and the
    // frame's load it was asked for, if any, with it.
    void answerHeld(const std::string& requestID, ns::Dictionary reply, FrameLoad* load, const std::optional<ns::URL>& url);
    void frameNavigated(const ns::Dictionary& frame);
    void navigatedWithinDocument(const std::string& frame, const std::string& url);
    void navigationRequested(const std::string& frame, const std::string& url, const std::string& reason);
    void windowRequested(const std::string& url, bool userGesture);
    // A navigation to a scheme no page loads: the application opens it when the delegate allows.
    void handOn(const ns::URL& url, const std::string& frame, WebViewNavigationType type);
    bool askDelegate(const ns::URLRequest& request, WebViewNavigationType type);
    ns::Value navigationHistory() const;
    void travel(int step);

    // Dialogs (WebViewDialogs.cpp).
    void dialogOpening(const ns::Dictionary& params);
    void dialogClosed();
    void answerDialog(bool accept, const std::string& text);
    // Takes an open dialog off the screen and answers it as cancelled.
    void dismissDialog();
    // The page is held by a dialog nothing can answer any more: the view's own navigation goes on in a
    // page of its own.
    void replacePage();
    void forgetPage();
    // The page being left started a navigation after the view's own, which the engine gave up for it: the
    // view's goes again (in a page of its own if the page keeps doing so).
    void resendOwnNavigation();

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
    std::uint64_t startPending_ = 0;  // the load whose start is yet to be told
    std::uint64_t ownNavigations_ = 0;

    // What belongs to the page on the engine; a fresh page starts it afresh.
    std::unique_ptr<WebPage> page_;
    std::uint64_t pageSerial_ = 0;
    std::optional<OwnNavigation> ownNavigation_;
    std::map<std::string, FrameLoad> frameLoads_;
    std::map<std::string, WebViewNavigationType> navigationReasons_;
    // Each frame's last few navigations started, the latest last.
    std::map<std::string, std::vector<StartedNavigation>> startedNavigations_;
    std::uint64_t navigationsStarted_ = 0;
    // Main-frame navigations numbered below this were replaced by one of the view's own.
    std::uint64_t staleBefore_ = 0;
    // Own navigations sent whose place among the engine's reports is not known yet.
    int placing_ = 0;
    std::vector<HeldDocument> heldDocuments_;
    std::map<std::string, std::shared_ptr<ns::URLSessionTask>> serving_;
    // What the replies being gathered for the page hold at once.
    std::shared_ptr<WebReplyBudget> replyBudget_;
    std::optional<OpenDialog> dialog_;

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
