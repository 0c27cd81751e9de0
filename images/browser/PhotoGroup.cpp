#include "images/browser/PhotoGroup.h"

#include "images/webimage/ButtonWebCache.h"

namespace ql {

void PhotoGroup::setPhotoItemArray(std::vector<std::shared_ptr<PhotoItem>> items) {
    photoItemArray_ = std::move(items);
    while (!subviews().empty()) subviews().back()->removeFromSuperview();
    auto self = std::static_pointer_cast<PhotoGroup>(shared_from_this());
    for (std::size_t i = 0; i < photoItemArray_.size(); ++i) {
        auto button = std::make_shared<ui::Button>();
        wi_setImageWithURL(button, ns::URL::fromString(photoItemArray_[i]->thumbnail_pic()), ui::ControlStateNormal);
        button->setTag(static_cast<std::int64_t>(i));
        button->addTarget(self, ui::Action(&PhotoGroup::buttonClick), ui::ControlEventTouchUpInside);
        addSubview(button);
    }
    const std::size_t n = photoItemArray_.size();
    const std::size_t rows = (n + columns() - 1) / columns();
    setFrame({kMargin, kMargin, kWidth, static_cast<double>(rows) * (kThumbnailSide + kGap)});
}

void PhotoGroup::layoutSubviews() {
    ui::View::layoutSubviews();
    const std::size_t c = columns();
    const auto& thumbnails = subviews();
    for (std::size_t i = 0; i < thumbnails.size(); ++i) {
        thumbnails[i]->setFrame({static_cast<double>(i % c) * (kThumbnailSide + kGap),
                                 static_cast<double>(i / c) * (kThumbnailSide + kGap), kThumbnailSide, kThumbnailSide});
    }
}

void PhotoGroup::buttonClick(ui::Button* button) {
    if (!button) return;
    auto browser = std::make_shared<PhotoBrowser>();
    browser->setSourceImagesContainerView(sharedFromThis());
    browser->setImageCount(static_cast<std::int64_t>(photoItemArray_.size()));
    browser->setCurrentImageIndex(button->tag());
    browser->setDelegate(std::static_pointer_cast<PhotoGroup>(shared_from_this()));
    browser->show();
    browser_ = browser;
}

std::shared_ptr<ui::Image> PhotoGroup::photoBrowserPlaceholderImageForIndex(PhotoBrowser&, std::int64_t index) {
    if (index < 0 || index >= static_cast<std::int64_t>(subviews().size())) return nullptr;
    auto button = std::dynamic_pointer_cast<ui::Button>(subviews()[static_cast<std::size_t>(index)]);
    return button ? button->currentImage() : nullptr;
}

std::optional<ns::URL> PhotoGroup::photoBrowserHighQualityImageURLForIndex(PhotoBrowser&, std::int64_t index) {
    if (index < 0 || index >= static_cast<std::int64_t>(photoItemArray_.size())) return std::nullopt;
    std::string url = photoItemArray_[static_cast<std::size_t>(index)]->thumbnail_pic();
    static constexpr std::string_view from = "thumbnail", to = "bmiddle";
    for (std::size_t at = url.find(from); at != std::string::npos; at = url.find(from, at + to.size())) {
        url.replace(at, from.size(), to);
    }
    return ns::URL::fromString(url);
}

}  // namespace ql
