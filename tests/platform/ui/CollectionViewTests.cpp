#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "platform/ui/Button.h"
#include "platform/ui/CollectionView.h"
#include "platform/ui/CollectionViewFlowLayout.h"
#include "tests/support/UIHarness.h"

using namespace ql;
using namespace ql::ui;
using ns::IndexPath;

namespace {

int cellsMade = 0;

class Cell : public CollectionViewCell {
public:
    explicit Cell(const cg::Rect& frame) : CollectionViewCell(frame), madeWith(frame) { ++cellsMade; }
    cg::Rect madeWith;
    std::shared_ptr<Button> button;
};

class Header : public CollectionReusableView {
public:
    using CollectionReusableView::CollectionReusableView;
};

// Items in sections; sizes and insets of some answered as a flow layout's delegate.
class Items : public CollectionViewDataSource, public CollectionViewDelegateFlowLayout {
public:
    std::vector<std::int64_t> counts;
    std::map<IndexPath, cg::Size> sizes;
    std::optional<cg::EdgeInsets> inset;
    std::vector<std::string> log;
    bool buttonOnFirst = false;

    std::int64_t numberOfSectionsInCollectionView(CollectionView&) override { return static_cast<std::int64_t>(counts.size()); }
    std::int64_t collectionViewNumberOfItemsInSection(CollectionView&, std::int64_t s) override {
        return counts[static_cast<std::size_t>(s)];
    }
    std::shared_ptr<CollectionViewCell> collectionViewCellForItemAtIndexPath(CollectionView& view, const IndexPath& path) override {
        auto cell = std::dynamic_pointer_cast<Cell>(view.dequeueReusableCellWithReuseIdentifier("Cell", path));
        cell->setTag(path.item());
        if (buttonOnFirst && path.item() == 0 && !cell->button) {
            cell->button = std::make_shared<Button>(cell->contentView()->bounds());
            cell->contentView()->addSubview(cell->button);
        }
        return cell;
    }
    std::shared_ptr<CollectionReusableView> collectionViewViewForSupplementaryElementOfKindAtIndexPath(
        CollectionView& view, const std::string& kind, const IndexPath& path) override {
        if (kind != CollectionElementKindSectionHeader && kind != "check") return nullptr;
        return view.dequeueReusableSupplementaryViewOfKind(kind, kind == "check" ? "Check" : "Header", path);
    }
    std::optional<cg::Size> collectionViewLayoutSizeForItemAtIndexPath(CollectionView&, CollectionViewLayout&,
                                                                       const IndexPath& path) override {
        auto it = sizes.find(path);
        if (it == sizes.end()) return std::nullopt;
        return it->second;
    }
    std::optional<cg::EdgeInsets> collectionViewLayoutInsetForSectionAtIndex(CollectionView&, CollectionViewLayout&,
                                                                             std::int64_t s) override {
        return s == 1 ? inset : std::nullopt;
    }
    void collectionViewDidSelectItemAtIndexPath(CollectionView&, const IndexPath& p) override {
        log.push_back("select " + std::to_string(p.item()));
    }
    void collectionViewDidDeselectItemAtIndexPath(CollectionView&, const IndexPath& p) override {
        log.push_back("deselect " + std::to_string(p.item()));
    }
};

// A mark that stays at the visible right edge of each item cut by it, as a picker strip does.
class StickyMarks : public CollectionViewFlowLayout {
public:
    bool shouldInvalidateLayoutForBoundsChange(const cg::Rect&) override { return true; }
    LayoutAttributesList layoutAttributesForElementsInRect(const cg::Rect& rect) override {
        auto list = CollectionViewFlowLayout::layoutAttributesForElementsInRect(rect);
        const double edge = collectionView()->contentOffset().x + collectionView()->bounds().size.width;
        LayoutAttributesList marks;
        for (const auto& item : list) {
            auto mark = CollectionViewLayoutAttributes::layoutAttributesForSupplementaryViewOfKind("check", item->indexPath());
            const cg::Rect f = item->frame();
            mark->setSize({20, 20});
            mark->setZIndex(100);
            mark->setCenter({std::min(cg::maxX(f), edge) - 10, 10});
            marks.push_back(mark);
        }
        list.insert(list.end(), marks.begin(), marks.end());
        return list;
    }
};

struct Fixture {
    test::UIHarness ui;
    std::shared_ptr<Items> items = std::make_shared<Items>();
    std::shared_ptr<CollectionViewFlowLayout> layout;
    std::shared_ptr<CollectionView> view;

    explicit Fixture(std::shared_ptr<CollectionViewFlowLayout> flow = std::make_shared<CollectionViewFlowLayout>(),
                     cg::Rect frame = {0, 0, 320, 480})
        : layout(std::move(flow)), view(std::make_shared<CollectionView>(frame, layout)) {
        view->registerClass<Cell>("Cell");
        view->registerClass<Header>(std::string(CollectionElementKindSectionHeader), "Header");
        view->registerClass<Header>("check", "Check");
        view->setDataSource(items);
        view->setDelegate(items);
    }

    void show() {
        ui.root->view()->addSubview(view);
        ui.settle();
    }

    cg::Rect itemFrame(std::int64_t section, std::int64_t item) {
        return view->layoutAttributesForItemAtIndexPath({section, item})->frame();
    }
};

}  // namespace

TEST(CollectionViewFlowLayout, FillsLinesBetweenInsetsAndSharesTheSpaceLeft) {
    Fixture f;
    f.layout->setItemSize({70, 70});
    f.layout->setSectionInset({5, 5, 5, 5});
    f.layout->setHeaderReferenceSize({0, 30});
    f.layout->setFooterReferenceSize({0, 20});
    f.items->counts = {9, 1, 3};
    f.items->sizes = {{{2, 0}, {90, 40}}, {{2, 1}, {90, 60}}, {{2, 2}, {90, 40}}};
    f.items->inset = cg::EdgeInsets{0, 0, 0, 0};
    // Four items of 70 with 10 between fill the 310 points between the insets exactly.
    EXPECT_EQ(f.itemFrame(0, 0), (cg::Rect{5, 35, 70, 70}));
    EXPECT_EQ(f.itemFrame(0, 3), (cg::Rect{245, 35, 70, 70}));
    EXPECT_EQ(f.itemFrame(0, 4), (cg::Rect{5, 115, 70, 70}));
    // A lone item in its line is centred.
    EXPECT_EQ(f.itemFrame(0, 8), (cg::Rect{125, 195, 70, 70}));
    EXPECT_EQ(f.view->layoutAttributesForSupplementaryElementOfKind(std::string(CollectionElementKindSectionFooter), {0, 0})->frame(),
              (cg::Rect{0, 270, 320, 20}));
    // Section 1 has no insets (its delegate says so): header 290 to 320, then its item.
    EXPECT_EQ(f.itemFrame(1, 0), (cg::Rect{125, 320, 70, 70}));
    // Section 2 starts at 410 + 30: three items of 90 leave 20 of 310 to the two gaps; shorter items sit in
    // the middle of their line.
    EXPECT_EQ(f.itemFrame(2, 0), (cg::Rect{5, 445 + 10, 90, 40}));
    EXPECT_EQ(f.itemFrame(2, 1), (cg::Rect{115, 445, 90, 60}));
    EXPECT_EQ(f.itemFrame(2, 2), (cg::Rect{225, 445 + 10, 90, 40}));
    f.show();
    EXPECT_EQ(f.view->contentSize(), (cg::Size{320, 445 + 60 + 5 + 20}));

    // Horizontal: lines are columns, and the content is as tall as the view inside its insets.
    auto flow = std::make_shared<CollectionViewFlowLayout>();
    flow->setScrollDirection(CollectionViewScrollDirection::Horizontal);
    flow->setItemSize({60, 100});
    flow->setMinimumInteritemSpacing(5);
    flow->setMinimumLineSpacing(5);
    auto strip = std::make_shared<CollectionView>(cg::Rect{0, 0, 320, 100}, flow);
    strip->registerClass<Cell>("Cell");
    strip->setContentInset({0, 6, 0, 6});
    auto items = std::make_shared<Items>();
    items->counts = {10};
    strip->setDataSource(items);
    EXPECT_EQ(strip->layoutAttributesForItemAtIndexPath({0, 0})->frame(), (cg::Rect{0, 0, 60, 100}));
    EXPECT_EQ(strip->layoutAttributesForItemAtIndexPath({0, 9})->frame(), (cg::Rect{9 * 65, 0, 60, 100}));
    EXPECT_EQ(strip->contentSize(), (cg::Size{10 * 65 - 5, 100}));
    EXPECT_EQ(strip->minimumContentOffset(), (cg::Point{-6, 0}));
}

TEST(CollectionView, ShowsOnlyVisibleItemsReusingCellsAndStackingByZIndex) {
    auto sticky = std::make_shared<StickyMarks>();
    sticky->setScrollDirection(CollectionViewScrollDirection::Horizontal);
    sticky->setItemSize({100, 100});
    sticky->setMinimumLineSpacing(10);
    Fixture f(sticky, {0, 0, 320, 100});
    f.items->counts = {50};
    cellsMade = 0;
    f.show();
    // Items 0 to 2 show; item 2 (220 to 320) is cut by nothing, item 3 starts at 330.
    EXPECT_EQ(f.view->indexPathsForVisibleItems(), (std::vector<IndexPath>{{0, 0}, {0, 1}, {0, 2}}));
    auto first = std::dynamic_pointer_cast<Cell>(f.view->cellForItemAtIndexPath({0, 0}));
    ASSERT_NE(first, nullptr);
    // A registered class is made at its element's frame.
    EXPECT_EQ(first->madeWith, (cg::Rect{0, 0, 100, 100}));
    EXPECT_EQ(f.view->indexPathForCell(*first), IndexPath(0, 0));
    EXPECT_EQ(f.view->indexPathForItemAtPoint({205, 50}), IndexPath(0, 1));
    EXPECT_FALSE(f.view->indexPathForItemAtPoint({215, 50}).has_value());

    // Every scroll lays the marks out again: the mark of the cut item keeps to the visible edge, above
    // the cells.
    f.view->setContentOffset({50, 0});
    f.ui.settle();
    auto subviews = f.view->subviews();
    std::size_t lastCell = 0, firstMark = subviews.size();
    for (std::size_t i = 0; i < subviews.size(); ++i) {
        if (dynamic_cast<Cell*>(subviews[i].get())) lastCell = i;
        if (dynamic_cast<Header*>(subviews[i].get()) && firstMark == subviews.size()) firstMark = i;
    }
    EXPECT_LT(lastCell, firstMark);
    auto cut = std::find_if(subviews.begin(), subviews.end(), [](const auto& v) {
        return dynamic_cast<Header*>(v.get()) && v->frame().origin.x == 50 + 320 - 20;
    });
    EXPECT_NE(cut, subviews.end());

    for (double x = 0; x <= 50 * 110 - 10 - 320; x += 45) {
        f.view->setContentOffset({x, 0});
        f.ui.settle();
        for (const auto& cell : f.view->visibleCells()) {
            ASSERT_EQ(cell->tag(), f.view->indexPathForCell(*cell)->item());
            ASSERT_EQ(cell->frame().origin.x, 110.0 * double(cell->tag()));
        }
    }
    EXPECT_LE(cellsMade, 5);
    EXPECT_EQ(f.view->cellForItemAtIndexPath({0, 0}), nullptr);
}

TEST(CollectionView, TapsSelectItemsAndScrollingCentresThem) {
    Fixture f;
    f.layout->setItemSize({100, 100});
    f.layout->setMinimumLineSpacing(0);
    f.layout->setMinimumInteritemSpacing(0);
    f.layout->setSectionInset({0, 10, 0, 10});
    f.items->counts = {30};
    f.items->buttonOnFirst = true;
    f.show();
    // A control in a cell keeps its tap.
    EXPECT_TRUE(f.ui.fingers.tap({60, 50}));
    EXPECT_TRUE(f.items->log.empty());
    f.ui.fingers.tap({160, 50});
    f.ui.fingers.tap({260, 150});
    EXPECT_EQ(f.items->log, (std::vector<std::string>{"select 1", "deselect 1", "select 5"}));
    EXPECT_TRUE(f.view->cellForItemAtIndexPath({0, 5})->isSelected());
    EXPECT_FALSE(f.view->cellForItemAtIndexPath({0, 1})->isSelected());

    f.view->setAllowsMultipleSelection(true);
    f.items->log.clear();
    f.ui.fingers.tap({160, 50});
    f.ui.fingers.tap({260, 150});
    EXPECT_EQ(f.items->log, (std::vector<std::string>{"select 1", "deselect 5"}));
    EXPECT_EQ(f.view->indexPathsForSelectedItems(), (std::vector<IndexPath>{{0, 1}}));

    // The last item placed at the bottom, then the items of line 4 and of line 1 centred (as far as the
    // content allows).
    f.view->scrollToItemAtIndexPath({0, 29}, CollectionViewScrollPositionBottom, true);
    f.ui.advance(1);
    EXPECT_EQ(f.view->contentOffset(), (cg::Point{0, 1000 - 480}));
    EXPECT_NE(f.view->cellForItemAtIndexPath({0, 29}), nullptr);
    f.view->scrollToItemAtIndexPath({0, 13}, CollectionViewScrollPositionCenteredVertically, false);
    EXPECT_EQ(f.view->contentOffset(), (cg::Point{0, 450 - 240}));
    f.view->scrollToItemAtIndexPath({0, 4}, CollectionViewScrollPositionCenteredVertically, false);
    EXPECT_EQ(f.view->contentOffset(), (cg::Point{0, 0}));
}

TEST(CollectionView, ReloadDataIsAHookPointAndForgetsSelection) {
    static std::vector<std::string>* seen = nullptr;
    static bool registered = false;
    if (!registered) {
        registered = true;
        CollectionView::addReloadDataHook([](CollectionView& view, const std::function<void()>& proceed) {
            if (seen && view.tag() == 9) seen->push_back("before " + std::to_string(view.numberOfItemsInSection(0)));
            proceed();
            if (seen && view.tag() == 9) seen->push_back("after " + std::to_string(view.numberOfItemsInSection(0)));
        });
    }
    Fixture f;
    f.view->setTag(9);
    f.items->counts = {3};
    f.show();
    f.view->selectItemAtIndexPath(IndexPath(0, 1), false, CollectionViewScrollPositionNone);
    std::vector<std::string> log;
    seen = &log;
    f.items->counts = {12};
    f.view->reloadData();
    seen = nullptr;
    EXPECT_EQ(log, (std::vector<std::string>{"before 3", "after 12"}));
    EXPECT_TRUE(f.view->indexPathsForSelectedItems().empty());
    f.ui.settle();
    EXPECT_EQ(f.view->visibleCells().size(), 12u);
    EXPECT_EQ(f.view->contentSize().height, 3 * 60 - 10);
}
