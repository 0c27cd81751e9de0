#include "web/browser/WebViewController.h"

#include <cfloat>

#include "platform/foundation/Bundle.h"
#include "platform/ui/Application.h"
#include "platform/ui/NavigationBar.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/Screen.h"
#include "web/browser/OpenInBrowserActivity.h"
#include "web/browser/WebPageProbes.h"

namespace ql {

namespace {

// The estimate counts as complete from one float step below 1.
constexpr float kCompleteProgress = 1.0f - FLT_EPSILON;

std::string removeAll(std::string text, std::string_view what) {
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at)) text.erase(at, what.size());
    return text;
}

}  // namespace

WebViewController::WebViewController() : progressManager_(std::make_shared<WebViewProgress>()) {
    setModalPresentationStyle(ui::ModalPresentationStyle::FullScreen);
}

WebViewController::WebViewController(const std::optional<ns::URL>& url) : WebViewController() { url_ = cleanURL(url); }

WebViewController::WebViewController(std::string_view urlString) : WebViewController(ns::URL::fromString(urlString)) {}

WebViewController::~WebViewController() = default;

std::optional<ns::URL> WebViewController::cleanURL(const std::optional<ns::URL>& url) {
    if (!url) return std::nullopt;
    if (url->scheme() && !url->scheme()->empty()) return url;
    // A text without a scheme that still does not make a URL with one is kept as it was.
    if (auto web = ns::URL::fromString("http://" + url->absoluteString())) return web;
    return url;
}

bool WebViewController::pageIsComplete() const { return progressManager_->progress() >= kCompleteProgress; }

ui::ViewController* WebViewController::presenter() const {
    if (ui::ViewController* presenting = presentingViewController()) return presenting;
    if (ui::NavigationController* navigation = navigationController()) return navigation->presentingViewController();
    return nullptr;
}

ui::NavigationBar* WebViewController::navigationBar() {
    ui::NavigationController* navigation = navigationController();
    return navigation ? navigation->navigationBar().get() : nullptr;
}

ui::Toolbar* WebViewController::toolbar() {
    ui::NavigationController* navigation = navigationController();
    return navigation && compactPresentation() ? navigation->toolbar().get() : nullptr;
}

// ---- Configuration ----

void WebViewController::setUrl(const std::optional<ns::URL>& url) {
    // URLs are values here: every call is a new address to show, even an equal one.
    url_ = cleanURL(url);
    if (webView_ && webView_->isLoading()) webView_->stopLoading();
    urlRequest_.setURL(url_);
    if (webView_ && url_) webView_->loadRequest(urlRequest_);
    showPlaceholderTitle();
}

void WebViewController::setLoadingBarTintColor(std::shared_ptr<ui::Color> color) {
    if (color == loadingBarTintColor_) return;
    loadingBarTintColor_ = std::move(color);
    if (progressView_ && loadingBarTintColor_) progressView_->progressBarView()->setBackgroundColor(loadingBarTintColor_);
}

// ---- View lifecycle ----

void WebViewController::loadView() {
    auto self = std::static_pointer_cast<WebViewController>(shared_from_this());
    progressManager_->setWebViewProxyDelegate(std::static_pointer_cast<ui::WebViewDelegate>(self));
    progressManager_->setProgressDelegate(std::static_pointer_cast<WebViewProgressDelegate>(self));

    auto root = std::make_shared<ui::View>(ui::Screen::mainScreen().bounds());
    root->setBackgroundColor(ui::Color::whiteColor());
    root->setOpaque(true);
    root->setClipsToBounds(true);
    setView(root);

    webView_ = std::make_shared<ui::WebView>(root->bounds());
    webView_->setDelegate(progressManager_);
    webView_->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth | ui::ViewAutoresizingFlexibleHeight);
    webView_->setBackgroundColor(ui::Color::clearColor());
    webView_->setScalesPageToFit(true);
    webView_->setContentMode(ui::ContentMode::Redraw);
    webView_->setOpaque(true);
    root->addSubview(webView_);

    cg::Rect barBounds = cg::Rect::zero();
    if (ui::NavigationBar* bar = navigationBar()) barBounds = bar->bounds();
    progressView_ = std::make_shared<WebViewProgressView>(
        cg::Rect{0, barBounds.size.height - 2, barBounds.size.width, 2});
    progressView_->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth | ui::ViewAutoresizingFlexibleTopMargin);
    if (loadingBarTintColor_) progressView_->progressBarView()->setBackgroundColor(loadingBarTintColor_);

    if (!navigationButtonsHidden_) setUpNavigationButtons();
}

void WebViewController::viewDidLoad() {
    ui::ViewController::viewDidLoad();
    if (showDoneButton_ && beingPresentedModally() && !onTopOfNavigationControllerStack()) {
        auto self = weak_from_this();
        doneButton_ = doneButtonTitle_
                          ? std::make_shared<ui::BarButtonItem>(doneButtonTitle_, ui::BarButtonItemStyle::Done, self,
                                                                &WebViewController::doneButtonTapped)
                          : std::make_shared<ui::BarButtonItem>(ui::BarButtonSystemItem::Done, self,
                                                                &WebViewController::doneButtonTapped);
        doneButton_->setTintColor(buttonTintColor_);
    }
}

void WebViewController::viewDidLayoutSubviews() {
    ui::ViewController::viewDidLayoutSubviews();
    if (webView_) adjustScrollViewInsets(*webView_->scrollView());
}

void WebViewController::viewWillAppear(bool animated) {
    ui::ViewController::viewWillAppear(animated);
    showPlaceholderTitle();
    if (ui::NavigationController* navigation = navigationController()) {
        hideToolbarOnClose_ = navigation->isToolbarHidden();
        hideNavBarOnClose_ = navigation->isNavigationBarHidden();
    }
    if (ui::NavigationBar* bar = navigationBar()) {
        const cg::Rect bounds = bar->bounds();
        progressView_->setFrame({0, bounds.size.height - 2, bounds.size.width, 2});
        bar->addSubview(progressView_);
    }
    progressView_->setProgress(0, false);
    ui::View::performWithoutAnimation([this] { layoutButtonsForCurrentSizeClass(); });
}

void WebViewController::viewDidAppear(bool animated) {
    ui::ViewController::viewDidAppear(animated);
    if (url_ && !webView_->request()) {
        urlRequest_.setURL(url_);
        webView_->loadRequest(urlRequest_);
    }
}

void WebViewController::viewWillDisappear(bool animated) {
    ui::ViewController::viewWillDisappear(animated);
    if (!beingPresentedModally()) {
        if (ui::NavigationController* navigation = navigationController()) {
            navigation->setToolbarHidden(hideToolbarOnClose_, animated);
            navigation->setNavigationBarHidden(hideNavBarOnClose_, animated);
        }
    }
    progressView_->removeFromSuperview();
}

// ---- Loading ----

bool WebViewController::webViewShouldStartLoadWithRequest(ui::WebView&, const ns::URLRequest& request,
                                                          ui::WebViewNavigationType navigationType) {
    return shouldStartLoadRequestHandler_ ? shouldStartLoadRequestHandler_(request, navigationType) : true;
}

void WebViewController::webViewDidStartLoad(ui::WebView&) {
    ui::Application::sharedApplication().setNetworkActivityIndicatorVisible(true);
    refreshButtonsState();
}

void WebViewController::webViewDidFinishLoad(ui::WebView& webView) {
    if (didFinishLoadHandler_) didFinishLoadHandler_(webView);
}

void WebViewController::webViewPageProcessDidEnd(ui::WebView&) { refreshButtonsState(); }

void WebViewController::webViewProgressUpdateProgress(WebViewProgress&, float value) {
    if (progressView_) progressView_->setProgress(value, true);
    const std::string readyState = webView_ ? webView_->stringByEvaluatingJavaScriptFromString("document.readyState") : "";
    if (readyState == "interactive" || readyState == "complete") {
        if (showPageTitles_) {
            const std::string title = webView_->stringByEvaluatingJavaScriptFromString("document.title");
            if (!title.empty()) setTitle(title);
        }
        if (hideWebViewBoundaries_) view()->setBackgroundColor(webViewPageBackgroundColor());
        if (disableContextualPopupMenu_) {
            webView_->stringByEvaluatingJavaScriptFromString("document.body.style.webkitTouchCallout='none';");
        }
    }
    refreshButtonsState();
}

void WebViewController::refreshButtonsState() {
    if (backButton_) backButton_->setEnabled(webView_ && webView_->canGoBack());
    if (forwardButton_) forwardButton_->setEnabled(webView_ && webView_->canGoForward());
    const bool complete = pageIsComplete();
    ui::Application::sharedApplication().setNetworkActivityIndicatorVisible(!complete);
    if (reloadStopButton_) reloadStopButton_->setImage(complete ? reloadIcon_ : stopIcon_);
    const bool hasPage = webView_ && webView_->request() && webView_->request()->URL();
    for (const auto& item : loadCompletedApplicationBarButtonItems_) item->setEnabled(complete && hasPage);
}

void WebViewController::showPlaceholderTitle() {
    if (url_ && showPageTitles_ && showUrlWhileLoading_) {
        setTitle(removeAll(removeAll(url_->absoluteString(), "http://"), "https://"));
    } else if (showPageTitles_) {
        setTitle(ns::Bundle::main().localizedString("Loading...", "", WebViewControllerLocalizable));
    }
}

// ---- Buttons ----

void WebViewController::backButtonTapped(ns::Object*) {
    webView_->goBack();
    refreshButtonsState();
}

void WebViewController::forwardButtonTapped(ns::Object*) {
    webView_->goForward();
    refreshButtonsState();
}

void WebViewController::reloadStopButtonTapped(ns::Object*) {
    // While loading the button only stops; once the page is complete it loads it again.
    const bool complete = pageIsComplete();
    webView_->stopLoading();
    if (complete) {
        const auto& shown = webView_->request();
        const bool nothingShown = !shown || !shown->URL() || shown->URL()->absoluteString().empty();
        if (nothingShown && url_) webView_->loadRequest(urlRequest_);
        else webView_->reload();
    }
    refreshButtonsState();
}

void WebViewController::doneButtonTapped(ns::Object*) {
    if (ui::ViewController* presenting = presenter()) {
        presenting->dismissViewControllerAnimated(true, modalCompletionHandler_);
    }
}

// ---- Page probes ----

bool WebViewController::webViewPageWidthIsDynamic() {
    return webView_ && viewportIsDynamic(webView_->stringByEvaluatingJavaScriptFromString(std::string(WebPageViewportScript)));
}

std::shared_ptr<ui::Color> WebViewController::webViewPageBackgroundColor() {
    return pageBackgroundColor(webView_ ? webView_->stringByEvaluatingJavaScriptFromString(std::string(WebPageBackgroundScript)) : "");
}

}  // namespace ql
