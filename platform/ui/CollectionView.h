#pragma once
// ui::CollectionView: a scrolling grid (or any arrangement its layout object decides) of items in
// sections, asked of a data source, with supplementary views such as section headers and footers. Only
// the elements on screen have views; views that scroll away are queued and handed out again, prepared
// for reuse. Taps highlight and select items. reloadData is a hook point that other components wrap at
// load time.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/foundation/IndexPath.h"
#include "platform/ui/CollectionViewCell.h"
#include "platform/ui/CollectionViewLayout.h"
#include "platform/ui/HookChain.h"
#include "platform/ui/ReuseQueue.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/TapSelection.h"

namespace ql::ui {

class CollectionView;

// Where scrollToItemAtIndexPath puts the item; one vertical and one horizontal position may be combined.
enum CollectionViewScrollPosition : unsigned {
    CollectionViewScrollPositionNone = 0,
    CollectionViewScrollPositionTop = 1u << 0,
    CollectionViewScrollPositionCenteredVertically = 1u << 1,
    CollectionViewScrollPositionBottom = 1u << 2,
    CollectionViewScrollPositionLeft = 1u << 3,
    CollectionViewScrollPositionCenteredHorizontally = 1u << 4,
    CollectionViewScrollPositionRight = 1u << 5,
};

// The data source answers the required two; the others are optional with the platform's defaults.
class CollectionViewDataSource {
public:
    virtual ~CollectionViewDataSource() = default;
    virtual std::int64_t collectionViewNumberOfItemsInSection(CollectionView&, std::int64_t section) = 0;
    // Must return a dequeued cell; returning none raises "NSInternalInconsistencyException".
    virtual std::shared_ptr<CollectionViewCell> collectionViewCellForItemAtIndexPath(CollectionView&, const ns::IndexPath&) = 0;
    virtual std::int64_t numberOfSectionsInCollectionView(CollectionView&) { return 1; }
    // Asked for each supplementary element the layout places; none leaves the place empty.
    virtual std::shared_ptr<CollectionReusableView> collectionViewViewForSupplementaryElementOfKindAtIndexPath(
        CollectionView&, const std::string& /*kind*/, const ns::IndexPath&) {
        return nullptr;
    }
};

// Every member is optional.
class CollectionViewDelegate : public ScrollViewDelegate {
public:
    virtual bool collectionViewShouldHighlightItemAtIndexPath(CollectionView&, const ns::IndexPath&) { return true; }
    virtual void collectionViewDidHighlightItemAtIndexPath(CollectionView&, const ns::IndexPath&) {}
    virtual void collectionViewDidUnhighlightItemAtIndexPath(CollectionView&, const ns::IndexPath&) {}
    virtual bool collectionViewShouldSelectItemAtIndexPath(CollectionView&, const ns::IndexPath&) { return true; }
    virtual bool collectionViewShouldDeselectItemAtIndexPath(CollectionView&, const ns::IndexPath&) { return true; }
    virtual void collectionViewDidSelectItemAtIndexPath(CollectionView&, const ns::IndexPath&) {}
    virtual void collectionViewDidDeselectItemAtIndexPath(CollectionView&, const ns::IndexPath&) {}
    virtual void collectionViewWillDisplayCellForItemAtIndexPath(CollectionView&, CollectionViewCell&, const ns::IndexPath&) {}
    virtual void collectionViewDidEndDisplayingCellForItemAtIndexPath(CollectionView&, CollectionViewCell&,
                                                                       const ns::IndexPath&) {}
};

class CollectionView : public ScrollView, private TapSelection::Host {
    QL_OBJECT_NAMED(CollectionView, ScrollView, "UICollectionView")
public:
    using Hook = HookChain<CollectionView>::Hook;
    // Makes a view of a registered class, at the frame the layout gives the element.
    using ViewFactory = std::function<std::shared_ptr<CollectionReusableView>(const cg::Rect& frame)>;

    CollectionView(const cg::Rect& frame, std::shared_ptr<CollectionViewLayout> layout);
    ~CollectionView() override;

    const std::shared_ptr<CollectionViewLayout>& collectionViewLayout() const { return layout_; }
    void setCollectionViewLayout(std::shared_ptr<CollectionViewLayout> layout);

    std::shared_ptr<CollectionViewDataSource> dataSource() const { return dataSource_.lock(); }
    void setDataSource(std::weak_ptr<CollectionViewDataSource> dataSource);
    std::shared_ptr<CollectionViewDelegate> delegate() const { return collectionDelegate_.lock(); }
    void setDelegate(std::weak_ptr<CollectionViewDelegate> delegate);

    // ---- Data ----
    // The counts held from the data source (asked on first use and at each reload).
    std::int64_t numberOfSections();
    std::int64_t numberOfItemsInSection(std::int64_t section);
    // Asks the data source again; visible views go back to their queues, the selection is cleared and
    // the layout is prepared again. A hook point.
    void reloadData();
    // Adds a hook around every reloadData. The hook added last runs first and reaches the earlier ones,
    // then the collection view's own reload, through its continuation.
    static std::size_t addReloadDataHook(Hook hook);

    // ---- Reuse ----
    // Cells of a class constructible from a frame; supplementary views likewise, per kind.
    template <class Cell>
    void registerClass(std::string reuseIdentifier) {
        registerClass([](const cg::Rect& frame) { return std::make_shared<Cell>(frame); }, std::move(reuseIdentifier));
    }
    template <class ReusableView>
    void registerClass(std::string kind, std::string reuseIdentifier) {
        registerClass([](const cg::Rect& frame) { return std::make_shared<ReusableView>(frame); }, std::move(kind),
                      std::move(reuseIdentifier));
    }
    void registerClass(ViewFactory factory, std::string reuseIdentifier);
    void registerClass(ViewFactory factory, std::string kind, std::string reuseIdentifier);
    // The nib's first top-level view of the right class.
    void registerNib(std::shared_ptr<Nib> nib, std::string reuseIdentifier);
    void registerNib(std::shared_ptr<Nib> nib, std::string kind, std::string reuseIdentifier);
    // A queued view after prepareForReuse, or a new one from the registration; an identifier without
    // registration raises "NSInternalInconsistencyException".
    std::shared_ptr<CollectionViewCell> dequeueReusableCellWithReuseIdentifier(const std::string& identifier,
                                                                               const ns::IndexPath& path);
    std::shared_ptr<CollectionReusableView> dequeueReusableSupplementaryViewOfKind(const std::string& kind,
                                                                                   const std::string& identifier,
                                                                                   const ns::IndexPath& path);

    // ---- Elements on screen ----
    // Null when the item is not on screen.
    std::shared_ptr<CollectionViewCell> cellForItemAtIndexPath(const ns::IndexPath& path);
    // In index path order.
    std::vector<std::shared_ptr<CollectionViewCell>> visibleCells();
    std::vector<ns::IndexPath> indexPathsForVisibleItems();
    std::optional<ns::IndexPath> indexPathForCell(const CollectionViewCell& cell);
    std::optional<ns::IndexPath> indexPathForItemAtPoint(cg::Point point);
    std::shared_ptr<CollectionViewLayoutAttributes> layoutAttributesForItemAtIndexPath(const ns::IndexPath& path);
    std::shared_ptr<CollectionViewLayoutAttributes> layoutAttributesForSupplementaryElementOfKind(const std::string& kind,
                                                                                                 const ns::IndexPath& path);

    // ---- Selection ----
    bool allowsSelection() const { return allowsSelection_; }
    void setAllowsSelection(bool allows) { allowsSelection_ = allows; }
    bool allowsMultipleSelection() const { return allowsMultipleSelection_; }
    void setAllowsMultipleSelection(bool allows) { allowsMultipleSelection_ = allows; }
    std::vector<ns::IndexPath> indexPathsForSelectedItems() const { return {selected_.begin(), selected_.end()}; }
    // Programmatic selection tells no delegate.
    void selectItemAtIndexPath(const std::optional<ns::IndexPath>& path, bool animated, unsigned scrollPosition);
    void deselectItemAtIndexPath(const ns::IndexPath& path, bool animated);

    // ---- Scrolling ----
    void scrollToItemAtIndexPath(const ns::IndexPath& path, unsigned scrollPosition, bool animated);

    void layoutSubviews() override;
    void touchesBegan(const TouchSet& touches, Event* event) override;
    void touchesMoved(const TouchSet& touches, Event* event) override;
    void touchesEnded(const TouchSet& touches, Event* event) override;
    void touchesCancelled(const TouchSet& touches, Event* event) override;

private:
    // An element on screen: a cell (empty kind) or a supplementary view of a kind.
    using ElementKey = std::pair<std::string, ns::IndexPath>;
    struct Shown {
        std::shared_ptr<CollectionReusableView> view;
        std::int64_t zIndex = 0;
    };

    static HookChain<CollectionView>& reloadHooks();
    void reloadOwn();
    void loadIfNeeded();
    void prepareIfNeeded();
    void tile();
    std::shared_ptr<CollectionReusableView> dequeue(const std::string& queueKey, const std::string& identifier,
                                                    const ns::IndexPath& path, const std::string& kind);
    std::shared_ptr<CollectionReusableView> makeView(const CollectionViewLayoutAttributes& attributes);
    void place(CollectionReusableView& view, const CollectionViewLayoutAttributes& attributes);
    void insertByZIndex(const std::shared_ptr<CollectionReusableView>& view, std::int64_t zIndex);
    void recycle(const ElementKey& key, const Shown& shown);
    void recycleAll();
    std::shared_ptr<CollectionViewCell> visibleCell(const ns::IndexPath& path) const;

    bool tapMayBegin() override;
    std::optional<ns::IndexPath> indexPathUnderTouch(const Touch& touch) override;
    bool hasVisibleElement(const ns::IndexPath& path) override;
    void setElementHighlighted(const ns::IndexPath& path, bool highlighted) override;
    bool shouldHighlightElement(const ns::IndexPath& path) override;
    void didHighlightElement(const ns::IndexPath& path) override;
    void didUnhighlightElement(const ns::IndexPath& path) override;
    void elementTapped(const ns::IndexPath& path) override;

    std::shared_ptr<CollectionViewLayout> layout_;
    std::weak_ptr<CollectionViewDataSource> dataSource_;
    std::weak_ptr<CollectionViewDelegate> collectionDelegate_;
    bool loaded_ = false;
    std::vector<std::int64_t> counts_;
    cg::Rect laidOutBounds_;
    bool tiling_ = false;

    std::map<ElementKey, Shown> visible_;
    // By kind and identifier ("" kind for cells).
    ReuseQueue<CollectionReusableView, ViewFactory> reuse_;

    bool allowsSelection_ = true;
    bool allowsMultipleSelection_ = false;
    std::set<ns::IndexPath> selected_;
    TapSelection tap_{*this};
};

}  // namespace ql::ui
