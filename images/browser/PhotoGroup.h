#pragma once
// PhotoGroup: a small grid of photo thumbnails (two columns for four photos, else three) that opens the
// full-screen photo browser at the thumbnail tapped. Each thumbnail loads from its item's URL; the
// browser's larger pictures are the same URLs with "thumbnail" replaced by "bmiddle".

#include <memory>
#include <string>
#include <vector>

#include "images/browser/PhotoBrowser.h"
#include "platform/foundation/Object.h"
#include "platform/ui/Button.h"

namespace ql {

class PhotoItem : public ns::Object {
    QL_OBJECT(PhotoItem, ns::Object)
public:
    PhotoItem() = default;
    const std::string& thumbnail_pic() const { return thumbnail_pic_; }
    void setThumbnail_pic(std::string url) { thumbnail_pic_ = std::move(url); }

private:
    std::string thumbnail_pic_;
};

class PhotoGroup : public ui::View, public PhotoBrowserDelegate {
    QL_OBJECT_NAMED(PhotoGroup, ui::View, "PhotoGroup")
public:
    static constexpr double kThumbnailSide = 80;
    static constexpr double kGap = 15;
    static constexpr double kWidth = 300;
    static constexpr double kMargin = 10;

    PhotoGroup() : PhotoGroup(cg::Rect::zero()) {}
    explicit PhotoGroup(const cg::Rect& frame) : ui::View(frame) {}

    const std::vector<std::shared_ptr<PhotoItem>>& photoItemArray() const { return photoItemArray_; }
    // Replaces the thumbnails and sizes the group: 10, 10, 300 wide, 95 high per row.
    void setPhotoItemArray(std::vector<std::shared_ptr<PhotoItem>> items);
    // The browser opened by the last tap, while it is on screen.
    std::shared_ptr<PhotoBrowser> openBrowser() const { return browser_.lock(); }

    void layoutSubviews() override;
    void buttonClick(ui::Button* button);

    std::shared_ptr<ui::Image> photoBrowserPlaceholderImageForIndex(PhotoBrowser&, std::int64_t index) override;
    std::optional<ns::URL> photoBrowserHighQualityImageURLForIndex(PhotoBrowser&, std::int64_t index) override;

private:
    std::size_t columns() const { return photoItemArray_.size() == 4 ? 2 : 3; }

    std::vector<std::shared_ptr<PhotoItem>> photoItemArray_;
    std::weak_ptr<PhotoBrowser> browser_;
};

}  // namespace ql
