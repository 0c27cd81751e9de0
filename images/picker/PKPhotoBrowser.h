#pragma once
// PKPhotoBrowser: the picker's full-screen preview. It pages through photo-library assets, shows the page
// number over the count in a dark bar with a close button and a check button, and lets each photo zoom.
// The choice belongs to the picker: the check button reads the picker's chosen photos, refuses to go past
// its maximum with a prompt, and reports each toggle to the delegate (the picker). It slides up from the
// bottom of the screen when shown and down again when closed.

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/photos/AssetsLibrary.h"
#include "platform/ui/Button.h"
#include "platform/ui/CollectionView.h"
#include "platform/ui/CollectionViewFlowLayout.h"
#include "platform/ui/Label.h"

namespace ql {

class PKImagePickerController;
class PKPhotoBrowser;

// Every member is optional; the preview sends only the asset forms.
class PKPhotoBrowserDelegate {
public:
    virtual ~PKPhotoBrowserDelegate() = default;
    virtual void photoBrowserDidSelectAtIndex(PKPhotoBrowser&, std::int64_t) {}
    virtual void photoBrowserDidDeselectAtIndex(PKPhotoBrowser&, std::int64_t) {}
    virtual void photoBrowserDidSelectAtALAsset(PKPhotoBrowser&, const std::shared_ptr<al::Asset>&) {}
    virtual void photoBrowserDidDeselectAtALAsset(PKPhotoBrowser&, const std::shared_ptr<al::Asset>&) {}
};

class PKPhotoBrowser : public ui::View, public ui::CollectionViewDataSource, public ui::CollectionViewDelegateFlowLayout {
    QL_OBJECT_NAMED(PKPhotoBrowser, ui::View, "PKPhotoBrowser")
    struct Key {
        explicit Key() = default;
    };

public:
    static constexpr double kSlideDuration = 0.3;
    // Each page carries this margin on both sides, so pages sit apart while they move.
    static constexpr double kPageMargin = 10;

    // Made by `make`: the pages and the buttons report to the preview, which needs an owner first.
    PKPhotoBrowser(Key, const cg::Rect& frame);
    static std::shared_ptr<PKPhotoBrowser> make(const cg::Rect& frame);

    std::shared_ptr<PKImagePickerController> pickerController() const { return pickerController_.lock(); }
    void setPickerController(std::weak_ptr<PKImagePickerController> picker) { pickerController_ = std::move(picker); }
    std::shared_ptr<PKPhotoBrowserDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<PKPhotoBrowserDelegate> delegate) { delegate_ = std::move(delegate); }
    // Set `currentPage` first: setting the assets puts that page in view.
    const std::vector<std::shared_ptr<al::Asset>>& assetsArray() const { return assetsArray_; }
    void setAssetsArray(std::vector<std::shared_ptr<al::Asset>> assets);
    std::int64_t currentPage() const { return currentPage_; }
    void setCurrentPage(std::int64_t page) { currentPage_ = page; }

    const std::shared_ptr<ui::CollectionView>& collectionView();
    const std::shared_ptr<ui::View>& topView();
    const std::shared_ptr<ui::Label>& numberLabel();
    const std::shared_ptr<ui::Button>& checkButton();

    // A page outside the assets is taken as the nearest one there is.
    void reloadPhotoeData();
    void updateStatus();
    bool assetIsSelected(const ns::URL& assetURL) const;
    void photoDidChecked(ns::Object* sender = nullptr, ui::Event* event = nullptr);
    // Adds the browser to the key window (sliding it up when animated); the completion runs once it is in
    // place.
    void show(bool animated, std::function<void()> completion = {});
    void hide(bool animated);
    void closePhotoBrower(ns::Object* = nullptr, ui::Event* = nullptr) { hide(true); }
    void didScrollToPage(std::int32_t page);

    std::int64_t collectionViewNumberOfItemsInSection(ui::CollectionView&, std::int64_t) override;
    std::shared_ptr<ui::CollectionViewCell> collectionViewCellForItemAtIndexPath(ui::CollectionView&, const ns::IndexPath&) override;
    std::optional<cg::Size> collectionViewLayoutSizeForItemAtIndexPath(ui::CollectionView&, ui::CollectionViewLayout&,
                                                                       const ns::IndexPath&) override;
    void scrollViewDidEndDecelerating(ui::ScrollView& scrollView) override;

private:
    // The current page brought within the assets (0 when there are none).
    void clampCurrentPage();
    std::shared_ptr<al::Asset> currentAsset() const;

    std::weak_ptr<PKImagePickerController> pickerController_;
    std::weak_ptr<PKPhotoBrowserDelegate> delegate_;
    std::vector<std::shared_ptr<al::Asset>> assetsArray_;
    std::int64_t currentPage_ = 0;
    std::shared_ptr<ui::CollectionView> collectionView_;
    std::shared_ptr<ui::View> topView_;
    std::shared_ptr<ui::Label> numberLabel_;
    std::shared_ptr<ui::Button> checkButton_;
};

}  // namespace ql
