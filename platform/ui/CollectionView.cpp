#include "platform/ui/CollectionView.h"

#include <algorithm>

#include "platform/foundation/Exception.h"
#include "platform/ui/Touch.h"

namespace ql::ui {

namespace {

using ns::IndexPath;

std::string queueKey(const std::string& kind, const std::string& identifier) { return kind + '\n' + identifier; }

}  // namespace

CollectionView::CollectionView(const cg::Rect& frame, std::shared_ptr<CollectionViewLayout> layout) : ScrollView(frame) {
    setCollectionViewLayout(std::move(layout));
}

CollectionView::~CollectionView() {
    if (layout_ && layout_->collectionView_ == this) layout_->collectionView_ = nullptr;
}

void CollectionView::setCollectionViewLayout(std::shared_ptr<CollectionViewLayout> layout) {
    if (layout == layout_) return;
    if (layout_ && layout_->collectionView_ == this) layout_->collectionView_ = nullptr;
    layout_ = std::move(layout);
    if (layout_) {
        layout_->collectionView_ = this;
        layout_->invalidateLayout();
    }
    setNeedsLayout();
}

void CollectionView::setDataSource(std::weak_ptr<CollectionViewDataSource> dataSource) {
    dataSource_ = std::move(dataSource);
    // Views of the old data source must not stand for the new one's items.
    recycleAll();
    selected_.clear();
    loaded_ = false;
    if (layout_) layout_->invalidateLayout();
}

void CollectionView::setDelegate(std::weak_ptr<CollectionViewDelegate> delegate) {
    collectionDelegate_ = delegate;
    ScrollView::setDelegate(std::weak_ptr<ScrollViewDelegate>(delegate));
    // A flow layout asks the delegate for sizes.
    if (layout_) layout_->invalidateLayout();
}

// ---- Data ----

HookChain<CollectionView>& CollectionView::reloadHooks() {
    static auto* chain = new HookChain<CollectionView>;
    return *chain;
}

std::size_t CollectionView::addReloadDataHook(Hook hook) { return reloadHooks().add(std::move(hook)); }

void CollectionView::reloadData() {
    assertMainThread();
    auto keep = shared_from_this();
    reloadHooks().run([this] { reloadOwn(); }, *this);
}

void CollectionView::reloadOwn() {
    recycleAll();
    selected_.clear();
    tap_.forget();
    loaded_ = false;
    loadIfNeeded();
    if (layout_) layout_->invalidateLayout();
    setNeedsLayout();
}

void CollectionView::loadIfNeeded() {
    if (loaded_) return;
    loaded_ = true;
    counts_.clear();
    auto ds = dataSource();
    if (!ds) return;
    const std::int64_t sections = std::max<std::int64_t>(0, ds->numberOfSectionsInCollectionView(*this));
    for (std::int64_t s = 0; s < sections; ++s) {
        counts_.push_back(std::max<std::int64_t>(0, ds->collectionViewNumberOfItemsInSection(*this, s)));
    }
}

std::int64_t CollectionView::numberOfSections() {
    loadIfNeeded();
    return static_cast<std::int64_t>(counts_.size());
}

std::int64_t CollectionView::numberOfItemsInSection(std::int64_t section) {
    loadIfNeeded();
    if (section < 0 || section >= static_cast<std::int64_t>(counts_.size())) return 0;
    return counts_[static_cast<std::size_t>(section)];
}

void CollectionView::prepareIfNeeded() {
    loadIfNeeded();
    if (!layout_ || layout_->prepared_) return;
    layout_->prepared_ = true;
    layout_->prepareLayout();
    setContentSize(layout_->collectionViewContentSize());
}

// ---- Reuse ----

void CollectionView::registerClass(ViewFactory factory, std::string reuseIdentifier) {
    reuse_.registerFactory(queueKey({}, reuseIdentifier), std::move(factory));
}

void CollectionView::registerClass(ViewFactory factory, std::string kind, std::string reuseIdentifier) {
    reuse_.registerFactory(queueKey(kind, reuseIdentifier), std::move(factory));
}

void CollectionView::registerNib(std::shared_ptr<Nib> nib, std::string reuseIdentifier) {
    reuse_.registerNib(queueKey({}, reuseIdentifier), std::move(nib));
}

void CollectionView::registerNib(std::shared_ptr<Nib> nib, std::string kind, std::string reuseIdentifier) {
    reuse_.registerNib(queueKey(kind, reuseIdentifier), std::move(nib));
}

std::shared_ptr<CollectionReusableView> CollectionView::dequeue(const std::string& key, const std::string& identifier,
                                                                const IndexPath& path, const std::string& kind) {
    if (auto view = reuse_.dequeue(key)) return view;
    const std::string shownKind = kind.empty() ? "UICollectionElementKindCell" : kind;
    const auto* registration = reuse_.registration(key);
    if (!registration) {
        throw ns::Exception(ns::InternalInconsistencyException,
                            "could not dequeue a view of kind: " + shownKind + " with identifier " + identifier +
                                " - must register a nib or a class for the identifier or connect a prototype cell in a storyboard");
    }
    std::shared_ptr<CollectionReusableView> view;
    if (registration->factory) {
        // A new view starts at the frame the layout gives its element.
        prepareIfNeeded();
        auto attributes = !layout_ ? nullptr
                          : kind.empty() ? layout_->layoutAttributesForItemAtIndexPath(path)
                                         : layout_->layoutAttributesForSupplementaryViewOfKind(kind, path);
        view = registration->factory(attributes ? attributes->frame() : cg::Rect::zero());
    } else if (registration->nib) {
        view = reuse_.instantiate(*registration->nib);
    }
    if (!view) {
        throw ns::Exception(ns::InternalInconsistencyException,
                            "invalid nib or class registered for identifier (" + identifier + ") of kind " + shownKind);
    }
    view->reuseIdentifier_ = identifier;
    return view;
}

std::shared_ptr<CollectionViewCell> CollectionView::dequeueReusableCellWithReuseIdentifier(const std::string& identifier,
                                                                                           const IndexPath& path) {
    auto view = dequeue(queueKey({}, identifier), identifier, path, {});
    auto cell = std::dynamic_pointer_cast<CollectionViewCell>(view);
    if (!cell) {
        throw ns::Exception(ns::InternalInconsistencyException,
                            "the view registered for identifier " + identifier + " is not a UICollectionViewCell");
    }
    return cell;
}

std::shared_ptr<CollectionReusableView> CollectionView::dequeueReusableSupplementaryViewOfKind(const std::string& kind,
                                                                                               const std::string& identifier,
                                                                                               const IndexPath& path) {
    return dequeue(queueKey(kind, identifier), identifier, path, kind);
}

// ---- Tiling ----

void CollectionView::layoutSubviews() { tile(); }

void CollectionView::tile() {
    if (tiling_ || !layout_) return;
    tiling_ = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{tiling_};
    auto keep = shared_from_this();
    loadIfNeeded();
    if (layout_->prepared_ && bounds() != laidOutBounds_ && layout_->shouldInvalidateLayoutForBoundsChange(bounds())) {
        layout_->prepared_ = false;
    }
    prepareIfNeeded();
    laidOutBounds_ = bounds();

    std::vector<std::pair<ElementKey, std::shared_ptr<CollectionViewLayoutAttributes>>> wanted;
    for (auto& attributes : layout_->layoutAttributesForElementsInRect(laidOutBounds_)) {
        if (!attributes) continue;
        const IndexPath& path = attributes->indexPath();
        switch (attributes->representedElementCategory()) {
            case CollectionElementCategory::Cell:
                if (path.item() < 0 || path.item() >= numberOfItemsInSection(path.section())) continue;
                wanted.emplace_back(ElementKey{{}, path}, std::move(attributes));
                break;
            case CollectionElementCategory::SupplementaryView:
                wanted.emplace_back(ElementKey{attributes->representedElementKind().value_or(""), path}, std::move(attributes));
                break;
            case CollectionElementCategory::DecorationView: break;
        }
    }
    std::set<ElementKey> keys;
    for (const auto& [key, attributes] : wanted) keys.insert(key);
    for (const auto& [key, shown] : std::map<ElementKey, Shown>(visible_)) {
        if (keys.count(key)) continue;
        visible_.erase(key);
        recycle(key, shown);
    }
    for (const auto& [key, attributes] : wanted) {
        if (auto it = visible_.find(key); it != visible_.end()) {
            place(*it->second.view, *attributes);
            if (it->second.zIndex != attributes->zIndex()) {
                it->second.zIndex = attributes->zIndex();
                it->second.view->removeFromSuperview();
                insertByZIndex(it->second.view, attributes->zIndex());
            }
            continue;
        }
        auto view = makeView(*attributes);
        if (!view) continue;
        place(*view, *attributes);
        if (auto cell = std::dynamic_pointer_cast<CollectionViewCell>(view); cell && key.first.empty()) {
            cell->setSelected(selected_.count(key.second) > 0);
            if (auto d = delegate()) d->collectionViewWillDisplayCellForItemAtIndexPath(*this, *cell, key.second);
        }
        insertByZIndex(view, attributes->zIndex());
        visible_[key] = {view, attributes->zIndex()};
    }
}

std::shared_ptr<CollectionReusableView> CollectionView::makeView(const CollectionViewLayoutAttributes& attributes) {
    auto ds = dataSource();
    if (!ds) return nullptr;
    if (attributes.representedElementCategory() == CollectionElementCategory::Cell) {
        auto cell = ds->collectionViewCellForItemAtIndexPath(*this, attributes.indexPath());
        if (!cell) {
            throw ns::Exception(ns::InternalInconsistencyException,
                                "the cell returned from -collectionView:cellForItemAtIndexPath: for index path " +
                                    attributes.indexPath().description() + " is nil");
        }
        return cell;
    }
    return ds->collectionViewViewForSupplementaryElementOfKindAtIndexPath(
        *this, attributes.representedElementKind().value_or(""), attributes.indexPath());
}

void CollectionView::place(CollectionReusableView& view, const CollectionViewLayoutAttributes& attributes) {
    view.setTransform(cg::AffineTransform::identity());
    view.setFrame(attributes.frame());
    if (!cg::isIdentity(attributes.transform())) view.setTransform(attributes.transform());
    view.setAlpha(attributes.alpha());
    view.setHidden(attributes.isHidden());
    view.applyLayoutAttributes(attributes);
}

void CollectionView::insertByZIndex(const std::shared_ptr<CollectionReusableView>& view, std::int64_t zIndex) {
    // The element views lie below any other subview, ordered by z.
    std::size_t index = 0;
    for (const auto& [key, shown] : visible_) {
        if (shown.view != view && shown.view->superview() == this && shown.zIndex <= zIndex) ++index;
    }
    insertSubview(view, index);
}

void CollectionView::recycle(const ElementKey& key, const Shown& shown) {
    if (key.first.empty()) {
        if (tap_.pending() == key.second) tap_.unhighlight();
        if (auto cell = std::dynamic_pointer_cast<CollectionViewCell>(shown.view)) {
            if (auto d = delegate()) d->collectionViewDidEndDisplayingCellForItemAtIndexPath(*this, *cell, key.second);
        }
    }
    shown.view->removeFromSuperview();
    if (!shown.view->reuseIdentifier().empty()) reuse_.enqueue(queueKey(key.first, shown.view->reuseIdentifier()), shown.view);
}

void CollectionView::recycleAll() {
    for (const auto& [key, shown] : std::map<ElementKey, Shown>(visible_)) {
        visible_.erase(key);
        recycle(key, shown);
    }
}

// ---- Elements on screen ----

std::shared_ptr<CollectionViewCell> CollectionView::visibleCell(const IndexPath& path) const {
    auto it = visible_.find({{}, path});
    return it == visible_.end() ? nullptr : std::dynamic_pointer_cast<CollectionViewCell>(it->second.view);
}

std::shared_ptr<CollectionViewCell> CollectionView::cellForItemAtIndexPath(const IndexPath& path) {
    tile();
    return visibleCell(path);
}

std::vector<std::shared_ptr<CollectionViewCell>> CollectionView::visibleCells() {
    tile();
    std::vector<std::shared_ptr<CollectionViewCell>> cells;
    for (const auto& [key, shown] : visible_) {
        if (key.first.empty()) cells.push_back(std::dynamic_pointer_cast<CollectionViewCell>(shown.view));
    }
    std::sort(cells.begin(), cells.end(), [this](const auto& a, const auto& b) { return indexPathForCell(*a) < indexPathForCell(*b); });
    return cells;
}

std::vector<IndexPath> CollectionView::indexPathsForVisibleItems() {
    tile();
    std::vector<IndexPath> paths;
    for (const auto& [key, shown] : visible_) {
        if (key.first.empty()) paths.push_back(key.second);
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

std::optional<IndexPath> CollectionView::indexPathForCell(const CollectionViewCell& cell) {
    for (const auto& [key, shown] : visible_) {
        if (key.first.empty() && shown.view.get() == &cell) return key.second;
    }
    return std::nullopt;
}

std::optional<IndexPath> CollectionView::indexPathForItemAtPoint(cg::Point point) {
    prepareIfNeeded();
    if (!layout_) return std::nullopt;
    std::shared_ptr<CollectionViewLayoutAttributes> best;
    for (const auto& attributes : layout_->layoutAttributesForElementsInRect({point.x, point.y, 1, 1})) {
        if (!attributes || attributes->representedElementCategory() != CollectionElementCategory::Cell || attributes->isHidden()) continue;
        if (!cg::rectContainsPoint(attributes->frame(), point)) continue;
        if (!best || attributes->zIndex() >= best->zIndex()) best = attributes;
    }
    if (!best) return std::nullopt;
    return best->indexPath();
}

std::shared_ptr<CollectionViewLayoutAttributes> CollectionView::layoutAttributesForItemAtIndexPath(const IndexPath& path) {
    prepareIfNeeded();
    return layout_ ? layout_->layoutAttributesForItemAtIndexPath(path) : nullptr;
}

std::shared_ptr<CollectionViewLayoutAttributes> CollectionView::layoutAttributesForSupplementaryElementOfKind(
    const std::string& kind, const IndexPath& path) {
    prepareIfNeeded();
    return layout_ ? layout_->layoutAttributesForSupplementaryViewOfKind(kind, path) : nullptr;
}

// ---- Selection ----

void CollectionView::selectItemAtIndexPath(const std::optional<IndexPath>& path, bool animated, unsigned scrollPosition) {
    for (const auto& other : TapSelection::replacedBy(path, selected_, allowsMultipleSelection_)) {
        deselectItemAtIndexPath(other, animated);
    }
    if (!path) return;
    selected_.insert(*path);
    if (auto cell = visibleCell(*path)) cell->setSelected(true);
    if (scrollPosition != CollectionViewScrollPositionNone) scrollToItemAtIndexPath(*path, scrollPosition, animated);
}

void CollectionView::deselectItemAtIndexPath(const IndexPath& path, bool) {
    selected_.erase(path);
    if (auto cell = visibleCell(path)) cell->setSelected(false);
}

bool CollectionView::tapMayBegin() {
    if (!allowsSelection_ || touchCaughtMotion()) return false;
    tile();
    return true;
}

std::optional<IndexPath> CollectionView::indexPathUnderTouch(const Touch& touch) {
    return indexPathForItemAtPoint(touch.locationInView(this));
}

bool CollectionView::hasVisibleElement(const IndexPath& path) { return visibleCell(path) != nullptr; }

void CollectionView::setElementHighlighted(const IndexPath& path, bool highlighted) {
    if (auto cell = visibleCell(path)) cell->setHighlighted(highlighted);
}

bool CollectionView::shouldHighlightElement(const IndexPath& path) {
    auto d = delegate();
    return !d || d->collectionViewShouldHighlightItemAtIndexPath(*this, path);
}

void CollectionView::didHighlightElement(const IndexPath& path) {
    if (auto d = delegate()) d->collectionViewDidHighlightItemAtIndexPath(*this, path);
}

void CollectionView::didUnhighlightElement(const IndexPath& path) {
    if (auto d = delegate()) d->collectionViewDidUnhighlightItemAtIndexPath(*this, path);
}

void CollectionView::elementTapped(const IndexPath& path) {
    auto keep = shared_from_this();
    auto d = delegate();
    if (allowsMultipleSelection_ && selected_.count(path)) {
        if (d && !d->collectionViewShouldDeselectItemAtIndexPath(*this, path)) return;
        deselectItemAtIndexPath(path, false);
        if (d) d->collectionViewDidDeselectItemAtIndexPath(*this, path);
        return;
    }
    if (d && !d->collectionViewShouldSelectItemAtIndexPath(*this, path)) return;
    for (const auto& other : TapSelection::replacedBy(path, selected_, allowsMultipleSelection_)) {
        deselectItemAtIndexPath(other, false);
        if (d) d->collectionViewDidDeselectItemAtIndexPath(*this, other);
    }
    selected_.insert(path);
    if (auto cell = visibleCell(path)) cell->setSelected(true);
    if (d) d->collectionViewDidSelectItemAtIndexPath(*this, path);
}

void CollectionView::touchesBegan(const TouchSet& touches, Event*) { tap_.touchesBegan(touches); }
void CollectionView::touchesMoved(const TouchSet& touches, Event*) { tap_.touchesMoved(touches); }
void CollectionView::touchesEnded(const TouchSet& touches, Event*) { tap_.touchesEnded(touches); }
void CollectionView::touchesCancelled(const TouchSet&, Event*) { tap_.touchesCancelled(); }

// ---- Scrolling ----

void CollectionView::scrollToItemAtIndexPath(const IndexPath& path, unsigned position, bool animated) {
    auto attributes = layoutAttributesForItemAtIndexPath(path);
    if (!attributes) {
        throw ns::Exception(ns::InvalidArgumentException, "attempt to scroll to invalid index path: " + path.description());
    }
    const cg::Rect item = attributes->frame();
    if (position == CollectionViewScrollPositionNone) {
        scrollRectToVisible(item, animated);
        return;
    }
    const cg::Rect b = bounds();
    const cg::EdgeInsets& inset = contentInset();
    cg::Point offset = b.origin;
    if (position & CollectionViewScrollPositionTop) offset.y = cg::minY(item) - inset.top;
    if (position & CollectionViewScrollPositionCenteredVertically) {
        offset.y = cg::midY(item) - (b.size.height - inset.top - inset.bottom) / 2 - inset.top;
    }
    if (position & CollectionViewScrollPositionBottom) offset.y = cg::maxY(item) - b.size.height + inset.bottom;
    if (position & CollectionViewScrollPositionLeft) offset.x = cg::minX(item) - inset.left;
    if (position & CollectionViewScrollPositionCenteredHorizontally) {
        offset.x = cg::midX(item) - (b.size.width - inset.left - inset.right) / 2 - inset.left;
    }
    if (position & CollectionViewScrollPositionRight) offset.x = cg::maxX(item) - b.size.width + inset.right;
    const cg::Point low = minimumContentOffset();
    const cg::Point high = maximumContentOffset();
    offset = {std::clamp(offset.x, low.x, high.x), std::clamp(offset.y, low.y, high.y)};
    setContentOffset(offset, animated);
}

}  // namespace ql::ui
