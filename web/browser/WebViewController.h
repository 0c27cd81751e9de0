#pragma once
// WebViewController: a screen that shows one web page inside a navigation controller: back, forward,
// reload/stop, action and done buttons, a thin load-progress bar along the bottom edge of the navigation
// bar, the page's title as the screen title, and sharing of the page's address. A host creates it with a
// URL and pushes or presents it; the first load starts when it first appears.
//
// The buttons' arrangement lives in WebViewControllerButtons.cpp, the sharing actions in
// WebViewControllerSharing.cpp.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/URL.h"
#include "platform/foundation/Value.h"
#include "platform/net/URLRequest.h"
#include "platform/ui/ActionSheet.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/Color.h"
#include "platform/ui/Image.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/MessageComposers.h"
#include "platform/ui/NavigationBar.h"
#include "platform/ui/PopoverController.h"
#include "platform/ui/Toolbar.h"
#include "platform/ui/ViewController.h"
#include "platform/web/WebView.h"
#include "web/browser/WebViewProgress.h"
#include "web/browser/WebViewProgressView.h"

namespace ql {

class WebViewController : public ui::ViewController,
                          public ui::WebViewDelegate,
                          public WebViewProgressDelegate,
                          public ui::ActionSheetDelegate,
                          public ui::PopoverControllerDelegate,
                          public ui::MailComposeViewControllerDelegate,
                          public ui::MessageComposeViewControllerDelegate {
    QL_OBJECT(WebViewController, ui::ViewController)

public:
    // Space between the buttons on a wide screen's navigation bar.
    static constexpr double kRegularButtonSpacing = 25;

    WebViewController();
    explicit WebViewController(const std::optional<ns::URL>& url);
    // A text that is no URL leaves the screen without one.
    explicit WebViewController(std::string_view urlString);
    ~WebViewController() override;

    // A URL without a scheme is taken as a web address ("http://" in front); any other comes back as it
    // is, and none stays none.
    static std::optional<ns::URL> cleanURL(const std::optional<ns::URL>& url);

    // ---- Configuration ----
    const std::optional<ns::URL>& url() const { return url_; }
    // Stops what is loading and loads the URL (cleaned); before the view exists, the first appearance does.
    void setUrl(const std::optional<ns::URL>& url);
    ns::URLRequest& urlRequest() { return urlRequest_; }
    const std::shared_ptr<ui::WebView>& webView() const { return webView_; }
    bool showUrlWhileLoading() const { return showUrlWhileLoading_; }
    void setShowUrlWhileLoading(bool show) { showUrlWhileLoading_ = show; }
    const std::shared_ptr<ui::Color>& loadingBarTintColor() const { return loadingBarTintColor_; }
    void setLoadingBarTintColor(std::shared_ptr<ui::Color> color);
    bool navigationButtonsHidden() const { return navigationButtonsHidden_; }
    void setNavigationButtonsHidden(bool hidden);
    using BarButtonItems = std::vector<std::shared_ptr<ui::BarButtonItem>>;
    const BarButtonItems& applicationBarButtonItems() const { return applicationBarButtonItems_; }
    void setApplicationBarButtonItems(BarButtonItems items);
    const BarButtonItems& applicationLeftBarButtonItems() const { return applicationLeftBarButtonItems_; }
    void setApplicationLeftBarButtonItems(BarButtonItems items);
    const BarButtonItems& loadCompletedApplicationBarButtonItems() const { return loadCompletedApplicationBarButtonItems_; }
    void setLoadCompletedApplicationBarButtonItems(BarButtonItems items);
    bool showActionButton() const { return showActionButton_; }
    void setShowActionButton(bool show) { showActionButton_ = show; }
    bool showDoneButton() const { return showDoneButton_; }
    void setShowDoneButton(bool show) { showDoneButton_ = show; }
    const std::optional<std::string>& doneButtonTitle() const { return doneButtonTitle_; }
    void setDoneButtonTitle(std::optional<std::string> title) { doneButtonTitle_ = std::move(title); }
    bool showPageTitles() const { return showPageTitles_; }
    void setShowPageTitles(bool show) { showPageTitles_ = show; }
    bool disableContextualPopupMenu() const { return disableContextualPopupMenu_; }
    void setDisableContextualPopupMenu(bool disable) { disableContextualPopupMenu_ = disable; }
    bool hideWebViewBoundaries() const { return hideWebViewBoundaries_; }
    void setHideWebViewBoundaries(bool hide) { hideWebViewBoundaries_ = hide; }
    void setModalCompletionHandler(std::function<void()> handler) { modalCompletionHandler_ = std::move(handler); }
    void setShouldStartLoadRequestHandler(std::function<bool(const ns::URLRequest&, ui::WebViewNavigationType)> handler) {
        shouldStartLoadRequestHandler_ = std::move(handler);
    }
    void setDidFinishLoadHandler(std::function<void(ui::WebView&)> handler) { didFinishLoadHandler_ = std::move(handler); }
    const std::shared_ptr<ui::Color>& buttonTintColor() const { return buttonTintColor_; }
    void setButtonTintColor(std::shared_ptr<ui::Color> color);
    double buttonBevelOpacity() const { return buttonBevelOpacity_; }
    void setButtonBevelOpacity(double opacity);

    // ---- State ----
    const std::shared_ptr<WebViewProgress>& progressManager() const { return progressManager_; }
    const std::shared_ptr<WebViewProgressView>& progressView() const { return progressView_; }
    const std::shared_ptr<ui::BarButtonItem>& backButton() const { return backButton_; }
    const std::shared_ptr<ui::BarButtonItem>& forwardButton() const { return forwardButton_; }
    const std::shared_ptr<ui::BarButtonItem>& reloadStopButton() const { return reloadStopButton_; }
    const std::shared_ptr<ui::BarButtonItem>& actionButton() const { return actionButton_; }
    const std::shared_ptr<ui::BarButtonItem>& doneButton() const { return doneButton_; }
    const std::shared_ptr<ui::Image>& reloadIcon() const { return reloadIcon_; }
    const std::shared_ptr<ui::Image>& stopIcon() const { return stopIcon_; }
    const ns::Dictionary& buttonThemeAttributes() const { return buttonThemeAttributes_; }
    const std::shared_ptr<ui::PopoverController>& sharingPopoverController() const { return sharingPopoverController_; }
    // The estimate has reached its end (within a float's step of 1).
    bool pageIsComplete() const;

    // ---- The navigation controller's bars ----
    ui::NavigationBar* navigationBar();
    // The bottom toolbar, in a compact presentation only.
    ui::Toolbar* toolbar();

    // ---- View lifecycle ----
    void loadView() override;
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewDidAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;
    // The page starts below the navigation bar and ends above the toolbar.
    void viewDidLayoutSubviews() override;
    ui::StatusBarStyle preferredStatusBarStyle() const { return ui::StatusBarStyle::Default; }

    // ---- Loading, reached through the estimator ----
    bool webViewShouldStartLoadWithRequest(ui::WebView& webView, const ns::URLRequest& request,
                                           ui::WebViewNavigationType navigationType) override;
    void webViewDidStartLoad(ui::WebView& webView) override;
    void webViewDidFinishLoad(ui::WebView& webView) override;
    // The page and its history are gone: the buttons show at once that there is nothing to go back or
    // forward to; the title, the address and what is shared stay the page's, which reload loads afresh.
    void webViewPageProcessDidEnd(ui::WebView& webView) override;
    void webViewProgressUpdateProgress(WebViewProgress& progress, float value) override;
    void refreshButtonsState();
    void showPlaceholderTitle();

    // ---- Buttons ----
    void backButtonTapped(ns::Object* sender);
    void forwardButtonTapped(ns::Object* sender);
    void reloadStopButtonTapped(ns::Object* sender);
    void doneButtonTapped(ns::Object* sender);
    void actionButtonTapped(ns::Object* sender);

    // ---- Button bars (WebViewControllerButtons.cpp) ----
    void setUpNavigationButtons();
    void layoutButtonsForCurrentSizeClass();
    bool compactPresentation() const;
    bool beingPresentedModally() const;
    bool onTopOfNavigationControllerStack() const;
    void willTransitionToTraitCollection(const ui::TraitCollection& newCollection) override;
    void traitCollectionDidChange(const std::optional<ui::TraitCollection>& previousCollection) override;

    // ---- Sharing (WebViewControllerSharing.cpp) ----
    void actionSheetClickedButtonAtIndex(ui::ActionSheet& actionSheet, std::int64_t buttonIndex) override;
    void popoverControllerDidDismissPopover(ui::PopoverController& popover) override;
    void copyURLToClipboard();
    void openInBrowser();
    void openMailDialog();
    void openMessageDialog();
    void mailComposeControllerDidFinishWithResult(ui::MailComposeViewController& controller, ui::MailComposeResult result,
                                                  const std::optional<ns::Error>& error) override;
    void messageComposeViewControllerDidFinishWithResult(ui::MessageComposeViewController& controller,
                                                         ui::MessageComposeResult result) override;

    // ---- Rotation snapshot (WebViewControllerRotation.cpp) ----
    // The page's scroll state when a turn begins.
    struct WebViewState {
        cg::Size frameSize;
        cg::Size contentSize;
        cg::Point contentOffset;
        double zoomScale = 1;
        double minimumZoomScale = 1;
        double maximumZoomScale = 1;
        double topEdgeInset = 0;
        double bottomEdgeInset = 0;
    };
    // No turn while a snapshot stands in for the page.
    bool shouldAutorotate() const override { return !webViewRotationSnapshot_; }
    void willRotateToInterfaceOrientation(ui::InterfaceOrientation orientation, double duration) override;
    void willAnimateRotationToInterfaceOrientation(ui::InterfaceOrientation orientation, double duration) override;
    void didRotateFromInterfaceOrientation(ui::InterfaceOrientation previous) override;
    void viewDidDisappear(bool animated) override;
    // The part of the page (in its scroll coordinates) that will show after turning to `orientation`.
    cg::Rect rectForVisibleRegionOfWebViewAnimatingToOrientation(ui::InterfaceOrientation orientation);
    void setUpWebViewForRotationToOrientation(ui::InterfaceOrientation orientation, double duration);
    void animateWebViewRotationToOrientation(ui::InterfaceOrientation orientation, double duration);
    void restoreWebViewFromRotationFromOrientation(ui::InterfaceOrientation previous);
    // The end of a turn: the page back in place of its snapshot.
    void animationDidStop(bool finished);
    bool splitScreenEnabled() const;
    const std::shared_ptr<ui::ImageView>& webViewRotationSnapshot() const { return webViewRotationSnapshot_; }
    const WebViewState& webViewState() const { return webViewState_; }
    // The view inside the web view's scroll view that shows the page.
    std::shared_ptr<ui::View> webViewContentView() const;

    // ---- Page probes, scripts run in the page ----
    bool webViewPageWidthIsDynamic();
    std::shared_ptr<ui::Color> webViewPageBackgroundColor();

protected:
    // What the platform offers for sharing; platforms without them get the older ways.
    struct SharingFacilities {
        bool presentationControllers = false;
        bool activitySheet = false;
        bool tweetComposer = false;
    };
    virtual SharingFacilities sharingFacilities() const;

private:
    enum class MenuEntry { CopyURL, OpenInBrowser, Mail, Message, Cancel };

    void presentActivitySheet();
    void showSharingMenu();
    // The controller that presented this screen, or the one that presented its navigation controller.
    ui::ViewController* presenter() const;

    std::optional<ns::URL> url_;
    ns::URLRequest urlRequest_;
    std::shared_ptr<ui::WebView> webView_;
    bool showUrlWhileLoading_ = true;
    std::shared_ptr<ui::Color> loadingBarTintColor_;
    bool navigationButtonsHidden_ = false;
    BarButtonItems applicationBarButtonItems_;
    BarButtonItems applicationLeftBarButtonItems_;
    BarButtonItems loadCompletedApplicationBarButtonItems_;
    bool showActionButton_ = true;
    bool showDoneButton_ = true;
    std::optional<std::string> doneButtonTitle_;
    bool showPageTitles_ = true;
    bool disableContextualPopupMenu_ = false;
    bool hideWebViewBoundaries_ = false;
    std::function<void()> modalCompletionHandler_;
    std::function<bool(const ns::URLRequest&, ui::WebViewNavigationType)> shouldStartLoadRequestHandler_;
    std::function<void(ui::WebView&)> didFinishLoadHandler_;
    std::shared_ptr<ui::Color> buttonTintColor_;
    double buttonBevelOpacity_ = 0;

    std::shared_ptr<WebViewProgress> progressManager_;
    std::shared_ptr<WebViewProgressView> progressView_;
    std::shared_ptr<ui::BarButtonItem> backButton_;
    std::shared_ptr<ui::BarButtonItem> forwardButton_;
    std::shared_ptr<ui::BarButtonItem> reloadStopButton_;
    std::shared_ptr<ui::BarButtonItem> actionButton_;
    std::shared_ptr<ui::BarButtonItem> doneButton_;
    std::shared_ptr<ui::Image> reloadIcon_;
    std::shared_ptr<ui::Image> stopIcon_;
    ns::Dictionary buttonThemeAttributes_;
    std::shared_ptr<ui::PopoverController> sharingPopoverController_;
    std::vector<MenuEntry> menuEntries_;
    bool rotationSkipped() const;
    std::shared_ptr<ui::ImageView> webViewRotationSnapshot_;
    WebViewState webViewState_;
    bool hideToolbarOnClose_ = true;
    bool hideNavBarOnClose_ = false;
};

}  // namespace ql
