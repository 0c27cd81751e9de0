#include "platform/ui/CollectionViewLayout.h"

#include "platform/ui/CollectionView.h"

namespace ql::ui {

std::shared_ptr<CollectionViewLayoutAttributes> CollectionViewLayoutAttributes::layoutAttributesForCellWithIndexPath(
    const ns::IndexPath& path) {
    auto attributes = std::make_shared<CollectionViewLayoutAttributes>();
    attributes->indexPath_ = path;
    return attributes;
}

std::shared_ptr<CollectionViewLayoutAttributes> CollectionViewLayoutAttributes::layoutAttributesForSupplementaryViewOfKind(
    std::string kind, const ns::IndexPath& path) {
    auto attributes = std::make_shared<CollectionViewLayoutAttributes>();
    attributes->indexPath_ = path;
    attributes->category_ = CollectionElementCategory::SupplementaryView;
    attributes->kind_ = std::move(kind);
    return attributes;
}

cg::Rect CollectionViewLayoutAttributes::frame() const {
    return {center_.x - size_.width / 2, center_.y - size_.height / 2, size_.width, size_.height};
}

void CollectionViewLayoutAttributes::setFrame(const cg::Rect& frame) {
    const cg::Rect r = cg::rectStandardize(frame);
    size_ = r.size;
    center_ = {cg::midX(r), cg::midY(r)};
}

std::shared_ptr<ns::Object> CollectionViewLayoutAttributes::copy() const {
    auto c = std::make_shared<CollectionViewLayoutAttributes>();
    c->center_ = center_;
    c->size_ = size_;
    c->transform_ = transform_;
    c->alpha_ = alpha_;
    c->zIndex_ = zIndex_;
    c->hidden_ = hidden_;
    c->indexPath_ = indexPath_;
    c->category_ = category_;
    c->kind_ = kind_;
    return c;
}

std::string CollectionViewLayoutAttributes::description() const {
    std::string d = "<UICollectionViewLayoutAttributes: " + ns::addressText(this) + "> index path: (" +
                    indexPath_.description() + "); ";
    if (kind_) d += "element kind: (" + *kind_ + "); ";
    return d + "frame = " + cg::toString(frame()) + "; zIndex = " + std::to_string(zIndex_) + ";";
}

LayoutAttributesList CollectionViewLayout::layoutAttributesForElementsInRect(const cg::Rect&) { return {}; }

std::shared_ptr<CollectionViewLayoutAttributes> CollectionViewLayout::layoutAttributesForItemAtIndexPath(const ns::IndexPath&) {
    return nullptr;
}

std::shared_ptr<CollectionViewLayoutAttributes> CollectionViewLayout::layoutAttributesForSupplementaryViewOfKind(
    const std::string&, const ns::IndexPath&) {
    return nullptr;
}

bool CollectionViewLayout::shouldInvalidateLayoutForBoundsChange(const cg::Rect&) { return false; }

void CollectionViewLayout::invalidateLayout() {
    prepared_ = false;
    if (collectionView_) collectionView_->setNeedsLayout();
}

}  // namespace ql::ui
