#pragma once
// PKAssetsGroupCell: one album of the picker's album list: the thumbnail stack, the album's name over its
// number of assets, and a check mark on the stack while a photo of the album is among the chosen ones.

#include <memory>

#include "images/picker/PKAssetsThumbnailView.h"
#include "platform/photos/AssetsLibrary.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/TableViewCell.h"

namespace ql {

class PKAssetsGroupCell : public ui::TableViewCell {
    QL_OBJECT_NAMED(PKAssetsGroupCell, ui::TableViewCell, "PKAssetsGroupCell")
public:
    PKAssetsGroupCell(ui::TableViewCellStyle style, std::string reuseIdentifier);

    const std::shared_ptr<al::AssetsGroup>& assetsGroup() const { return assetsGroup_; }
    void setAssetsGroup(std::shared_ptr<al::AssetsGroup> group);
    // The album's check mark (the picker's isSelected; the row's own selection is the table's).
    bool isChecked() const { return checked_; }
    void setIsSelected(bool selected);

    const std::shared_ptr<PKAssetsThumbnailView>& thumbnailView();
    const std::shared_ptr<ui::ImageView>& checkImageView();
    const std::shared_ptr<ui::Label>& assetsNameLabel();
    const std::shared_ptr<ui::Label>& assetsCountLabel();

private:
    std::shared_ptr<al::AssetsGroup> assetsGroup_;
    bool checked_ = false;
    std::shared_ptr<PKAssetsThumbnailView> thumbnailView_;
    std::shared_ptr<ui::ImageView> checkImageView_;
    std::shared_ptr<ui::Label> assetsNameLabel_;
    std::shared_ptr<ui::Label> assetsCountLabel_;
};

}  // namespace ql
