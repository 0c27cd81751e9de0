#pragma once
// PKAssetsViewCell: a square cell of the picker's grid. With an asset it shows the asset's thumbnail (as
// soon as it is made) with a check button in the top right corner; without one it is the camera item, a single button over
// the whole cell. The cell reports taps to its delegate and leaves its check state to the delegate.

#include <memory>

#include "platform/photos/AssetImageLoader.h"
#include "platform/photos/AssetsLibrary.h"
#include "platform/ui/Button.h"
#include "platform/ui/CollectionViewCell.h"
#include "platform/ui/ImageView.h"

namespace ql {

class PKAssetsViewCell;

// Every member is optional.
class PKAssetsViewCellDelegate {
public:
    virtual ~PKAssetsViewCellDelegate() = default;
    virtual void startPhotoAssetsViewCell(PKAssetsViewCell&) {}
    virtual void didSelectItemAssetsViewCell(PKAssetsViewCell&) {}
    virtual void didDeselectItemAssetsViewCell(PKAssetsViewCell&) {}
};

class PKAssetsViewCell : public ui::CollectionViewCell {
    QL_OBJECT_NAMED(PKAssetsViewCell, ui::CollectionViewCell, "PKAssetsViewCell")
    struct Key {
        explicit Key() = default;
    };

public:
    // Cells are made by `make`: their buttons target the cell, which needs an owner first.
    PKAssetsViewCell(Key, const cg::Rect& frame);
    static std::shared_ptr<PKAssetsViewCell> make(const cg::Rect& frame);

    std::shared_ptr<PKAssetsViewCellDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<PKAssetsViewCellDelegate> delegate) { delegate_ = std::move(delegate); }

    const std::shared_ptr<al::Asset>& asset() const { return asset_; }
    // None makes the cell the camera item.
    void setAsset(std::shared_ptr<al::Asset> asset);
    // Whether the asset is among the chosen ones (the picker's isSelected; the cell's own selection is
    // the collection view's).
    bool isChecked() const { return checked_; }
    void setIsSelected(bool selected);

    const std::shared_ptr<ui::ImageView>& imageView();
    const std::shared_ptr<ui::Button>& photoButton();
    const std::shared_ptr<ui::Button>& checkButton();

    // Actions of the camera button and the check button.
    void photo(ns::Object* sender = nullptr, ui::Event* event = nullptr);
    void photoDidChecked(ns::Object* sender = nullptr, ui::Event* event = nullptr);

private:
    std::weak_ptr<PKAssetsViewCellDelegate> delegate_;
    std::shared_ptr<al::Asset> asset_;
    al::AssetImageLoader thumbnailLoader_;
    bool checked_ = false;
    std::shared_ptr<ui::ImageView> imageView_;
    std::shared_ptr<ui::Button> photoButton_;
    std::shared_ptr<ui::Button> checkButton_;
};

// The grid's footer: one centred line of text.
class PKAssetsCollectionFooterView : public ui::CollectionReusableView {
    QL_OBJECT_NAMED(PKAssetsCollectionFooterView, ui::CollectionReusableView, "PKAssetsCollectionFooterView")
public:
    explicit PKAssetsCollectionFooterView(const cg::Rect& frame);
    const std::shared_ptr<ui::Label>& textLabel() const { return textLabel_; }

private:
    std::shared_ptr<ui::Label> textLabel_;
};

}  // namespace ql
