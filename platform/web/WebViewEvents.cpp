// The web view's side of the engine's events: which navigation each document request and each new document
// belongs to, the delegate's questions, serving the page's requests, windows the page asks for and
// addresses for other applications.

#include <algorithm>

#include "platform/net/URLError.h"
#include "platform/ui/Application.h"
#include "platform/web/WebEngineError.h"
#include "platform/web/WebEngineFields.h"
#include "platform/web/WebNavigation.h"
#include "platform/web/WebPage.h"
#include "platform/web/WebRequestServing.h"
#include "platform/web/WebView.h"

namespace ql::ui {

// What the view does with each kind of event it listens for; the engine passes every other kind over.
const std::map<std::string_view, WebView::EventAction>& WebView::eventActions() {
    using Fields = const ns::Dictionary&;
    static const auto& actions = *new std::map<std::string_view, EventAction>{
        {"Page.frameStartedNavigating",
         [](WebView& view, Fields fields) { view.navigationStarted(textField(fields, "frameId"), textField(fields, "loaderId")); }},
        {"Fetch.requestPaused", [](WebView& view, Fields fields) { view.requestPaused(fields); }},
        {"Page.frameNavigated", [](WebView& view, Fields fields) { view.frameNavigated(fieldsOf(fields["frame"])); }},
        {"Page.frameStoppedLoading",
         [](WebView& view, Fields fields) {
             const std::string frame = textField(fields, "frameId");
             auto found = view.frameLoads_.find(frame);
             if (found != view.frameLoads_.end() && found->second.answered) view.frameStopped(frame);
         }},
        {"Page.frameRequestedNavigation",
         [](WebView& view, Fields fields) {
             view.navigationRequested(textField(fields, "frameId"), textField(fields, "url"), textField(fields, "reason"));
         }},
        {"Page.windowOpen",
         [](WebView& view, Fields fields) {
             const ns::Value* gesture = fields.find("userGesture");
             view.windowRequested(textField(fields, "url"), gesture && gesture->boolValue());
         }},
        {"Page.navigatedWithinDocument",
         [](WebView& view, Fields fields) { view.navigatedWithinDocument(textField(fields, "frameId"), textField(fields, "url")); }},
        {"Page.javascriptDialogOpening", [](WebView& view, Fields fields) { view.dialogOpening(fields); }},
        {"Page.javascriptDialogClosed", [](WebView& view, Fields) { view.dialogClosed(); }},
        {"Runtime.bindingCalled",
         [](WebView& view, Fields fields) {
             if (textField(fields, "name") == WebPage::kFocusBinding) view.pageFocusChanged(textField(fields, "payload") == "editing");
         }},
        {"Page.frameDetached",
         [](WebView& view, Fields fields) {
             // The frame went with its document; its load cannot end any more.
             const std::string frame = textField(fields, "frameId");
             view.frameLoads_.erase(frame);
             view.navigationReasons_.erase(frame);
             view.startedNavigations_.erase(frame);
         }},
        {WebEngine::kPageEndedEvent, [](WebView& view, Fields) { view.pageProcessEnded(); }},
    };
    return actions;
}

std::vector<std::string_view> WebView::eventsListenedFor() {
    std::vector<std::string_view> methods;
    for (const auto& [method, action] : eventActions()) methods.push_back(method);
    return methods;
}

void WebView::handleEvent(std::uint64_t pageSerial, std::string_view method, const ns::Value& params) {
    if (pageSerial != pageSerial_ || !page_) return;
    if (method == WebEngine::kEngineEnded) {
        page_->markEnded();
        dismissDialog();
        pageGone(webEngineError(WebEngineErrorEnded, "The web engine ended while the page was loading."));
        return;
    }
    // Any other event than the frames stopping that the end of a page's process brings (before the engine
    // tells of that end) shows the page living on.
    if (method != WebEngine::kPageEndedEvent && method != "Page.frameStoppedLoading") {
        settleStoppedLoads();
        if (pageSerial != pageSerial_ || !page_) return;
    }
    const auto action = eventActions().find(method);
    if (action != eventActions().end()) action->second(*this, fieldsOf(params));
}

void WebView::navigationStarted(const std::string& frame, const std::string& loader) {
    // A document request comes after its navigation's start, but may come after a later one's: a few are
    // kept to tell which it belongs to.
    constexpr std::size_t kKept = 8;
    auto& started = startedNavigations_[frame];
    started.push_back(StartedNavigation{loader, ++navigationsStarted_});
    if (started.size() > kKept) started.erase(started.begin());
}

// The engine has handled the command after an own navigation's: the main frame's last navigation started is
// that one, unless the engine could not start it at all (and then its load has ended already).
void WebView::ownNavigationPlaced(std::uint64_t number) {
    --placing_;
    const auto started = startedNavigations_.find(page_->mainFrame());
    if (started != startedNavigations_.end() && !started->second.empty()) {
        const StartedNavigation& last = started->second.back();
        if (ownNavigation_ && ownNavigation_->number == number && ownNavigation_->loader.empty()) {
            // Navigations started before it were replaced by it.
            staleBefore_ = std::max(staleBefore_, last.number);
            ownNavigation_->loader = last.loader;
            ownNavigation_->started = last.number;
            if (auto load = frameLoads_.find(page_->mainFrame()); load != frameLoads_.end()) load->second.loader = last.loader;
        } else {
            // Given up before the engine placed it: it is not loaded either.
            staleBefore_ = std::max(staleBefore_, last.number + 1);
        }
    }
    if (placing_ > 0) return;
    std::vector<HeldDocument> held;
    held.swap(heldDocuments_);
    const std::uint64_t serial = pageSerial_;
    for (auto& document : held) {
        if (pageSerial_ != serial) return;
        documentRequested(document.requestID, page_->mainFrame(), std::move(document.page), document.redirected,
                          document.navigation);
    }
}

void WebView::requestPaused(const ns::Dictionary& params) {
    const std::string requestID = textField(params, "requestId");
    PageRequest page = pageRequestFromEvent(params["request"]);
    ns::URLRequest& request = page.request;
    if (textField(params, "resourceType") != "Document") {
        request.setMainDocumentURL(request_ ? request_->URL() : std::nullopt);
        serve(requestID, request, "", page.unsendable);
        return;
    }
    // The request names its navigation's loader (as the network domain knows it).
    const std::string frame = textField(params, "frameId");
    const std::string loader = textField(params, "networkId");
    // One no longer among those kept started long ago.
    StartedNavigation navigation{loader, 0};
    if (const auto started = startedNavigations_.find(frame); started != startedNavigations_.end() && !started->second.empty()) {
        const auto& list = started->second;
        const auto named = std::find_if(list.rbegin(), list.rend(), [&](const StartedNavigation& each) { return each.loader == loader; });
        if (named != list.rend()) navigation = *named;
    }
    const bool redirected = params.contains("redirectedRequestId");
    if (frame == page_->mainFrame() && placing_ > 0) {
        heldDocuments_.push_back(HeldDocument{requestID, std::move(page), redirected, navigation});
        return;
    }
    documentRequested(requestID, frame, std::move(page), redirected, navigation);
}

void WebView::documentRequested(const std::string& requestID, const std::string& frame, PageRequest page,
                                bool redirected, const StartedNavigation& navigation) {
    ns::URLRequest& request = page.request;
    const bool mainFrame = frame == page_->mainFrame();
    const bool own = mainFrame && ownNavigation_ && !ownNavigation_->loader.empty() && ownNavigation_->loader == navigation.loader;
    const auto current = frameLoads_.find(frame);
    const bool ofTheLoad = current != frameLoads_.end() && !current->second.loader.empty() && current->second.loader == navigation.loader;
    if (mainFrame && navigation.number < staleBefore_ && !own && !ofTheLoad) {
        // A navigation the view's own replaced, one the view gave up before the engine reached it, or one a
        // document that has since been replaced started.
        page_->send("Fetch.fulfillRequest", noContent(requestID));
        return;
    }
    if (own && !ownNavigation_->reached && !redirected) {
        // Asked already when the view started it.
        ownNavigation_->reached = true;
        const OwnNavigation& started = *ownNavigation_;
        if (started.document) {
            arrivingDocument_ = ShownDocument{*started.document, request.URL()};
            FrameLoad& load = frameLoads_[frame];
            load.answered = true;
            answerHeld(requestID,
                       fulfilment(requestID, started.document->data, started.document->MIMEType, started.document->textEncodingName),
                       &load, request.URL());
            return;
        }
        // The view's own request goes with its own body; the engine's (a reload's) with the one it carries.
        ns::URLRequest sent = started.request.value_or(request);
        sent.setMainDocumentURL(sent.URL());
        serve(requestID, sent, frame, started.request ? std::nullopt : page.unsendable);
        return;
    }
    if (mainFrame && !redirected && !own && ownNavigation_ && !ownNavigation_->loader.empty() && !ownNavigation_->committed) {
        // The page being left cannot take the view away from the view's own navigation.
        page_->send("Fetch.fulfillRequest", noContent(requestID));
        resendOwnNavigation();
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
    const bool continuing = redirected && ofTheLoad;
    // A redirect's reply was no document: the frame awaits the one at the new address.
    if (continuing) current->second.answered = false;
    bool allowed = false;
    const std::uint64_t serial = pageSerial_;
    std::uint64_t load = load_;
    {
        MainDocumentAsked asked(*this, mainFrame);
        allowed = askDelegate(request, type);
    }
    // The delegate may have done away with the page meanwhile (the view released or given a new page).
    if (serial != pageSerial_ || !page_) return;
    if (!allowed) {
        page_->send("Fetch.failRequest", {{"requestId", ns::Value(requestID)}, {"errorReason", ns::Value("Aborted")}});
        if (continuing && load == load_) {
            frameLoads_[frame].error = cancelledError(request);
            endFrameLoad(frame);
        }
        return;
    }
    if (!continuing && load == load_) {
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
        frameLoads_[frame] = FrameLoad{.loader = navigation.loader};
        load = load_;
        if (auto delegate = delegate_.lock()) delegate->webViewDidStartLoad(*this);
        if (serial != pageSerial_ || !page_) return;
    }
    if (load != load_) {
        // The delegate started a load of its own meanwhile, which takes the place of this one.
        page_->send("Fetch.fulfillRequest", noContent(requestID));
        return;
    }
    if (mainFrame) request_ = request;
    serve(requestID, request, frame, page.unsendable);
}

void WebView::serve(const std::string& requestID, const ns::URLRequest& request, const std::string& documentFrame,
                    const std::optional<ns::Error>& unsendable) {
    if (auto refusal = unsendable ? unsendable : refusalForPage(request)) {
        if (auto frame = frameLoads_.find(documentFrame); !documentFrame.empty() && frame != frameLoads_.end()) {
            frame->second.answered = true;
            frame->second.error = *refusal;
        }
        page_->send("Fetch.failRequest", failure(requestID, *refusal));
        return;
    }
    std::weak_ptr<WebView> weak = std::static_pointer_cast<WebView>(shared_from_this());
    const std::uint64_t serial = pageSerial_;
    const auto asked = frameLoads_.find(documentFrame);
    const std::string loader = asked != frameLoads_.end() ? asked->second.loader : std::string();
    auto task = loadForPage(request, replyBudget_, [weak, serial, requestID, documentFrame, loader](
                                         const WebReplyBody& body, const std::shared_ptr<ns::URLResponse>& response,
                                         const std::optional<ns::Error>& error) {
        auto self = weak.lock();
        if (!self || serial != self->pageSerial_ || !self->page_) return;
        if (!self->serving_.erase(requestID)) return;
        auto frame = self->frameLoads_.find(documentFrame);
        // Only the load the document was asked for takes it.
        const bool document = !documentFrame.empty() && frame != self->frameLoads_.end() && frame->second.loader == loader;
        if (document) frame->second.answered = true;
        if (error) {
            if (document) frame->second.error = *error;
            self->page_->send("Fetch.failRequest", failure(requestID, *error));
            return;
        }
        if (document && documentFrame == self->page_->mainFrame()) {
            self->arrivingDocument_ = ShownDocument{
                GivenDocument{body.data(), response->MIMEType().value_or(""), response->textEncodingName().value_or("")},
                response->URL()};
        }
        self->answerHeld(requestID, fulfilment(requestID, body, *response), document ? &frame->second : nullptr, response->URL());
    });
    if (task) serving_[requestID] = task;
}

void WebView::answerHeld(const std::string& requestID, ns::Dictionary reply, FrameLoad* load, const std::optional<ns::URL>& url) {
    if (page_->send("Fetch.fulfillRequest", std::move(reply)) || !page_->isAlive()) return;
    // Larger than the engine takes in one message: given up as a reply past its bound is.
    const ns::Error tooLarge = ns::urlError(ns::URLErrorDataLengthExceedsMaximum, url);
    if (load) load->error = tooLarge;
    page_->send("Fetch.failRequest", failure(requestID, tooLarge));
}

void WebView::frameNavigated(const ns::Dictionary& frame) {
    const std::string id = textField(frame, "id");
    const std::string url = textField(frame, "url");
    // Navigations started so far came from documents that are gone now.
    if (id == page_->mainFrame()) staleBefore_ = std::max(staleBefore_, navigationsStarted_ + 1);
    auto found = frameLoads_.find(id);
    // Only the document of the load's own navigation answers it; one of an earlier navigation does not.
    if (found == frameLoads_.end() || found->second.loader.empty() || found->second.loader != textField(frame, "loaderId")) return;
    // The engine's error page shows a failure; one that comes while a load has not failed is an earlier one's.
    const bool errorPage = frame.contains("unreachableUrl") || url.rfind("chrome-error:", 0) == 0;
    if (!errorPage || found->second.error) found->second.answered = true;
    if (id != page_->mainFrame()) return;
    if (ownNavigation_ && ownNavigation_->loader == found->second.loader) ownNavigation_->committed = true;
    // The address the document came from in the end (after redirects); an error page keeps the asked one.
    if (request_ && url.rfind("http", 0) == 0) request_->setURL(ns::URL::fromString(url));
    showNewDocumentFromTop();
}

void WebView::navigatedWithinDocument(const std::string& frame, const std::string& url) {
    const bool mainFrame = frame == page_->mainFrame();
    if (mainFrame && ownNavigation_ && !ownNavigation_->reached) {
        // The view's own load went to a place in the document shown: asked when it started, it is done.
        if (request_) request_->setURL(ns::URL::fromString(url));
        frameLoads_[frame].answered = true;
        endFrameLoad(frame);
        return;
    }
    auto reason = navigationReasons_.find(frame);
    const auto type = reason == navigationReasons_.end() ? WebViewNavigationType::LinkClicked : reason->second;
    if (reason != navigationReasons_.end()) navigationReasons_.erase(reason);
    ns::URLRequest request(ns::URL::fromString(url));
    request.setMainDocumentURL(mainFrame ? request.URL() : (request_ ? request_->URL() : std::nullopt));
    // The jump has happened by the time the engine tells of it; the delegate hears of it all the same.
    askDelegate(request, type);
    if (mainFrame && request_) request_->setURL(request.URL());
}

void WebView::navigationRequested(const std::string& frame, const std::string& url, const std::string& reason) {
    const auto type = navigationTypeForReason(reason);
    const auto address = ns::URL::fromString(url);
    if (address && !loadsInPage(*address)) {
        handOn(*address, frame, type);
        return;
    }
    navigationReasons_[frame] = type;
}

void WebView::windowRequested(const std::string& url, bool userGesture) {
    const auto address = ns::URL::fromString(url);
    if (url.empty() || !address || url == "about:blank") return;
    const auto type = userGesture ? WebViewNavigationType::LinkClicked : WebViewNavigationType::Other;
    if (!loadsInPage(*address)) {
        handOn(*address, page_->mainFrame(), type);
        return;
    }
    // Loaded here, as a navigation of this view, through the view's own loading.
    ns::URLRequest request(address);
    if (!begin(request, type)) return;
    navigate(OwnNavigation{.URL = url, .request = request}, "Page.navigate", {{"url", ns::Value(url)}});
}

void WebView::handOn(const ns::URL& url, const std::string& frame, WebViewNavigationType type) {
    ns::URLRequest request(url);
    request.setMainDocumentURL(frame == page_->mainFrame() ? request.URL() : (request_ ? request_->URL() : std::nullopt));
    if (askDelegate(request, type)) Application::sharedApplication().openURL(url);
}

}  // namespace ql::ui
