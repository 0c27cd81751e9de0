#pragma once
// PKAssetsGroupsView: the picker's album list: a table of the albums (at most four rows in view, then
// it scrolls) over a transparent button that fills the rest of the view. A row reports its album; the
// button reports a cancel. Each row's check mark follows how many chosen photos name that album.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "images/picker/PKAssets.h"
#include "platform/photos/AssetsLibrary.h"
#include "platform/ui/Button.h"
#include "platform/ui/TableView.h"

namespace ql {

class PKAssetsGroupsView;

// Both members are optional.
class PKAssetsGroupsViewDelegate {
public:
    virtual ~PKAssetsGroupsViewDelegate() = default;
    virtual void assetsGroupsViewDidCancel(PKAssetsGroupsView&) {}
    virtual void assetsGroupsViewDidSelectAssetsGroup(PKAssetsGroupsView&, const std::shared_ptr<al::AssetsGroup>&) {}
};

class PKAssetsGroupsView : public ui::View, public ui::TableViewDataSource, public ui::TableViewDelegate {
    QL_OBJECT_NAMED(PKAssetsGroupsView, ui::View, "PKAssetsGroupsView")
    struct Key {
        explicit Key() = default;
    };

public:
    static constexpr double kRowHeight = 86;
    static constexpr int kRowsInView = 4;
    static constexpr std::string_view kCellIdentifier = "AssetsGroupCell";
    using Counts = std::map<std::string, std::int64_t>;

    // Made by `make`: the table and the button report to the view, which needs an owner first.
    PKAssetsGroupsView(Key, const cg::Rect& frame);
    static std::shared_ptr<PKAssetsGroupsView> make(const cg::Rect& frame);

    std::shared_ptr<PKAssetsGroupsViewDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<PKAssetsGroupsViewDelegate> delegate) { delegate_ = std::move(delegate); }
    std::int64_t indexAssetsGroup() const { return indexAssetsGroup_; }
    void setIndexAssetsGroup(std::int64_t index) { indexAssetsGroup_ = index; }

    const std::vector<std::shared_ptr<al::AssetsGroup>>& assetsGroups() const { return assetsGroups_; }
    void setAssetsGroups(std::vector<std::shared_ptr<al::AssetsGroup>> groups);
    // None until the picker hands the counts over; until then every album counts 0 and nothing changes.
    const std::optional<Counts>& selectedAssetCount() const { return selectedAssetCount_; }
    void setSelectedAssetCount(Counts counts);
    void addAssetSelected(const PKAssets& record);
    void removeAssetSelected(const PKAssets& record);
    // Whether a chosen photo names the album.
    bool selectAssetsGroup(const al::AssetsGroup& group) const;
    void cancelAssetsGroupSelect(ns::Object* sender = nullptr, ui::Event* event = nullptr);

    const std::shared_ptr<ui::TableView>& tableView();
    const std::shared_ptr<ui::Button>& touchButton();
    const ns::IndexPath& selectedIndexPath() const { return selectedIndexPath_; }

    std::int64_t tableViewNumberOfRowsInSection(ui::TableView&, std::int64_t section) override;
    std::shared_ptr<ui::TableViewCell> tableViewCellForRowAtIndexPath(ui::TableView&, const ns::IndexPath& path) override;
    std::optional<double> tableViewHeightForRowAtIndexPath(ui::TableView&, const ns::IndexPath&) override { return kRowHeight; }
    void tableViewDidSelectRowAtIndexPath(ui::TableView&, const ns::IndexPath& path) override;

private:
    std::weak_ptr<PKAssetsGroupsViewDelegate> delegate_;
    std::int64_t indexAssetsGroup_ = 0;
    std::vector<std::shared_ptr<al::AssetsGroup>> assetsGroups_;
    std::optional<Counts> selectedAssetCount_;
    std::shared_ptr<ui::TableView> tableView_;
    std::shared_ptr<ui::Button> touchButton_;
    ns::IndexPath selectedIndexPath_;
};

}  // namespace ql
