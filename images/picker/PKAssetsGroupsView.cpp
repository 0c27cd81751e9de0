#include "images/picker/PKAssetsGroupsView.h"

#include "images/picker/PKAssetsGroupCell.h"
#include "images/picker/PKPickerFrame.h"
#include "platform/ui/Color.h"

namespace ql {

PKAssetsGroupsView::PKAssetsGroupsView(Key, const cg::Rect& frame) : ui::View(frame) {
    setBackgroundColor(ui::Color::clearColor());
}

std::shared_ptr<PKAssetsGroupsView> PKAssetsGroupsView::make(const cg::Rect& frame) {
    auto view = std::make_shared<PKAssetsGroupsView>(Key{}, frame);
    view->tableView();
    view->touchButton();
    return view;
}

const std::shared_ptr<ui::TableView>& PKAssetsGroupsView::tableView() {
    if (!tableView_) {
        tableView_ = std::make_shared<ui::TableView>(cg::Rect{0, 0, width(*this), kRowHeight * kRowsInView},
                                                     ui::TableViewStyle::Plain);
        auto self = std::static_pointer_cast<PKAssetsGroupsView>(shared_from_this());
        tableView_->setDataSource(std::weak_ptr<ui::TableViewDataSource>(self));
        tableView_->setDelegate(std::weak_ptr<ui::TableViewDelegate>(self));
        tableView_->setShowsVerticalScrollIndicator(false);
        tableView_->setShowsHorizontalScrollIndicator(false);
        addSubview(tableView_);
    }
    return tableView_;
}

const std::shared_ptr<ui::Button>& PKAssetsGroupsView::touchButton() {
    if (!touchButton_) {
        const double tableBottom = bottom(*tableView());
        touchButton_ = std::make_shared<ui::Button>(cg::Rect{0, tableBottom, width(*this), height(*this) - tableBottom});
        touchButton_->addTarget(std::static_pointer_cast<PKAssetsGroupsView>(shared_from_this()),
                                ui::Action(&PKAssetsGroupsView::cancelAssetsGroupSelect), ui::ControlEventTouchUpInside);
        addSubview(touchButton_);
    }
    return touchButton_;
}

void PKAssetsGroupsView::setAssetsGroups(std::vector<std::shared_ptr<al::AssetsGroup>> groups) {
    if (groups == assetsGroups_) return;
    assetsGroups_ = std::move(groups);
    const auto count = static_cast<double>(assetsGroups_.size());
    setHeight(*tableView(), count > kRowsInView ? kRowHeight * kRowsInView : kRowHeight * count);
    selectedIndexPath_ = ns::IndexPath::indexPathForRow(0, 0);
    setTop(*touchButton(), bottom(*tableView()));
    setHeight(*touchButton(), height(*this) - bottom(*tableView()));
    tableView()->reloadData();
}

void PKAssetsGroupsView::setSelectedAssetCount(Counts counts) {
    if (selectedAssetCount_ == counts) return;
    selectedAssetCount_ = std::move(counts);
    tableView()->reloadData();
}

void PKAssetsGroupsView::addAssetSelected(const PKAssets& record) {
    if (!selectedAssetCount_ || !record.groupPropertyID()) return;
    ++(*selectedAssetCount_)[*record.groupPropertyID()];
    tableView()->reloadData();
}

void PKAssetsGroupsView::removeAssetSelected(const PKAssets& record) {
    if (!selectedAssetCount_ || !record.groupPropertyID()) return;
    auto found = selectedAssetCount_->find(*record.groupPropertyID());
    // An album whose last chosen photo goes loses its entry rather than keeping a 0.
    if (found != selectedAssetCount_->end()) {
        if (found->second > 1) --found->second;
        else selectedAssetCount_->erase(found);
    }
    tableView()->reloadData();
}

bool PKAssetsGroupsView::selectAssetsGroup(const al::AssetsGroup& group) const {
    if (!selectedAssetCount_) return false;
    auto found = selectedAssetCount_->find(group.persistentID());
    return found != selectedAssetCount_->end() && found->second > 0;
}

void PKAssetsGroupsView::cancelAssetsGroupSelect(ns::Object*, ui::Event*) {
    if (auto delegate = this->delegate()) delegate->assetsGroupsViewDidCancel(*this);
}

std::int64_t PKAssetsGroupsView::tableViewNumberOfRowsInSection(ui::TableView&, std::int64_t) {
    return static_cast<std::int64_t>(assetsGroups_.size());
}

std::shared_ptr<ui::TableViewCell> PKAssetsGroupsView::tableViewCellForRowAtIndexPath(ui::TableView& table,
                                                                                       const ns::IndexPath& path) {
    auto cell = std::dynamic_pointer_cast<PKAssetsGroupCell>(table.dequeueReusableCellWithIdentifier(std::string(kCellIdentifier)));
    if (!cell) cell = std::make_shared<PKAssetsGroupCell>(ui::TableViewCellStyle::Default, std::string(kCellIdentifier));
    const auto& group = assetsGroups_.at(static_cast<std::size_t>(path.row()));
    cell->setAssetsGroup(group);
    cell->setIsSelected(selectAssetsGroup(*group));
    cell->setSelectionStyle(path == selectedIndexPath_ ? ui::TableViewCellSelectionStyle::Blue
                                                       : ui::TableViewCellSelectionStyle::None);
    return cell;
}

void PKAssetsGroupsView::tableViewDidSelectRowAtIndexPath(ui::TableView& table, const ns::IndexPath& path) {
    table.deselectRowAtIndexPath(path, true);
    selectedIndexPath_ = path;
    table.reloadData();
    if (auto delegate = this->delegate()) {
        delegate->assetsGroupsViewDidSelectAssetsGroup(*this, assetsGroups_.at(static_cast<std::size_t>(path.row())));
    }
}

}  // namespace ql
