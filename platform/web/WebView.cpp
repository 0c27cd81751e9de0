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

namespace ql::ui {
namespace {

// How long a script may run in the page before the engine stops it; the wait for its answer is bounded
// a little beyond.
constexpr double kScriptTimeout = 2;
constexpr std::size_t kSupersededKept = 8;

ns::Error cancelledError(const std::optional<ns::URLRequest>& request) {
    ns::Dictionary info{{std::string(ns::LocalizedDescriptionKey), ns::Value("cancelled")}};
    if (request && request->URL()) {
        info.set(std::string(ns::URLErrorFailingURLStringErrorKey), ns::Value(request->URL()->absoluteString()));
    }
    return ns::Error(std::string(ns::URLErrorDomain), ns::URLErrorCancelled, std::move(info));
}

WebViewNavigationType navigationTypeForReason(std::string_view reason) {
    if (reason == "anchorClick") return WebViewNavigationType::LinkClicked;
    if (reason == "formSubmissionGet" || reason == "formSubmissionPost") return WebViewNavigationType::FormSubmitted;
    if (reason == "reload") return WebViewNavigationType::Reload;
    return WebViewNavigationType::Other;
}

bool servedByInterception(const std::optional<ns::URL>& url) {
    if (!url) return false;
    const std::string scheme = url->scheme().value_or("");
    return scheme == "http" || scheme == "https";
}

}  // namespace

WebView::WebView(const cg::Rect& frame) : View(frame), scrollView_(std::make_shared<ScrollView>(bounds())) {
    scrollView_->setAutoresizingMask(ViewAutoresizingFlexibleWidth | ViewAutoresizingFlexibleHeight);
    addSubview(scrollView_);
    contentView_ = std::make_shared<WebBrowserView>(bounds());
    scrollView_->addSubview(contentView_);
}

WebView::~WebView() {
    for (auto& [id, task] : serving_) task->cancel();
    if (loadTimer_) loadTimer_->invalidate();
}

WebPage* WebView::page(ns::Error* error) {
    if (page_ && page_->isAlive()) return page_.get();
    page_.reset();
    const std::uint64_t serial = ++pageSerial_;
    std::weak_ptr<WebView> weak = std::static_pointer_cast<WebView>(shared_from_this());
    page_ = WebPage::open(
        [weak, serial](std::string_view method, const ns::Value& params) {
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
    std::weak_ptr<WebView> weak = std::static_pointer_cast<WebView>(shared_from_this());
    ns::DispatchQueue::main()->async([weak, load] {
        auto self = weak.lock();
        if (!self || self->load_ != load || !self->loading_) return;
        if (auto delegate = self->delegate_.lock()) delegate->webViewDidStartLoad(*self);
    });
}

void WebView::startLoadTimer(double interval) {
    if (loadTimer_) loadTimer_->invalidate();
    std::weak_ptr<WebView> weak = std::static_pointer_cast<WebView>(shared_from_this());
    const std::uint64_t load = load_;
    loadTimer_ = ns::Timer::scheduledTimer(interval, false, [weak, load](ns::Timer&) {
        auto self = weak.lock();
        if (!self || self->load_ != load || !self->loading_) return;
        // A page that never finishes (an endless reply, a load event that never comes) is stopped here.
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
    if (ownNavigation_ && !ownNavigation_->reached) {
        // Kept to recognise its request should the engine still make it; only the latest few can be late.
        supersededURLs_.push_back(ownNavigation_->URL);
        if (supersededURLs_.size() > kSupersededKept) supersededURLs_.erase(supersededURLs_.begin());
    }
    ownNavigation_.reset();
    arrivingDocument_.reset();
    for (auto& [id, task] : serving_) task->cancel();
    serving_.clear();
    if (loadTimer_) loadTimer_->invalidate();
    if (auto delegate = delegate_.lock()) delegate->webViewDidFailLoadWithError(*this, error);
}

void WebView::navigate(OwnNavigation navigation, std::string_view method, ns::Dictionary params) {
    ns::Error error = webEngineError(WebEngineErrorCannotStart, "The web engine could not be started.");
    WebPage* target = page(&error);
    if (!target) {
        failSoon(load_, error);
        return;
    }
    frameLoads_[target->mainFrame()] = FrameLoad{};
    ownNavigation_ = std::move(navigation);
    std::weak_ptr<WebView> weak = std::static_pointer_cast<WebView>(shared_from_this());
    const std::uint64_t load = load_;
    target->send(method, std::move(params), [weak, load](const ns::Value& result, const std::optional<std::string>& refusal) {
        auto self = weak.lock();
        if (!self || self->load_ != load || !self->loading_ || !self->page_) return;
        const std::string failed = refusal ? *refusal : textField(fieldsOf(result), "errorText");
        if (failed.empty()) return;
        auto frame = self->frameLoads_.find(self->page_->mainFrame());
        // A document that came (or failed) ends its load when the engine stops loading the frame.
        if (frame == self->frameLoads_.end() || frame->second.answered) return;
        // The engine could not even begin: no document will come for this load.
        if (!frame->second.error) {
            ns::Dictionary info{{std::string(ns::LocalizedDescriptionKey), ns::Value("The page could not be loaded (" + failed + ").")}};
            if (self->request_ && self->request_->URL()) {
                info.set(std::string(ns::URLErrorFailingURLStringErrorKey), ns::Value(self->request_->URL()->absoluteString()));
            }
            frame->second.error = ns::Error(std::string(ns::URLErrorDomain), ns::URLErrorUnsupportedURL, std::move(info));
        }
        self->endFrameLoad(frame->first);
    });
}

void WebView::loadRequest(const ns::URLRequest& request) {
    if (!begin(request, WebViewNavigationType::Other)) return;
    const std::string url = request.URL() ? request.URL()->absoluteString() : std::string();
    navigate(OwnNavigation{url, request, std::nullopt}, "Page.navigate", {{"url", ns::Value(url)}});
}

void WebView::loadData(const ns::Data& data, const std::string& MIMEType, const std::string& textEncodingName,
                       const std::optional<ns::URL>& baseURL) {
    const auto url = baseURL ? baseURL : ns::URL::fromString("about:blank");
    if (!begin(ns::URLRequest(url), WebViewNavigationType::Other)) return;
    GivenDocument document{data, MIMEType, textEncodingName};
    if (servedByInterception(baseURL)) {
        const std::string address = baseURL->absoluteString();
        navigate(OwnNavigation{address, std::nullopt, document}, "Page.navigate", {{"url", ns::Value(address)}});
        return;
    }
    // Only the network schemes pass through the engine's interception; any other document is handed over
    // as a data address.
    const std::string address = "data:" + contentType(MIMEType, textEncodingName) + ";base64," + ns::base64EncodedString(data);
    navigate(OwnNavigation{address, std::nullopt, std::nullopt}, "Page.navigate", {{"url", ns::Value(address)}});
    arrivingDocument_ = ShownDocument{document, baseURL};
    if (page_) frameLoads_[page_->mainFrame()].answered = true;
}

void WebView::loadHTMLString(const std::string& html, const std::optional<ns::URL>& baseURL) {
    loadData(ns::Data(html), "text/html", "utf-8", baseURL);
}

void WebView::stopLoading() {
    assertMainThread();
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
    navigate(OwnNavigation{url, std::nullopt, std::nullopt}, "Page.reload", {});
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
    navigate(OwnNavigation{url, std::nullopt, std::nullopt}, "Page.navigateToHistoryEntry",
             {{"entryId", id ? *id : ns::Value(0)}});
}

std::string WebView::stringByEvaluatingJavaScriptFromString(const std::string& script) {
    assertMainThread();
    if (!page_ || !page_->isAlive()) return "";
    // While the page's next document is on its way the engine runs no script in it until that document's
    // reply has come, and the reply is served on this thread: asking now could only wait out the bound.
    if (awaitingMainDocument()) return "";
    const ns::Value reply = page_->call("Runtime.evaluate",
                                        {{"expression", ns::Value(script)},
                                         {"returnByValue", ns::Value(true)},
                                         {"timeout", ns::Value(kScriptTimeout * 1000)}},
                                        nullptr, kScriptTimeout + 3);
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
        ownNavigation_.reset();
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
    if (auto delegate = delegate_.lock()) {
        if (error) {
            delegate->webViewDidFailLoadWithError(*this, *error);
        } else {
            delegate->webViewDidFinishLoad(*this);
        }
    }
}

void WebView::handleEvent(std::uint64_t pageSerial, std::string_view method, const ns::Value& params) {
    if (pageSerial != pageSerial_ || !page_) return;
    const auto& fields = fieldsOf(params);
    if (method == WebEngine::kEngineEnded) {
        page_->markEnded();
        abandonLoad(webEngineError(WebEngineErrorEnded, "The web engine ended while the page was loading."));
    } else if (method == "Fetch.requestPaused") {
        requestPaused(fields);
    } else if (method == "Page.frameNavigated") {
        frameNavigated(fieldsOf(fields["frame"]));
    } else if (method == "Page.frameStoppedLoading") {
        const std::string frame = textField(fields, "frameId");
        auto found = frameLoads_.find(frame);
        if (found != frameLoads_.end() && found->second.answered) endFrameLoad(frame);
    } else if (method == "Page.frameRequestedNavigation" || method == "Page.frameScheduledNavigation") {
        navigationReasons_[textField(fields, "frameId")] = navigationTypeForReason(textField(fields, "reason"));
    } else if (method == "Page.navigatedWithinDocument") {
        navigatedWithinDocument(textField(fields, "frameId"), textField(fields, "url"));
    } else if (method == "Runtime.bindingCalled" && textField(fields, "name") == WebPage::kFocusBinding) {
        pageFocusChanged(textField(fields, "payload") == "editing");
    } else if (method == "Page.frameDetached") {
        // The frame went with its document; its load cannot end any more.
        frameLoads_.erase(textField(fields, "frameId"));
        navigationReasons_.erase(textField(fields, "frameId"));
    }
}

void WebView::frameNavigated(const ns::Dictionary& frame) {
    const std::string id = textField(frame, "id");
    const std::string url = textField(frame, "url");
    auto found = frameLoads_.find(id);
    // The engine's error page shows a failure; one that comes while a load has not failed is an earlier one's.
    const bool errorPage = frame.contains("unreachableUrl") || url.rfind("chrome-error:", 0) == 0;
    if (found != frameLoads_.end() && (!errorPage || found->second.error)) found->second.answered = true;
    if (id != page_->mainFrame()) return;
    // The address the document came from in the end (after redirects); an error page keeps the asked one.
    if (request_ && url.rfind("http", 0) == 0) request_->setURL(ns::URL::fromString(url));
    if (loading_) showNewDocumentFromTop();
}

void WebView::navigatedWithinDocument(const std::string& frame, const std::string& url) {
    auto reason = navigationReasons_.find(frame);
    const auto type = reason == navigationReasons_.end() ? WebViewNavigationType::LinkClicked : reason->second;
    if (reason != navigationReasons_.end()) navigationReasons_.erase(reason);
    ns::URLRequest request(ns::URL::fromString(url));
    const bool mainFrame = frame == page_->mainFrame();
    request.setMainDocumentURL(mainFrame ? request.URL() : (request_ ? request_->URL() : std::nullopt));
    // The jump has happened by the time the engine tells of it; the delegate hears of it all the same.
    askDelegate(request, type);
    if (mainFrame && request_) request_->setURL(request.URL());
}

void WebView::requestPaused(const ns::Dictionary& params) {
    const std::string requestID = textField(params, "requestId");
    ns::URLRequest request = platformRequestFromPage(params["request"]);
    if (textField(params, "resourceType") == "Document") {
        documentRequested(requestID, textField(params, "frameId"), std::move(request), params.contains("redirectedRequestId"));
        return;
    }
    request.setMainDocumentURL(request_ ? request_->URL() : std::nullopt);
    serve(requestID, request, "");
}

void WebView::documentRequested(const std::string& requestID, const std::string& frame, ns::URLRequest request,
                                bool redirected) {
    const bool mainFrame = frame == page_->mainFrame();
    const std::string url = request.URL() ? request.URL()->absoluteString() : std::string();
    if (mainFrame && !redirected) {
        auto superseded = std::find(supersededURLs_.begin(), supersededURLs_.end(), url);
        if (superseded != supersededURLs_.end() && !(ownNavigation_ && !ownNavigation_->reached && ownNavigation_->URL == url)) {
            // A navigation this view gave up before the engine reached it.
            supersededURLs_.erase(superseded);
            page_->send("Fetch.fulfillRequest", noContent(requestID));
            return;
        }
    }
    if (mainFrame && ownNavigation_ && !ownNavigation_->reached && !redirected) {
        // Asked already when the view started it (the engine may have written its address differently).
        ownNavigation_->reached = true;
        OwnNavigation own = *ownNavigation_;
        if (own.document) {
            arrivingDocument_ = ShownDocument{*own.document, request.URL()};
            frameLoads_[frame].answered = true;
            page_->send("Fetch.fulfillRequest", fulfilment(requestID, own.document->data, own.document->MIMEType,
                                                           own.document->textEncodingName));
            return;
        }
        ns::URLRequest sent = own.request.value_or(request);
        sent.setMainDocumentURL(sent.URL());
        serve(requestID, sent, frame);
        return;
    }
    request.setMainDocumentURL(mainFrame ? request.URL() : (request_ ? request_->URL() : std::nullopt));
    auto reason = navigationReasons_.find(frame);
    auto type = WebViewNavigationType::Other;
    if (reason != navigationReasons_.end()) {
        if (!redirected) type = reason->second;
        navigationReasons_.erase(reason);
    }
    if (type == WebViewNavigationType::Other && request.HTTPMethod() == "POST" && !redirected) {
        type = WebViewNavigationType::FormSubmitted;
    }
    const bool continuing = redirected && frameLoads_.contains(frame);
    // A redirect's reply was no document: the frame awaits the one at the new address.
    if (continuing) frameLoads_[frame].answered = false;
    bool allowed = false;
    {
        MainDocumentAsked asked(*this, mainFrame);
        allowed = askDelegate(request, type);
    }
    if (!allowed) {
        page_->send("Fetch.failRequest", {{"requestId", ns::Value(requestID)}, {"errorReason", ns::Value("Aborted")}});
        if (continuing) {
            frameLoads_[frame].error = cancelledError(request);
            endFrameLoad(frame);
        }
        return;
    }
    if (!continuing) {
        if (mainFrame) {
            // The page went to another document on its own (a link, a form, a script).
            abandonLoad(cancelledError(request_));
            ++load_;
            request_ = request;
            startLoadTimer(request.timeoutInterval());
        } else if (!loading_) {
            startLoadTimer(request.timeoutInterval());
        }
        loading_ = true;
        frameLoads_[frame] = FrameLoad{};
        if (auto delegate = delegate_.lock()) delegate->webViewDidStartLoad(*this);
    }
    if (mainFrame) request_ = request;
    serve(requestID, request, frame);
}

void WebView::serve(const std::string& requestID, const ns::URLRequest& request, const std::string& documentFrame) {
    if (auto refusal = refusalForPage(request)) {
        if (auto frame = frameLoads_.find(documentFrame); !documentFrame.empty() && frame != frameLoads_.end()) {
            frame->second.answered = true;
            frame->second.error = *refusal;
        }
        page_->send("Fetch.failRequest", failure(requestID, *refusal));
        return;
    }
    std::weak_ptr<WebView> weak = std::static_pointer_cast<WebView>(shared_from_this());
    const std::uint64_t serial = pageSerial_;
    auto task = loadForPage(request, [weak, serial, requestID, documentFrame](
                                         const ns::Data& body, const std::shared_ptr<ns::URLResponse>& response,
                                         const std::optional<ns::Error>& error) {
        auto self = weak.lock();
        if (!self || serial != self->pageSerial_ || !self->page_) return;
        if (!self->serving_.erase(requestID)) return;
        auto frame = self->frameLoads_.find(documentFrame);
        const bool document = !documentFrame.empty() && frame != self->frameLoads_.end();
        if (document) frame->second.answered = true;
        if (error) {
            if (document) frame->second.error = *error;
            self->page_->send("Fetch.failRequest", failure(requestID, *error));
            return;
        }
        if (document && documentFrame == self->page_->mainFrame()) {
            self->arrivingDocument_ = ShownDocument{
                GivenDocument{body, response->MIMEType().value_or(""), response->textEncodingName().value_or("")},
                response->URL()};
        }
        self->page_->send("Fetch.fulfillRequest", fulfilment(requestID, body, *response));
    });
    if (task) serving_[requestID] = task;
}

}  // namespace ql::ui
