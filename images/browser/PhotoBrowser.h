#pragma once
// PhotoBrowser: a full-screen photo viewer over the key window. It opens by growing the tapped
// thumbnail to the page, pages sideways through the photos with the page number over the count at the
// top, zooms a page by pinch or double tap, and closes on a single tap by shrinking the photo back onto
// its thumbnail. A delegate gives each page's placeholder (the thumbnail on screen) and the URL of the
// larger picture, which the page loads with a progress ring.

#include <cstdint>
#include <memory>
#include <optional>

#include "images/browser/BrowserImageView.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/Object.h"
#include "platform/foundation/URL.h"
#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/Label.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/TapGestureRecognizer.h"
#include "platform/ui/Window.h"

namespace ql {

class PhotoBrowser;

class PhotoBrowserDelegate {
public:
    virtual ~PhotoBrowserDelegate() = default;
    virtual std::shared_ptr<ui::Image> photoBrowserPlaceholderImageForIndex(PhotoBrowser& browser, std::int64_t index) = 0;
    // Optional: no larger picture by default.
    virtual std::optional<ns::URL> photoBrowserHighQualityImageURLForIndex(PhotoBrowser&, std::int64_t) { return std::nullopt; }
};

class PhotoBrowser : public ui::View, public ui::ScrollViewDelegate {
    QL_OBJECT_NAMED(PhotoBrowser, ui::View, "PhotoBrowser")
public:
    // The gap between pages, split on both sides of each.
    static constexpr double kPageGap = 20;
    static constexpr double kFlyDuration = 0.8;
    static constexpr double kZoomResetDuration = 0.5;
    // How far (in points) a zoomed page must be dragged aside before its zoom is reset.
    static constexpr double kZoomResetDistance = 150;

    PhotoBrowser() : PhotoBrowser(cg::Rect::zero()) {}
    explicit PhotoBrowser(const cg::Rect& frame);

    std::shared_ptr<ui::View> sourceImagesContainerView() const { return sourceImagesContainerView_.lock(); }
    void setSourceImagesContainerView(std::weak_ptr<ui::View> view) { sourceImagesContainerView_ = std::move(view); }
    std::int64_t currentImageIndex() const { return currentImageIndex_; }
    void setCurrentImageIndex(std::int64_t index) { currentImageIndex_ = index; }
    std::int64_t imageCount() const { return imageCount_; }
    void setImageCount(std::int64_t count) { imageCount_ = count; }
    std::shared_ptr<PhotoBrowserDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<PhotoBrowserDelegate> delegate) { delegate_ = std::move(delegate); }

    // Fills the key window and follows its frame.
    void show();

    const std::shared_ptr<ui::ScrollView>& scrollView() const { return scrollView_; }
    const std::shared_ptr<ui::Label>& indexLabel() const { return indexLabel_; }
    // Page i, or null outside the pages.
    std::shared_ptr<BrowserImageView> page(std::int64_t index) const;
    bool hasShowedFistView() const { return hasShowedFistView_; }
    bool willDisappear() const { return willDisappear_; }

    void didMoveToSuperview() override;
    void setupScrollView();
    void setupToolbars();
    void showFirstImage();
    void setupImageOfImageViewForIndex(std::int64_t index);
    void photoClick(ui::TapGestureRecognizer* tap);
    void imageViewDoubleTaped(ui::TapGestureRecognizer* tap);
    std::shared_ptr<ui::Image> placeholderImageForIndex(std::int64_t index);
    std::optional<ns::URL> highQualityImageURLForIndex(std::int64_t index);
    // Writes the picture in view into the saved-photos album and says how it went.
    void saveImage();

    void layoutSubviews() override;
    void scrollViewDidScroll(ui::ScrollView& scrollView) override;

private:
    // The thumbnail the browser flies from and back to: a collection view's cell or the container's
    // subview at that index; none when the container has no such thumbnail.
    std::shared_ptr<ui::View> sourceThumbnail(std::int64_t index) const;
    cg::Rect sourceRect(std::int64_t index) const;
    // Within the pages.
    std::int64_t clampedIndex(std::int64_t index) const;
    void windowFrameChanged();
    void savingFinished(const std::optional<ns::Error>& error);

    std::weak_ptr<ui::View> sourceImagesContainerView_;
    std::int64_t currentImageIndex_ = 0;
    std::int64_t imageCount_ = 0;
    std::weak_ptr<PhotoBrowserDelegate> delegate_;
    std::shared_ptr<ui::ScrollView> scrollView_;
    std::shared_ptr<ui::Label> indexLabel_;
    std::shared_ptr<ui::ActivityIndicatorView> indicatorView_;
    bool hasShowedFistView_ = false;
    bool willDisappear_ = false;
    // The observation of the window the browser was shown in; it ends with the browser.
    ns::KeyValueObservation windowFrame_;
};

}  // namespace ql
