#pragma once
// ui::CollectionReusableView: a view a collection view places for a supplementary element (a section
// header or footer, or a layout's own kinds) and reuses like a cell. ui::CollectionViewCell: one item of
// a collection view: a content view over a background that changes while the item is highlighted or
// selected.

#include <memory>
#include <string>

#include "platform/ui/View.h"

namespace ql::ui {

class CollectionViewLayoutAttributes;

class CollectionReusableView : public View {
    QL_OBJECT_NAMED(CollectionReusableView, View, "UICollectionReusableView")
public:
    CollectionReusableView() : CollectionReusableView(cg::Rect::zero()) {}
    explicit CollectionReusableView(const cg::Rect& frame) : View(frame) {}

    const std::string& reuseIdentifier() const { return reuseIdentifier_; }
    // Called by the collection view just before it hands the view out again.
    virtual void prepareForReuse() {}
    // Told of the attributes after the collection view has placed the view by them.
    virtual void applyLayoutAttributes(const CollectionViewLayoutAttributes&) {}

private:
    friend class CollectionView;
    std::string reuseIdentifier_;
};

class CollectionViewCell : public CollectionReusableView {
    QL_OBJECT_NAMED(CollectionViewCell, CollectionReusableView, "UICollectionViewCell")
public:
    CollectionViewCell() : CollectionViewCell(cg::Rect::zero()) {}
    explicit CollectionViewCell(const cg::Rect& frame);

    const std::shared_ptr<View>& contentView() const { return contentView_; }
    const std::shared_ptr<View>& backgroundView() const { return backgroundView_; }
    void setBackgroundView(std::shared_ptr<View> view);
    // Shown instead of the background while the item is highlighted or selected.
    const std::shared_ptr<View>& selectedBackgroundView() const { return selectedBackgroundView_; }
    void setSelectedBackgroundView(std::shared_ptr<View> view);

    bool isSelected() const { return selected_; }
    virtual void setSelected(bool selected);
    bool isHighlighted() const { return highlighted_; }
    virtual void setHighlighted(bool highlighted);

    // The base clears the highlight and the selection.
    void prepareForReuse() override;
    void layoutSubviews() override;

private:
    void showSelection();

    std::shared_ptr<View> contentView_;
    std::shared_ptr<View> backgroundView_;
    std::shared_ptr<View> selectedBackgroundView_;
    bool selected_ = false;
    bool highlighted_ = false;
};

}  // namespace ql::ui
