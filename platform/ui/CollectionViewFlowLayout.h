#pragma once
// ui::CollectionViewFlowLayout: lays items out in lines across the scrolling direction, section after
// section, with a header before and a footer after each section. A line takes as many items as fit
// between the section insets with at least the inter-item spacing; the space left over is shared out
// between the items of the line (a lone item is centred), and lines follow each other at the line
// spacing. Sizes, insets and spacings come from the layout or, per section or item, from a delegate
// that answers the flow layout's optional questions.

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/ui/CollectionView.h"
#include "platform/ui/CollectionViewLayout.h"

namespace ql::ui {

enum class CollectionViewScrollDirection { Vertical = 0, Horizontal = 1 };

// A collection view delegate that may also answer the flow layout; unanswered (nullopt) questions take
// the layout's own values.
class CollectionViewDelegateFlowLayout : public CollectionViewDelegate {
public:
    virtual std::optional<cg::Size> collectionViewLayoutSizeForItemAtIndexPath(CollectionView&, CollectionViewLayout&,
                                                                               const ns::IndexPath&) {
        return std::nullopt;
    }
    virtual std::optional<cg::EdgeInsets> collectionViewLayoutInsetForSectionAtIndex(CollectionView&, CollectionViewLayout&,
                                                                                     std::int64_t) {
        return std::nullopt;
    }
    virtual std::optional<double> collectionViewLayoutMinimumLineSpacingForSectionAtIndex(CollectionView&,
                                                                                          CollectionViewLayout&, std::int64_t) {
        return std::nullopt;
    }
    virtual std::optional<double> collectionViewLayoutMinimumInteritemSpacingForSectionAtIndex(CollectionView&,
                                                                                               CollectionViewLayout&,
                                                                                               std::int64_t) {
        return std::nullopt;
    }
    virtual std::optional<cg::Size> collectionViewLayoutReferenceSizeForHeaderInSection(CollectionView&,
                                                                                        CollectionViewLayout&, std::int64_t) {
        return std::nullopt;
    }
    virtual std::optional<cg::Size> collectionViewLayoutReferenceSizeForFooterInSection(CollectionView&,
                                                                                        CollectionViewLayout&, std::int64_t) {
        return std::nullopt;
    }
};

class CollectionViewFlowLayout : public CollectionViewLayout {
    QL_OBJECT_NAMED(CollectionViewFlowLayout, CollectionViewLayout, "UICollectionViewFlowLayout")
public:
    CollectionViewFlowLayout() = default;

    cg::Size itemSize() const { return itemSize_; }
    void setItemSize(cg::Size size);
    double minimumLineSpacing() const { return lineSpacing_; }
    void setMinimumLineSpacing(double spacing);
    double minimumInteritemSpacing() const { return interitemSpacing_; }
    void setMinimumInteritemSpacing(double spacing);
    const cg::EdgeInsets& sectionInset() const { return sectionInset_; }
    void setSectionInset(const cg::EdgeInsets& insets);
    CollectionViewScrollDirection scrollDirection() const { return direction_; }
    void setScrollDirection(CollectionViewScrollDirection direction);
    // Only the height counts when scrolling vertically, only the width when scrolling horizontally; a
    // header or footer of zero extent is not placed.
    cg::Size headerReferenceSize() const { return headerSize_; }
    void setHeaderReferenceSize(cg::Size size);
    cg::Size footerReferenceSize() const { return footerSize_; }
    void setFooterReferenceSize(cg::Size size);

    void prepareLayout() override;
    cg::Size collectionViewContentSize() override { return contentSize_; }
    LayoutAttributesList layoutAttributesForElementsInRect(const cg::Rect& rect) override;
    std::shared_ptr<CollectionViewLayoutAttributes> layoutAttributesForItemAtIndexPath(const ns::IndexPath& path) override;
    std::shared_ptr<CollectionViewLayoutAttributes> layoutAttributesForSupplementaryViewOfKind(
        const std::string& kind, const ns::IndexPath& path) override;
    // A change of size (not of offset) lays out again.
    bool shouldInvalidateLayoutForBoundsChange(const cg::Rect& newBounds) override;

private:
    struct Section {
        std::shared_ptr<CollectionViewLayoutAttributes> header;
        std::shared_ptr<CollectionViewLayoutAttributes> footer;
        LayoutAttributesList items;
        cg::Rect frame;  // everything of the section, header and footer included
    };

    void layOutSection(std::int64_t section, double& along, double across, CollectionViewDelegateFlowLayout* flow);

    cg::Size itemSize_{50, 50};
    double lineSpacing_ = 10;
    double interitemSpacing_ = 10;
    cg::EdgeInsets sectionInset_;
    CollectionViewScrollDirection direction_ = CollectionViewScrollDirection::Vertical;
    cg::Size headerSize_;
    cg::Size footerSize_;

    std::vector<Section> sections_;
    cg::Size contentSize_;
    cg::Size preparedFor_;
};

}  // namespace ql::ui
