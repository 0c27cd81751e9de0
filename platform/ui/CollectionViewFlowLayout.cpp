#include "platform/ui/CollectionViewFlowLayout.h"

#include <algorithm>

namespace ql::ui {

namespace {

// Flow coordinates: "along" is the scrolling axis, "across" the axis lines fill.
struct Axes {
    bool vertical;
    double along(cg::Size s) const { return vertical ? s.height : s.width; }
    double across(cg::Size s) const { return vertical ? s.width : s.height; }
    double before(const cg::EdgeInsets& i) const { return vertical ? i.top : i.left; }
    double after(const cg::EdgeInsets& i) const { return vertical ? i.bottom : i.right; }
    double acrossStart(const cg::EdgeInsets& i) const { return vertical ? i.left : i.top; }
    double acrossEnd(const cg::EdgeInsets& i) const { return vertical ? i.right : i.bottom; }
    cg::Rect rect(double alongPos, double acrossPos, double alongLength, double acrossLength) const {
        return vertical ? cg::Rect{acrossPos, alongPos, acrossLength, alongLength}
                        : cg::Rect{alongPos, acrossPos, alongLength, acrossLength};
    }
};

}  // namespace

void CollectionViewFlowLayout::setItemSize(cg::Size size) {
    itemSize_ = size;
    invalidateLayout();
}

void CollectionViewFlowLayout::setMinimumLineSpacing(double spacing) {
    lineSpacing_ = spacing;
    invalidateLayout();
}

void CollectionViewFlowLayout::setMinimumInteritemSpacing(double spacing) {
    interitemSpacing_ = spacing;
    invalidateLayout();
}

void CollectionViewFlowLayout::setSectionInset(const cg::EdgeInsets& insets) {
    sectionInset_ = insets;
    invalidateLayout();
}

void CollectionViewFlowLayout::setScrollDirection(CollectionViewScrollDirection direction) {
    direction_ = direction;
    invalidateLayout();
}

void CollectionViewFlowLayout::setHeaderReferenceSize(cg::Size size) {
    headerSize_ = size;
    invalidateLayout();
}

void CollectionViewFlowLayout::setFooterReferenceSize(cg::Size size) {
    footerSize_ = size;
    invalidateLayout();
}

void CollectionViewFlowLayout::prepareLayout() {
    sections_.clear();
    contentSize_ = {};
    CollectionView* view = collectionView();
    if (!view) return;
    const Axes axes{direction_ == CollectionViewScrollDirection::Vertical};
    const cg::Size bounds = view->bounds().size;
    const cg::EdgeInsets& inset = view->contentInset();
    const double across = std::max(0.0, axes.vertical ? bounds.width - inset.left - inset.right
                                                      : bounds.height - inset.top - inset.bottom);
    const auto delegate = view->delegate();
    auto* flow = dynamic_cast<CollectionViewDelegateFlowLayout*>(delegate.get());
    double along = 0;
    const std::int64_t count = view->numberOfSections();
    for (std::int64_t s = 0; s < count; ++s) layOutSection(s, along, across, flow);
    contentSize_ = axes.vertical ? cg::Size{across, along} : cg::Size{along, across};
    preparedFor_ = bounds;
}

void CollectionViewFlowLayout::layOutSection(std::int64_t s, double& along, double across,
                                             CollectionViewDelegateFlowLayout* flow) {
    CollectionView& view = *collectionView();
    const Axes axes{direction_ == CollectionViewScrollDirection::Vertical};
    const cg::EdgeInsets inset = (flow ? flow->collectionViewLayoutInsetForSectionAtIndex(view, *this, s) : std::nullopt)
                                     .value_or(sectionInset_);
    const double lineSpacing = (flow ? flow->collectionViewLayoutMinimumLineSpacingForSectionAtIndex(view, *this, s) : std::nullopt)
                                   .value_or(lineSpacing_);
    const double itemSpacing =
        (flow ? flow->collectionViewLayoutMinimumInteritemSpacingForSectionAtIndex(view, *this, s) : std::nullopt)
            .value_or(interitemSpacing_);
    const cg::Size headerSize = (flow ? flow->collectionViewLayoutReferenceSizeForHeaderInSection(view, *this, s) : std::nullopt)
                                    .value_or(headerSize_);
    const cg::Size footerSize = (flow ? flow->collectionViewLayoutReferenceSizeForFooterInSection(view, *this, s) : std::nullopt)
                                    .value_or(footerSize_);

    Section section;
    const double start = along;
    if (axes.along(headerSize) > 0) {
        section.header = CollectionViewLayoutAttributes::layoutAttributesForSupplementaryViewOfKind(
            std::string(CollectionElementKindSectionHeader), {s, 0});
        section.header->setFrame(axes.rect(along, 0, axes.along(headerSize), across));
        along += axes.along(headerSize);
    }

    const std::int64_t count = view.numberOfItemsInSection(s);
    std::vector<cg::Size> sizes(static_cast<std::size_t>(count));
    for (std::int64_t i = 0; i < count; ++i) {
        sizes[static_cast<std::size_t>(i)] =
            (flow ? flow->collectionViewLayoutSizeForItemAtIndexPath(view, *this, {s, i}) : std::nullopt).value_or(itemSize_);
    }
    if (count > 0) {
        along += axes.before(inset);
        const double lineStart = axes.acrossStart(inset);
        const double room = across - axes.acrossStart(inset) - axes.acrossEnd(inset);
        std::size_t first = 0;
        while (first < sizes.size()) {
            // As many items as fit across, and always at least one.
            std::size_t end = first;
            double used = 0;
            double thickness = 0;
            while (end < sizes.size()) {
                const double need = (end == first ? 0 : itemSpacing) + axes.across(sizes[end]);
                if (end > first && used + need > room + 1e-9) break;
                used += need;
                thickness = std::max(thickness, axes.along(sizes[end]));
                ++end;
            }
            if (first > 0) along += lineSpacing;
            const std::size_t inLine = end - first;
            const double leftover = std::max(0.0, room - used);
            double position = lineStart + (inLine == 1 ? leftover / 2 : 0);
            const double gap = inLine > 1 ? itemSpacing + leftover / double(inLine - 1) : 0;
            for (std::size_t i = first; i < end; ++i) {
                auto item = CollectionViewLayoutAttributes::layoutAttributesForCellWithIndexPath({s, static_cast<std::int64_t>(i)});
                const double itemAlong = axes.along(sizes[i]);
                item->setFrame(axes.rect(along + (thickness - itemAlong) / 2, position, itemAlong, axes.across(sizes[i])));
                section.items.push_back(std::move(item));
                position += axes.across(sizes[i]) + gap;
            }
            along += thickness;
            first = end;
        }
        along += axes.after(inset);
    }

    if (axes.along(footerSize) > 0) {
        section.footer = CollectionViewLayoutAttributes::layoutAttributesForSupplementaryViewOfKind(
            std::string(CollectionElementKindSectionFooter), {s, 0});
        section.footer->setFrame(axes.rect(along, 0, axes.along(footerSize), across));
        along += axes.along(footerSize);
    }
    section.frame = axes.rect(start, 0, along - start, across);
    sections_.push_back(std::move(section));
}

LayoutAttributesList CollectionViewFlowLayout::layoutAttributesForElementsInRect(const cg::Rect& rect) {
    LayoutAttributesList result;
    auto take = [&](const std::shared_ptr<CollectionViewLayoutAttributes>& attributes) {
        if (attributes && cg::rectIntersectsRect(attributes->frame(), rect)) result.push_back(attributes);
    };
    for (const Section& section : sections_) {
        if (!cg::rectIntersectsRect(section.frame, rect)) continue;
        take(section.header);
        for (const auto& item : section.items) take(item);
        take(section.footer);
    }
    return result;
}

std::shared_ptr<CollectionViewLayoutAttributes> CollectionViewFlowLayout::layoutAttributesForItemAtIndexPath(
    const ns::IndexPath& path) {
    if (path.section() < 0 || path.section() >= static_cast<std::int64_t>(sections_.size())) return nullptr;
    const auto& items = sections_[static_cast<std::size_t>(path.section())].items;
    if (path.item() < 0 || path.item() >= static_cast<std::int64_t>(items.size())) return nullptr;
    return items[static_cast<std::size_t>(path.item())];
}

std::shared_ptr<CollectionViewLayoutAttributes> CollectionViewFlowLayout::layoutAttributesForSupplementaryViewOfKind(
    const std::string& kind, const ns::IndexPath& path) {
    if (path.section() < 0 || path.section() >= static_cast<std::int64_t>(sections_.size())) return nullptr;
    const Section& section = sections_[static_cast<std::size_t>(path.section())];
    if (kind == CollectionElementKindSectionHeader) return section.header;
    if (kind == CollectionElementKindSectionFooter) return section.footer;
    return nullptr;
}

bool CollectionViewFlowLayout::shouldInvalidateLayoutForBoundsChange(const cg::Rect& newBounds) {
    return newBounds.size != preparedFor_;
}

}  // namespace ql::ui
