#pragma once
// ui::CollectionViewLayout: decides where a collection view's cells and supplementary views go. The
// collection view asks it to prepare, for the size of all content, and for the attributes (frame,
// transform, alpha, z order) of the elements in the rectangle on screen. Subclasses lay out; the base
// lays out nothing. ui::CollectionViewLayoutAttributes is one element's placement.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/IndexPath.h"
#include "platform/foundation/Object.h"
#include "platform/graphics/Geometry.h"

namespace ql::ui {

class CollectionView;

enum class CollectionElementCategory { Cell = 0, SupplementaryView = 1, DecorationView = 2 };

// The kinds of supplementary views a flow layout places.
inline constexpr std::string_view CollectionElementKindSectionHeader = "UICollectionElementKindSectionHeader";
inline constexpr std::string_view CollectionElementKindSectionFooter = "UICollectionElementKindSectionFooter";

class CollectionViewLayoutAttributes : public ns::Object {
    QL_OBJECT_NAMED(CollectionViewLayoutAttributes, ns::Object, "UICollectionViewLayoutAttributes")
public:
    CollectionViewLayoutAttributes() = default;
    static std::shared_ptr<CollectionViewLayoutAttributes> layoutAttributesForCellWithIndexPath(const ns::IndexPath& path);
    static std::shared_ptr<CollectionViewLayoutAttributes> layoutAttributesForSupplementaryViewOfKind(std::string kind,
                                                                                                     const ns::IndexPath& path);

    // The frame is the centre and size without the transform.
    cg::Rect frame() const;
    void setFrame(const cg::Rect& frame);
    cg::Point center() const { return center_; }
    void setCenter(cg::Point center) { center_ = center; }
    cg::Size size() const { return size_; }
    void setSize(cg::Size size) { size_ = size; }
    const cg::AffineTransform& transform() const { return transform_; }
    void setTransform(const cg::AffineTransform& transform) { transform_ = transform; }
    double alpha() const { return alpha_; }
    void setAlpha(double alpha) { alpha_ = alpha; }
    // Higher is in front; elements of equal z keep the order they came in.
    std::int64_t zIndex() const { return zIndex_; }
    void setZIndex(std::int64_t zIndex) { zIndex_ = zIndex; }
    bool isHidden() const { return hidden_; }
    void setHidden(bool hidden) { hidden_ = hidden; }

    const ns::IndexPath& indexPath() const { return indexPath_; }
    void setIndexPath(const ns::IndexPath& path) { indexPath_ = path; }
    CollectionElementCategory representedElementCategory() const { return category_; }
    // The supplementary view's kind; none for cells.
    const std::optional<std::string>& representedElementKind() const { return kind_; }

    std::shared_ptr<ns::Object> copy() const override;
    std::string description() const override;

private:
    cg::Point center_;
    cg::Size size_;
    cg::AffineTransform transform_;
    double alpha_ = 1;
    std::int64_t zIndex_ = 0;
    bool hidden_ = false;
    ns::IndexPath indexPath_;
    CollectionElementCategory category_ = CollectionElementCategory::Cell;
    std::optional<std::string> kind_;
};

using LayoutAttributesList = std::vector<std::shared_ptr<CollectionViewLayoutAttributes>>;

class CollectionViewLayout : public ns::Object {
    QL_OBJECT_NAMED(CollectionViewLayout, ns::Object, "UICollectionViewLayout")
public:
    CollectionViewLayout() = default;

    // The collection view this layout serves, while it serves one.
    CollectionView* collectionView() const { return collectionView_; }

    // Called before the collection view asks anything after the layout was invalidated.
    virtual void prepareLayout() {}
    virtual cg::Size collectionViewContentSize() { return {}; }
    virtual LayoutAttributesList layoutAttributesForElementsInRect(const cg::Rect& rect);
    virtual std::shared_ptr<CollectionViewLayoutAttributes> layoutAttributesForItemAtIndexPath(const ns::IndexPath& path);
    virtual std::shared_ptr<CollectionViewLayoutAttributes> layoutAttributesForSupplementaryViewOfKind(
        const std::string& kind, const ns::IndexPath& path);
    // Asked when the collection view's bounds change (a scroll, a resize); true prepares the layout again.
    virtual bool shouldInvalidateLayoutForBoundsChange(const cg::Rect& newBounds);

    // The collection view prepares the layout again before it next asks anything.
    virtual void invalidateLayout();
    bool isPrepared() const { return prepared_; }

private:
    friend class CollectionView;
    CollectionView* collectionView_ = nullptr;
    bool prepared_ = false;
};

}  // namespace ql::ui
