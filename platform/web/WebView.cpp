#include "platform/web/WebView.h"

#include <algorithm>

#include "platform/foundation/Base64.h"
#include "platform/foundation/DispatchQueue.h"
#include "platform/net/URLError.h"
#include "platform/ui/MainThread.h"
#include "platform/web/WebBrowserView.h"
#include "platform/web/WebEngineError.h"
#include "platform/web/WebEngineFields.h"
#include "platform/web/WebPage.h"
#include "platform/web/WebRequestServing.h"
#include "platform/web/WebNavigation.h"

namespace ql::ui {
namespace {

// How long a script may run in the page before the engine stops it; the wait for its answer is bounded
// a little beyond, and a page whose own script holds it past that bound has that script stopped.
constexpr double kScriptTimeout = 2;
constexpr double kScriptAnswerTimeout = kScriptTimeout + 3;

bool servedByInterception(const std::optional<ns::URL>& url) {
    if (!url) return false;
    const std::string scheme = url->scheme().value_or("");
    return scheme == "http" || scheme == "https";
}

}  // namespace

WebView::WebView(const cg::Rect& frame)
    : View(frame), scrollView_(std::make_shared<ScrollView>(bounds())), replyBudget_(viewReplyBudget()) {
    scrollView_->setAutoresizingMask(ViewAutoresizingFlexibleWidth | ViewAutoresizingFlexibleHeight);
    addSubview(scrollView_);
    contentView_ = std::make_shared<WebBrowserView>(bounds());
    scrollView_->addSubview(contentView_);
}

WebView::~WebView() {
    dismissDialog();
    for (auto& [id, task] : serving_) task->cancel();
    if (loadTimer_) loadTimer_->invalidate();
}

WebPage* WebView::page(ns::Error* error) {
    if (page_ && page_->isAlive()) return page_.get();
    forgetPage();
    const std::uint64_t serial = pageSerial_;
    std::weak_ptr<WebView> weak = std::static_pointer_cast<WebView>(shared_from_this());
    page_ = WebPage::open(
        eventsListenedFor(), [weak, serial](std::string_view method, const ns::Value& params) {
            if (auto self = weak.lock()) self->handleEvent(serial, method, params);
        },
        error);
    if (page_) {
        viewport_ = cg::Size{};
        applyViewport();
    }
    return page_.get();
}

bool WebView::askDelegate(const ns::URLRequest& request, WebViewNavigationType type) {
    auto delegate = delegate_.lock();
    return !delegate || delegate->webViewShouldStartLoadWithRequest(*this, request, type);
}

bool WebView::begin(const ns::URLRequest& asked, WebViewNavigationType type) {
    assertMainThread();
    ns::URLRequest request = asked;
    // The view's own loads are the main document's.
    if (!request.mainDocumentURL()) request.setMainDocumentURL(request.URL());
    if (!askDelegate(request, type)) return false;
    dismissDialog();
    if (loading_ && page_ && page_->isAlive()) page_->send("Page.stopLoading", {});
    abandonLoad(cancelledError(request_));
    ++load_;
    request_ = request;
    loading_ = true;
    reportStart(load_);
    startLoadTimer(request.timeoutInterval());
    return true;
}

void WebView::reportStart(std::uint64_t load) {
    startPending_ = load;
    std::weak_ptr<WebView> weak = std::static_pointer_cast<WebView>(shared_from_this());
    ns::DispatchQueue::main()->async([weak, load] {
        auto self = weak.lock();
        if (self && self->startPending_ == load) self->tellPendingStart();
    });
}

void WebView::tellPendingStart() {
    if (startPending_ == 0) return;
    startPending_ = 0;
    if (auto delegate = delegate_.lock()) delegate->webViewDidStartLoad(*this);
}

void WebView::startLoadTimer(double interval) {
    if (loadTimer_) loadTimer_->invalidate();
    std::weak_ptr<WebView> weak = std::static_pointer_cast<WebView>(shared_from_this());
    const std::uint64_t load = load_;
    loadTimer_ = ns::Timer::scheduledTimer(interval, false, [weak, load](ns::Timer&) {
        auto self = weak.lock();
        if (!self) return;
        // A page whose frames stopped has finished, whether or not the engine has confirmed it yet.
        self->settleStoppedLoads();
        if (self->load_ != load || !self->loading_) return;
        // A page that never finishes (an endless reply, a load event that never comes, a script without end)
        // is stopped here.
        self->stopPageScript();
        if (self->page_ && self->page_->isAlive()) self->page_->send("Page.stopLoading", {});
        ns::Dictionary info{{std::string(ns::LocalizedDescriptionKey), ns::Value("The page did not finish loading in time.")}};
        self->abandonLoad(ns::Error(std::string(ns::URLErrorDomain), ns::URLErrorTimedOut, std::move(info)));
    });
}

void WebView::failSoon(std::uint64_t load, const ns::Error& error) {
    std::weak_ptr<WebView> weak = std::static_pointer_cast<WebView>(shared_from_this());
    ns::DispatchQueue::main()->async([weak, load, error] {
        auto self = weak.lock();
        if (self && self->load_ == load) self->abandonLoad(error);
    });
}

// Ends whatever is loading with one failure: the frames still loading end with it, unreported one by one.
void WebView::abandonLoad(const ns::Error& error) {
    if (!loading_) return;
    loading_ = false;
    frameLoads_.clear();
    endOwnNavigation();
    arrivingDocument_.reset();
    // The engine holds each of these requests until it is answered: the page (and a navigation that waits
    // for its document, holding the page's scripts meanwhile) hears at once that it will not come.
    const bool answering = page_ && page_->isAlive();
    for (auto& [id, task] : serving_) {
        task->cancel();
        if (answering) page_->send("Fetch.failRequest", {{"requestId", ns::Value(id)}, {"errorReason", ns::Value("Aborted")}});
    }
    serving_.clear();
    if (loadTimer_) loadTimer_->invalidate();
    // A load ended before its start was told is told of as started first.
    tellPendingStart();
    if (auto delegate = delegate_.lock()) delegate->webViewDidFailLoadWithError(*this, error);
}

void WebView::endOwnNavigation() {
    if (ownNavigation_ && !ownNavigation_->reached && !ownNavigation_->loader.empty()) {
        staleBefore_ = std::max(staleBefore_, ownNavigation_->started + 1);
    }
    ownNavigation_.reset();
}

void WebView::stopPageScript() {
    if (page_ && page_->isAlive()) page_->send("Runtime.terminateExecution", {});
}

void WebView::navigate(OwnNavigation navigation, std::string_view method, ns::Dictionary params) {
    ns::Error error = webEngineError(WebEngineErrorCannotStart, "The web engine could not be started.");
    WebPage* target = page(&error);
    if (!target) {
        failSoon(load_, error);
        return;
    }
    navigation.number = ++ownNavigations_;
    const std::uint64_t number = navigation.number;
    frameLoads_[target->mainFrame()] = FrameLoad{};
    ownNavigation_ = std::move(navigation);
    std::weak_ptr<WebView> weak = std::static_pointer_cast<WebView>(shared_from_this());
    const std::uint64_t load = load_;
    const std::uint64_t serial = pageSerial_;
    target->send(method, std::move(params), [weak, load, serial](const ns::Value& result, const std::optional<std::string>& refusal) {
        auto self = weak.lock();
        if (!self || self->load_ != load || self->pageSerial_ != serial || !self->loading_ || !self->page_) return;
        const std::string failed = refusal ? *refusal : textField(fieldsOf(result), "errorText");
        if (failed.empty()) return;
        auto frame = self->frameLoads_.find(self->page_->mainFrame());
        // A document that came (or failed) ends its load when the engine stops loading the frame.
        if (frame == self->frameLoads_.end() || frame->second.answered) return;
        // The engine could not even begin: no document will come for this load (unless its page's process
        // ended, which the engine tells of after this answer).
        if (!frame->second.error) {
            ns::Dictionary info{{std::string(ns::LocalizedDescriptionKey), ns::Value("The page could not be loaded (" + failed + ").")}};
            if (self->request_ && self->request_->URL()) {
                info.set(std::string(ns::URLErrorFailingURLStringErrorKey), ns::Value(self->request_->URL()->absoluteString()));
            }
            frame->second.error = ns::Error(std::string(ns::URLErrorDomain), ns::URLErrorUnsupportedURL, std::move(info));
        }
        self->frameStopped(frame->first);
    });
    // Answered once the engine has handled the navigation's command, which starts the navigation.
    ++placing_;
    target->send("Page.getNavigationHistory", {}, [weak, serial, number](const ns::Value&, const std::optional<std::string>&) {
        auto self = weak.lock();
        if (self && self->pageSerial_ == serial) self->ownNavigationPlaced(number);
    });
}

void WebView::loadRequest(const ns::URLRequest& request) {
    if (!begin(request, WebViewNavigationType::Other)) return;
    const std::string url = request.URL() ? request.URL()->absoluteString() : std::string();
    navigate(OwnNavigation{.URL = url, .request = request}, "Page.navigate", {{"url", ns::Value(url)}});
}

void WebView::loadData(const ns::Data& data, const std::string& MIMEType, const std::string& textEncodingName,
                       const std::optional<ns::URL>& baseURL) {
    const auto url = baseURL ? baseURL : ns::URL::fromString("about:blank");
    if (!begin(ns::URLRequest(url), WebViewNavigationType::Other)) return;
    GivenDocument document{data, MIMEType, textEncodingName};
    if (servedByInterception(baseURL)) {
        const std::string address = baseURL->absoluteString();
        navigate(OwnNavigation{.URL = address, .document = document}, "Page.navigate", {{"url", ns::Value(address)}});
        return;
    }
    // Only the network schemes pass through the engine's interception; any other document is handed over
    // as a data address.
    const std::string address = "data:" + contentType(MIMEType, textEncodingName) + ";base64," + ns::base64EncodedString(data);
    navigate(OwnNavigation{.URL = address}, "Page.navigate", {{"url", ns::Value(address)}});
    arrivingDocument_ = ShownDocument{document, baseURL};
}

void WebView::loadHTMLString(const std::string& html, const std::optional<ns::URL>& baseURL) {
    loadData(ns::Data(html), "text/html", "utf-8", baseURL);
}

void WebView::stopLoading() {
    assertMainThread();
    dismissDialog();
    const bool wasLoading = loading_;
    abandonLoad(cancelledError(request_));
    if (wasLoading && page_ && page_->isAlive()) page_->send("Page.stopLoading", {});
}

void WebView::reload() {
    if (!request_ || !page_ || !page_->isAlive()) {
        if (request_) loadRequest(*request_);
        return;
    }
    const ns::URLRequest current = *request_;
    if (!begin(current, WebViewNavigationType::Reload)) return;
    const std::string url = current.URL() ? current.URL()->absoluteString() : std::string();
    navigate(OwnNavigation{.URL = url}, "Page.reload", {});
}

ns::Value WebView::navigationHistory() const {
    if (!page_ || !page_->isAlive()) return ns::Value();
    return page_->call("Page.getNavigationHistory", {});
}

namespace {

// The page's history without the blank page every target starts on.
struct History {
    std::int64_t current = 0;
    std::vector<const ns::Value*> entries;
};

History historyOf(const ns::Value& value) {
    History history;
    const auto& fields = fieldsOf(value);
    const ns::Value* entries = fields.find("entries");
    const ns::Value* current = fields.find("currentIndex");
    if (!entries || !entries->asArray() || !current) return history;
    for (const auto& entry : *entries->asArray()) history.entries.push_back(&entry);
    history.current = current->int64Value();
    if (!history.entries.empty() && textField(fieldsOf(*history.entries.front()), "url") == "about:blank") {
        history.entries.erase(history.entries.begin());
        --history.current;
    }
    return history;
}

}  // namespace

bool WebView::canGoBack() const {
    const auto history = historyOf(navigationHistory());
    return history.current > 0 && history.current < static_cast<std::int64_t>(history.entries.size());
}

bool WebView::canGoForward() const {
    const auto history = historyOf(navigationHistory());
    return history.current >= 0 && history.current + 1 < static_cast<std::int64_t>(history.entries.size());
}

void WebView::goBack() { travel(-1); }

void WebView::goForward() { travel(1); }

void WebView::travel(int step) {
    const ns::Value value = navigationHistory();
    const auto history = historyOf(value);
    const std::int64_t target = history.current + step;
    if (history.current < 0 || target < 0 || target >= static_cast<std::int64_t>(history.entries.size())) return;
    const auto& entry = fieldsOf(*history.entries[static_cast<std::size_t>(target)]);
    const std::string url = textField(entry, "url");
    if (!begin(ns::URLRequest(ns::URL::fromString(url)), WebViewNavigationType::BackForward)) return;
    const ns::Value* id = entry.find("id");
    navigate(OwnNavigation{.URL = url}, "Page.navigateToHistoryEntry", {{"entryId", id ? *id : ns::Value(0)}});
}

std::string WebView::stringByEvaluatingJavaScriptFromString(const std::string& script) {
    assertMainThread();
    if (!page_ || !page_->isAlive()) return "";
    // While the page's next document is on its way the engine runs no script in it until that document's
    // reply has come, and the reply is served on this thread: asking now could only wait out the bound.
    // A page showing a dialog runs no script until the dialog is answered, which only this thread can do.
    if (awaitingMainDocument() || dialog_) return "";
    std::string problem;
    const ns::Value reply = page_->call("Runtime.evaluate",
                                        {{"expression", ns::Value(script)},
                                         {"returnByValue", ns::Value(true)},
                                         {"timeout", ns::Value(kScriptTimeout * 1000)}},
                                        &problem, kScriptAnswerTimeout);
    // The page's own script held the page past the bound: it is stopped, so the page answers again.
    if (problem == WebEngine::kNoAnswer) stopPageScript();
    const auto& fields = fieldsOf(reply);
    if (fields.contains("exceptionDetails")) return "";
    const auto& result = fieldsOf(fields["result"]);
    if (textField(result, "type") != "string") return "";
    return textField(result, "value");
}

bool WebView::awaitingMainDocument() const {
    if (askingAboutMainDocument_) return true;
    const auto main = frameLoads_.find(page_->mainFrame());
    return main != frameLoads_.end() && !main->second.answered;
}

void WebView::endFrameLoad(std::string frame) {
    auto found = frameLoads_.find(frame);
    if (found == frameLoads_.end()) return;
    const std::optional<ns::Error> error = found->second.error;
    frameLoads_.erase(found);
    const bool mainFrame = page_ && frame == page_->mainFrame();
    if (mainFrame) {
        endOwnNavigation();
        if (arrivingDocument_ && !error) {
            documentData_ = arrivingDocument_->document.data;
            documentMIMEType_ = arrivingDocument_->document.MIMEType;
            documentTextEncodingName_ = arrivingDocument_->document.textEncodingName;
            documentBaseURL_ = arrivingDocument_->URL;
        }
        arrivingDocument_.reset();
    }
    if (frameLoads_.empty()) {
        loading_ = false;
        if (loadTimer_) loadTimer_->invalidate();
    }
    if (mainFrame) renderNewDocument();
    tellPendingStart();
    if (auto delegate = delegate_.lock()) {
        if (error) {
            delegate->webViewDidFailLoadWithError(*this, *error);
        } else {
            delegate->webViewDidFinishLoad(*this);
        }
    }
}

void WebView::frameStopped(const std::string& frame) {
    auto found = frameLoads_.find(frame);
    if (found == frameLoads_.end() || found->second.stopped) return;
    found->second.stopped = true;
    std::weak_ptr<WebView> weak = std::static_pointer_cast<WebView>(shared_from_this());
    const std::uint64_t serial = pageSerial_;
    // Answered by the browser itself, after whatever it was telling of the page when it stopped the frame.
    // Unsent, the engine is gone, and its end fails the load.
    page_->send("Page.getNavigationHistory", {}, [weak, serial, frame](const ns::Value&, const std::optional<std::string>&) {
        auto self = weak.lock();
        if (!self || self->pageSerial_ != serial || !self->page_) return;
        // A load that took the frame's place meanwhile is not stopped (the stopped one ended before it began).
        const auto load = self->frameLoads_.find(frame);
        if (load != self->frameLoads_.end() && load->second.stopped) self->endFrameLoad(frame);
    });
}

void WebView::settleStoppedLoads() {
    const std::uint64_t serial = pageSerial_;
    // Each end tells the delegate, which may do away with the page or start loads of its own.
    while (serial == pageSerial_) {
        const auto stopped = std::find_if(frameLoads_.begin(), frameLoads_.end(), [](const auto& load) { return load.second.stopped; });
        if (stopped == frameLoads_.end()) return;
        endFrameLoad(stopped->first);
    }
}

void WebView::pageProcessEnded() {
    // Left before the delegate hears of it, so that a load it starts then goes to a fresh page.
    dismissDialog();
    forgetPage();
    pageGone(webEngineError(WebEngineErrorPageEnded, "The page's process ended while the page was loading."));
}

void WebView::pageGone(const ns::Error& error) {
    abandonLoad(error);
    // A load the delegate started on hearing of the failure stands for the page now.
    if (loading_) return;
    if (auto delegate = delegate_.lock()) delegate->webViewPageProcessDidEnd(*this);
}

}  // namespace ql::ui
