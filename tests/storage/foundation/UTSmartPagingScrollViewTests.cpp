#include "storage/foundation/UTSmartPagingScrollView.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/support/UIHarness.h"

namespace ql {
namespace {

struct Pages : UTSmartPagingScrollViewDatasource {
    std::uint64_t count = 5;
    std::vector<std::uint64_t> asked;
    std::vector<std::uint64_t> scrolledTo;
    std::uint64_t numberOfPagesInSmartPagingScrollView(UTSmartPagingScrollView&) override { return count; }
    std::shared_ptr<ui::View> viewForPageAtIndex(UTSmartPagingScrollView&, std::uint64_t index) override {
        asked.push_back(index);
        return std::make_shared<ui::View>();
    }
    void didScrollToPageAtIndex(UTSmartPagingScrollView&, std::uint64_t index) override { scrolledTo.push_back(index); }
};

TEST(UTSmartPagingScrollView, KeepsOnlyVisiblePagesWithMargins) {
    auto scroll = std::make_shared<UTSmartPagingScrollView>(cg::Rect{0, 0, 320, 480});
    EXPECT_EQ(scroll->rangeOfVisiblePages().length, 0u);  // no pages yet
    auto pages = std::make_shared<Pages>();
    scroll->setPageDatasource(pages);
    scroll->layoutIfNeeded();
    EXPECT_TRUE(scroll->isPagingEnabled());
    EXPECT_EQ(scroll->contentSize(), (cg::Size{1600, 480}));
    ASSERT_EQ(scroll->visiblePageViews().size(), 1u);
    auto first = *scroll->visiblePageViews().begin();
    EXPECT_EQ(first->frame(), (cg::Rect{10, 0, 300, 480}));
    EXPECT_EQ(first->tag(), 1000);

    scroll->setContentOffset({160, 0});
    EXPECT_EQ(scroll->rangeOfVisiblePages().location, 0u);
    EXPECT_EQ(scroll->rangeOfVisiblePages().length, 2u);
    scroll->setContentOffset({310, 0});
    EXPECT_EQ(scroll->rangeOfVisiblePages().location, 1u);
    EXPECT_EQ(scroll->rangeOfVisiblePages().length, 1u);
    scroll->layoutIfNeeded();
    ASSERT_EQ(scroll->visiblePageViews().size(), 1u);
    EXPECT_EQ((*scroll->visiblePageViews().begin())->tag(), 1001);
    EXPECT_EQ(first->superview(), nullptr);

    // Page 0 left and comes back: asked for again.
    pages->asked.clear();
    scroll->setContentOffset({0, 0});
    scroll->layoutIfNeeded();
    EXPECT_EQ(pages->asked, (std::vector<std::uint64_t>{0}));

    // Without width, nothing is visible.
    auto narrow = std::make_shared<UTSmartPagingScrollView>(cg::Rect{0, 0, 0, 480});
    narrow->setPageDatasource(pages);
    narrow->layoutIfNeeded();
    EXPECT_EQ(narrow->rangeOfVisiblePages().length, 0u);
    EXPECT_TRUE(narrow->visiblePageViews().empty());
}

TEST(UTSmartPagingScrollView, CurrentPageFollowsReloadsResizesAndDrags) {
    test::UIHarness ui;
    auto scroll = std::make_shared<UTSmartPagingScrollView>(cg::Rect{0, 0, 320, 480});
    auto pages = std::make_shared<Pages>();
    ui.root->view()->addSubview(scroll);
    scroll->setPageDatasource(pages);
    ui.settle();
    std::vector<std::int64_t> observed;
    auto observation = scroll->addObserver("currentPageIndex", ns::KeyValueObservingOptionNew,
                                           [&](const ns::KeyValueChange& change) { observed.push_back(change.newValue.int64Value()); });

    scroll->setCurrentPageIndex(2);
    ui.settle();
    EXPECT_EQ(scroll->contentOffset().x, 640);
    EXPECT_EQ(observed, (std::vector<std::int64_t>{2}));

    // A drag past two and a half pages makes page 3 current while the finger is still down.
    auto finger = ui.fingers.down({300, 200});
    for (int x = 290; x >= 120; x -= 10) {
        ui.advance(1.0 / 60);
        ui.fingers.move(finger, {static_cast<double>(x), 200});
    }
    EXPECT_GE(scroll->contentOffset().x, 800);
    EXPECT_EQ(scroll->currentPageIndex(), 3u);
    EXPECT_EQ(pages->scrolledTo, (std::vector<std::uint64_t>{3}));
    ui.fingers.up(finger);
    ui.advance(2);

    // Resizing keeps the current page in view.
    scroll->setFrame({0, 0, 480, 320});
    ui.settle();
    scroll->layoutIfNeeded();
    EXPECT_EQ(scroll->contentOffset().x, 480.0 * scroll->currentPageIndex());

    // Fewer pages than the current index: the last page becomes current.
    pages->count = 2;
    scroll->reloadData();
    EXPECT_EQ(scroll->currentPageIndex(), 1u);
    pages->count = 0;
    scroll->reloadData();
    scroll->layoutIfNeeded();
    EXPECT_EQ(scroll->currentPageIndex(), 1u);
    EXPECT_TRUE(scroll->visiblePageViews().empty());
}

}  // namespace
}  // namespace ql
