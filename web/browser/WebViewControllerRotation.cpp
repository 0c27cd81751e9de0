// WebViewController's rotation snapshot: while the device turns, a picture of the part of the page that
// will show afterwards stands in for the web view, which would otherwise re-lay its page out and jump. After
// the turn the page gets its relative zoom and matching scroll position back and the picture goes.

#include <algorithm>
#include <cfloat>
#include <cmath>

#include "platform/ui/Application.h"
#include "platform/ui/Device.h"
#include "platform/ui/GraphicsContext.h"
#include "platform/ui/Layer.h"
#include "platform/ui/Screen.h"
#include "web/browser/WebViewController.h"

namespace ql {

namespace {

constexpr double kSmallThreshold = FLT_EPSILON;
// Snapshots are drawn at a fixed scale, whatever the screen's: sharp enough while they move, and cheap.
constexpr double kSnapshotScale = 1.75;

bool isLandscape(ui::InterfaceOrientation orientation) {
    return orientation == ui::InterfaceOrientation::LandscapeLeft || orientation == ui::InterfaceOrientation::LandscapeRight;
}

// A page or view of no size has no proportions: its ratios count as `fallback` instead of dividing by zero.
double ratio(double numerator, double denominator, double fallback) {
    return denominator != 0 && std::isfinite(denominator) ? numerator / denominator : fallback;
}

}  // namespace

std::shared_ptr<ui::View> WebViewController::webViewContentView() const {
    if (!webView_) return nullptr;
    for (const auto& subview : webView_->scrollView()->subviews()) {
        if (std::string_view(subview->className()).find("WebBrowser") != std::string_view::npos) return subview;
    }
    return nullptr;
}

bool WebViewController::splitScreenEnabled() const {
    if (!viewIfLoaded()) return false;
    const cg::Size frame = viewIfLoaded()->frame().size;
    const cg::Size screen = ui::Screen::mainScreen().bounds().size;
    const auto whole = [](double value) { return std::trunc(value); };
    return whole(std::max(frame.width, frame.height)) != whole(std::max(screen.width, screen.height)) ||
           whole(std::min(frame.width, frame.height)) != whole(std::min(screen.width, screen.height));
}

bool WebViewController::rotationSkipped() const {
    return !webView_ || splitScreenEnabled() ||
           (!compactPresentation() && modalPresentationStyle() == ui::ModalPresentationStyle::FormSheet);
}

void WebViewController::willRotateToInterfaceOrientation(ui::InterfaceOrientation orientation, double duration) {
    ui::ViewController::willRotateToInterfaceOrientation(orientation, duration);
    setUpWebViewForRotationToOrientation(orientation, duration);
}

void WebViewController::willAnimateRotationToInterfaceOrientation(ui::InterfaceOrientation orientation, double duration) {
    ui::ViewController::willAnimateRotationToInterfaceOrientation(orientation, duration);
    animateWebViewRotationToOrientation(orientation, duration);
}

void WebViewController::didRotateFromInterfaceOrientation(ui::InterfaceOrientation previous) {
    ui::ViewController::didRotateFromInterfaceOrientation(previous);
    restoreWebViewFromRotationFromOrientation(previous);
}

void WebViewController::viewDidDisappear(bool animated) {
    ui::ViewController::viewDidDisappear(animated);
    ui::Application::sharedApplication().setNetworkActivityIndicatorVisible(false);
    // A screen that leaves mid-turn gets its page back; the turn it held back may go ahead.
    if (webViewRotationSnapshot_) animationDidStop(false);
}

cg::Rect WebViewController::rectForVisibleRegionOfWebViewAnimatingToOrientation(ui::InterfaceOrientation orientation) {
    const auto& scroll = webView_->scrollView();
    const cg::Point offset = scroll->contentOffset();
    const double contentHeight = scroll->contentSize().height;
    const double top = scroll->contentInset().top;
    const double W = webView_->bounds().size.width, H = webView_->bounds().size.height;
    cg::Rect region{offset.x, 0, W, 0};
    if (isLandscape(orientation)) {
        if (offset.y < kSmallThreshold) {
            region.origin.y = 0;
            region.size.height = H - std::max(offset.y + top, 0.0);
        } else {
            region.origin.y = offset.y;
            region.size.height = offset.y + H > contentHeight ? contentHeight - offset.y : H;
        }
        return region;
    }
    const double visible = W;
    if (webViewPageWidthIsDynamic()) {
        region.origin.y = offset.y + visible > contentHeight ? std::max(contentHeight - visible, -top) : offset.y;
        region.size.height = visible;
    } else {
        region.size.height = visible * ratio(W, H, 1);
        double y = offset.y + H / 2 - region.size.height / 2;
        if (y < 0) y = 0;
        else if (y + region.size.height > contentHeight) y = contentHeight - region.size.height;
        region.origin.y = y;
    }
    return region;
}

void WebViewController::setUpWebViewForRotationToOrientation(ui::InterfaceOrientation orientation, double) {
    if (rotationSkipped()) return;
    if (webViewRotationSnapshot_) {
        webViewRotationSnapshot_->removeFromSuperview();
        webViewRotationSnapshot_.reset();
    }
    const auto& scroll = webView_->scrollView();
    webViewState_ = {webView_->frame().size,      scroll->contentSize(),       scroll->contentOffset(),
                     scroll->zoomScale(),         scroll->minimumZoomScale(),  scroll->maximumZoomScale(),
                     scroll->contentInset().top,  scroll->contentInset().bottom};
    const WebViewState& recorded = webViewState_;

    const cg::Rect region = rectForVisibleRegionOfWebViewAnimatingToOrientation(orientation);
    std::shared_ptr<ui::Image> picture;
    if (region.size.width > 0 && region.size.height > 0) {
        const ui::ImageContextScope scope(region.size, true, kSnapshotScale);
        if (cg::Context* context = scope.context()) {
            (view()->backgroundColor() ? view()->backgroundColor() : ui::Color::whiteColor())->setFill();
            context->fillRect({{0, 0}, region.size});
            context->translateCTM(-region.origin.x, -region.origin.y);
            if (auto content = webViewContentView()) content->layer()->renderInContext(*context);
        }
        picture = scope.image();
    }
    webViewRotationSnapshot_ = std::make_shared<ui::ImageView>(picture);

    const bool landscape = isLandscape(orientation);
    const bool dynamic = webViewPageWidthIsDynamic();
    if (dynamic) {
        webViewRotationSnapshot_->setBackgroundColor(webViewPageBackgroundColor());
        if (landscape) webViewRotationSnapshot_->setContentMode(ui::ContentMode::Top);
        else if (webView_->frame().size.width + recorded.contentOffset.y > recorded.contentSize.height)
            webViewRotationSnapshot_->setContentMode(ui::ContentMode::BottomLeft);
        else webViewRotationSnapshot_->setContentMode(ui::ContentMode::TopLeft);
    } else {
        webViewRotationSnapshot_->setContentMode(ui::ContentMode::ScaleAspectFill);
    }

    cg::Rect frame{region.origin.x, region.origin.y, region.size.width, region.size.height};
    if (landscape) {
        if (recorded.contentOffset.y < 0) frame.origin.y = -recorded.contentOffset.y;
    } else if (!dynamic) {
        const double centre = recorded.contentOffset.y + recorded.frameSize.height / 2;
        if (recorded.contentOffset.y + recorded.topEdgeInset <= kSmallThreshold) frame.origin.y = recorded.topEdgeInset;
        else if (centre - region.size.height / 2 < -recorded.topEdgeInset) frame.origin.y = -recorded.contentOffset.y;
        else if (centre + region.size.height / 2 > recorded.contentSize.height)
            frame.origin.y = recorded.contentSize.height - recorded.contentOffset.y - region.size.height;
        else frame.origin.y = webView_->frame().size.height / 2 - region.size.height / 2;
    }
    webViewRotationSnapshot_->setFrame(frame);
    view()->insertSubviewAbove(webViewRotationSnapshot_, webView_.get());
    webView_->setHidden(true);
}

void WebViewController::animateWebViewRotationToOrientation(ui::InterfaceOrientation orientation, double) {
    if (!webViewRotationSnapshot_ || rotationSkipped()) return;
    webView_->layer()->removeAllAnimations();
    webView_->scrollView()->layer()->removeAllAnimations();
    const WebViewState& recorded = webViewState_;
    const auto& scroll = webView_->scrollView();
    const double top = scroll->contentInset().top, bottom = scroll->contentInset().bottom;
    const cg::Rect bounds = webView_->bounds();
    const cg::Size snapshot = webViewRotationSnapshot_->frame().size;
    cg::Rect target = bounds;
    if (webViewPageWidthIsDynamic()) {
        if (recorded.contentOffset.y < 0) {
            target.origin.y = isLandscape(orientation)
                                  ? bounds.origin.y - recorded.contentOffset.y - (recorded.topEdgeInset - top)
                                  : bounds.origin.y - (recorded.topEdgeInset - top);
        }
        if (!isLandscape(orientation)) target.origin.x = std::floor(view()->bounds().size.width / 2) - snapshot.width / 2;
    } else {
        const double H = bounds.size.height;
        target.size.height = ratio(snapshot.height, snapshot.width, ratio(H, bounds.size.width, 1)) * bounds.size.width;
        const cg::Rect webFrame = webView_->frame();
        const double k = ratio(webFrame.size.height, webFrame.size.width, 1) * H;
        const double centre = recorded.contentOffset.y + recorded.frameSize.height / 2;
        if (recorded.contentOffset.y + recorded.topEdgeInset <= kSmallThreshold) target.origin.y = top;
        else if (centre - k / 2 < -recorded.topEdgeInset) target.origin.y = top;
        else if (centre + k / 2 > recorded.contentSize.height) target.origin.y = cg::maxY(webFrame) - (target.size.height + bottom);
        else {
            target.origin.y = H / 2 - target.size.height / 2;
            if (recorded.contentOffset.y < 0) {
                target.origin.y += -recorded.contentOffset.y * ratio(recorded.frameSize.height, recorded.frameSize.width, 1);
            }
        }
    }
    webViewRotationSnapshot_->setFrame(target);
}

void WebViewController::restoreWebViewFromRotationFromOrientation(ui::InterfaceOrientation) {
    if (!webViewRotationSnapshot_) return;
    // The page comes back even when the presentation changed so that the turn no longer counts: otherwise
    // the snapshot would stay, and with it the refusal of every later turn.
    if (rotationSkipped()) {
        animationDidStop(true);
        return;
    }
    const auto& scroll = webView_->scrollView();
    const WebViewState& recorded = webViewState_;
    const double zoom = ratio(recorded.zoomScale, recorded.minimumZoomScale, 1) * scroll->minimumZoomScale();
    if (zoom > scroll->maximumZoomScale()) scroll->setMaximumZoomScale(zoom);
    // Size classes exist here, so the zoom is set at once and the end follows without a layer animation.
    scroll->setZoomScale(zoom, false);
    animationDidStop(true);
}

void WebViewController::animationDidStop(bool) {
    if (!webViewRotationSnapshot_) return;
    const auto& scroll = webView_->scrollView();
    const WebViewState& recorded = webViewState_;
    webView_->setHidden(false);
    const double W2 = scroll->contentSize().width, H2 = scroll->contentSize().height;
    const cg::EdgeInsets insets = scroll->contentInset();
    const cg::Size webFrame = webView_->frame().size;
    double x = recorded.contentOffset.x, y = recorded.contentOffset.y;
    if (webViewPageWidthIsDynamic()) {
        y += recorded.topEdgeInset - insets.top;
    } else {
        const double scale = ratio(W2, recorded.contentSize.width, 1);
        x *= scale;
        if (recorded.contentOffset.y + recorded.topEdgeInset <= kSmallThreshold) {
            y = -insets.top;
        } else {
            const double y0 = y * scale;
            const ui::DeviceOrientation facing = ui::Device::currentDevice().orientation();
            if (facing == ui::DeviceOrientation::LandscapeLeft || facing == ui::DeviceOrientation::LandscapeRight) {
                y = y0 + webViewRotationSnapshot_->frame().size.height / 2 - webFrame.height / 2;
            } else {
                const double H = webView_->bounds().size.height;
                const double centre = ratio(recorded.frameSize.width, recorded.frameSize.height, 1) * H / 2 +
                                      recorded.contentOffset.y + recorded.frameSize.height / 2;
                if (centre > recorded.contentSize.height) y = H2 - webFrame.height + insets.top;
                else y = y0 - (webFrame.height / 2 - scale * recorded.frameSize.height / 2);
            }
        }
    }
    // The lower bounds last: a page smaller than the view after the turn stays at its start rather than
    // being scrolled off to show nothing.
    x = std::max(std::min(x, W2 - webFrame.width), -insets.left);
    y = std::max(std::min(y, H2 - webFrame.height + insets.bottom), -insets.top);
    scroll->setContentOffset({x, y});
    webViewRotationSnapshot_->removeFromSuperview();
    webViewRotationSnapshot_.reset();
    ui::ViewController::attemptRotationToDeviceOrientation();
}

}  // namespace ql
