#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/Exception.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Runtime.h"
#include "platform/ui/Device.h"
#include "platform/ui/LayoutConstraint.h"
#include "platform/ui/Screen.h"
#include "ui/layout/HCTemplateLayoutCell.h"

using namespace ql;
using namespace ql::ui;
using ns::IndexPath;

namespace {

// A cell whose content is one view 80 points high (or as tall as `height` says), pinned to every edge.
class TallCell : public TableViewCell {
public:
    TallCell(TableViewCellStyle style, std::string identifier) : TableViewCell(style, std::move(identifier)) {
        auto box = std::make_shared<View>();
        box->setTranslatesAutoresizingMaskIntoConstraints(false);
        contentView()->addSubview(box);
        const auto& content = contentView();
        using A = LayoutAttribute;
        for (A a : {A::Top, A::Bottom, A::Left, A::Right}) {
            content->addConstraint(
                std::make_shared<LayoutConstraint>(box, a, LayoutRelation::Equal, content, a, 1, 0));
        }
        height = std::make_shared<LayoutConstraint>(box, A::Height, LayoutRelation::Equal, nullptr,
                                                    A::NotAnAttribute, 1, 80);
        content->addConstraint(height);
    }
    // With frame layout: as high as the width it is asked for, so the width can be read back.
    cg::Size sizeThatFits(cg::Size size) const override { return {size.width, size.width}; }
    std::shared_ptr<LayoutConstraint> height;
};

class Rows : public TableViewDataSource {
public:
    std::vector<std::int64_t> counts{10};
    std::int64_t numberOfSectionsInTableView(TableView&) override { return static_cast<std::int64_t>(counts.size()); }
    std::int64_t tableViewNumberOfRowsInSection(TableView&, std::int64_t section) override {
        return counts[static_cast<std::size_t>(section)];
    }
    std::shared_ptr<TableViewCell> tableViewCellForRowAtIndexPath(TableView& table, const IndexPath& path) override {
        return table.dequeueReusableCellWithIdentifier("Tall", path);
    }
};

// What a reload hook installed before the cache's own (as the refresh component's is) sees.
std::vector<std::string>& reloadTrace() {
    static std::vector<std::string> trace;
    return trace;
}

void installHooks() {
    static const bool once = [] {
        TableView::addHook(TableViewMutation::Kind::ReloadData,
                           [](TableView& table, const TableViewMutation&, const std::function<void()>& proceed) {
                               const bool cached = !hc_indexPathHeightCache(table).heightsBySectionForPortrait().empty();
                               reloadTrace().push_back(cached ? "earlier hook: cache kept" : "earlier hook: cache empty");
                               proceed();
                           });
        hc_registerInvalidationLoadHook();
        ns::Runtime::runLoadHooks();
        return true;
    }();
    (void)once;
}

struct Table {
    std::shared_ptr<Rows> rows = std::make_shared<Rows>();
    std::shared_ptr<TableView> table = std::make_shared<TableView>(cg::Rect{0, 0, 320, 480});
    Table() {
        installHooks();
        Screen::mainScreen().setScale(2);
        Device::currentDevice().setOrientation(DeviceOrientation::Portrait);
        table->registerClass<TallCell>("Tall");
        table->setDataSource(rows);
        table->reloadData();
    }
    HCIndexPathHeightCache& cache() { return hc_indexPathHeightCache(*table); }
    // The portrait heights of a section, -1 where none is cached.
    std::vector<double> section(std::size_t s) { return cache().heightsBySectionForPortrait().at(s); }
    std::vector<double> firstRows(std::size_t count) {
        const auto rows = section(0);
        return std::vector<double>(rows.begin(), rows.begin() + static_cast<std::ptrdiff_t>(count));
    }
};

}  // namespace

TEST(HeightCache, FittingHeightsSeparatorAndAccessories) {
    Table t;
    t.table->setSeparatorStyle(TableViewCellSeparatorStyle::None);
    EXPECT_EQ(hc_heightForCellWithIdentifier(*t.table, "Tall", {}), 80);
    t.table->setSeparatorStyle(TableViewCellSeparatorStyle::SingleLine);
    EXPECT_EQ(hc_heightForCellWithIdentifier(*t.table, "Tall", {}), 80.5);
    EXPECT_EQ(hc_heightForCellWithIdentifier(*t.table, std::nullopt, {}), 0);
    // The configuration runs on the template, after prepareForReuse, every time.
    EXPECT_EQ(hc_heightForCellWithIdentifier(*t.table, "Tall",
                                             [](TableViewCell& cell) { static_cast<TallCell&>(cell).height->setConstant(33); }),
              33.5);
    auto cell = hc_templateCellForReuseIdentifier(*t.table, "Tall");
    EXPECT_TRUE(hc_isTemplateLayoutCell(*cell));
    EXPECT_EQ(hc_templateCellForReuseIdentifier(*t.table, "Tall"), cell);

    // Frame layout reads the width the cell is measured at: the table less the accessory.
    t.table->setSeparatorStyle(TableViewCellSeparatorStyle::None);
    setHc_enforceFrameLayout(*cell, true);
    EXPECT_EQ(hc_heightForCellWithIdentifier(*t.table, "Tall", [](TableViewCell& c) {
                  c.setAccessoryView(nullptr);
                  c.setAccessoryType(TableViewCellAccessoryType::Checkmark);
              }),
              280);
    EXPECT_EQ(hc_heightForCellWithIdentifier(*t.table, "Tall", [](TableViewCell& c) {
                  c.setAccessoryView(std::make_shared<View>(cg::Rect{0, 0, 30, 30}));
              }),
              274);
    EXPECT_THROW(hc_templateCellForReuseIdentifier(*t.table, "Unknown"), ns::Exception);
}

TEST(HeightCache, IndexPathCacheFollowsRowAndSectionChanges) {
    Table t;
    // Before anything is cached, changes leave the cache alone.
    t.rows->counts = {11};
    t.table->insertRowsAtIndexPaths({IndexPath(0, 0)}, TableViewRowAnimation::None);
    EXPECT_TRUE(t.cache().heightsBySectionForPortrait().empty());
    EXPECT_FALSE(t.cache().automaticallyInvalidateEnabled());

    EXPECT_FALSE(t.cache().existsHeightAtIndexPath(IndexPath(0, 7)));  // grows the stores and answers no
    EXPECT_EQ(t.section(0).size(), 8u);
    EXPECT_EQ(hc_heightForCellWithIdentifier(*t.table, "Tall", IndexPath(0, 5), {}), 80.5);
    EXPECT_TRUE(t.cache().automaticallyInvalidateEnabled());
    // A second ask is answered from the cache, even when the cell would now measure otherwise.
    EXPECT_EQ(hc_heightForCellWithIdentifier(*t.table, "Tall", IndexPath(0, 5),
                                             [](TableViewCell& c) { static_cast<TallCell&>(c).height->setConstant(1); }),
              80.5);

    t.rows->counts = {12};
    t.table->insertRowsAtIndexPaths({IndexPath(0, 2)}, TableViewRowAnimation::None);
    EXPECT_TRUE(t.cache().existsHeightAtIndexPath(IndexPath(0, 6)));
    EXPECT_FALSE(t.cache().existsHeightAtIndexPath(IndexPath(0, 2)));
    EXPECT_FALSE(t.cache().existsHeightAtIndexPath(IndexPath(0, 5)));

    // Moving a row takes it out and puts it in at its new place; the rows between close up.
    t.cache().cacheHeight(1, IndexPath(0, 0));
    t.cache().cacheHeight(2, IndexPath(0, 1));
    t.cache().cacheHeight(3, IndexPath(0, 3));
    t.table->moveRowAtIndexPath(IndexPath(0, 1), IndexPath(0, 3));
    EXPECT_EQ(t.firstRows(4), (std::vector<double>{1, -1, 3, 2}));

    t.rows->counts = {10};
    t.table->deleteRowsAtIndexPaths({IndexPath(0, 0), IndexPath(0, 2)}, TableViewRowAnimation::None);
    EXPECT_EQ(t.firstRows(2), (std::vector<double>{-1, 2}));
    EXPECT_EQ(t.cache().heightForIndexPath(IndexPath(0, 4)), 80.5);  // the row first cached at 5
    t.table->reloadRowsAtIndexPaths({IndexPath(0, 4)}, TableViewRowAnimation::None);
    EXPECT_FALSE(t.cache().existsHeightAtIndexPath(IndexPath(0, 4)));

    // Sections: four cached, the middle two deleted, then moves and reloads.
    t.rows->counts = {10, 1, 1, 1};
    t.table->insertSections({1, 2, 3}, TableViewRowAnimation::None);
    for (std::int64_t s = 0; s < 4; ++s) t.cache().cacheHeight(100.0 + static_cast<double>(s), IndexPath(s, 0));
    t.rows->counts = {10, 1};
    t.table->deleteSections({1, 2}, TableViewRowAnimation::None);
    ASSERT_EQ(t.cache().heightsBySectionForPortrait().size(), 2u);
    EXPECT_EQ(t.section(0)[0], 100);
    EXPECT_EQ(t.section(1)[0], 103);
    t.rows->counts = {1, 10};
    t.table->moveSection(1, 0);
    EXPECT_EQ(t.section(0)[0], 103);
    EXPECT_EQ(t.section(1)[0], 100);
    t.table->reloadSections({0}, TableViewRowAnimation::None);
    EXPECT_TRUE(t.section(0).empty());
    EXPECT_EQ(t.cache().heightsBySectionForLandscape().size(), 2u);

    // A reload empties the cache before the hooks installed earlier run; the cache's own reload keeps it.
    reloadTrace().clear();
    hc_reloadDataWithoutInvalidateIndexPathHeightCache(*t.table);
    t.table->reloadData();
    EXPECT_EQ(reloadTrace(), (std::vector<std::string>{"earlier hook: cache kept", "earlier hook: cache empty"}));
    EXPECT_TRUE(t.cache().heightsBySectionForPortrait().empty());
}

TEST(HeightCache, OrientationsKeysAndTheDebugLog) {
    Table t;
    t.cache().cacheHeight(44, IndexPath(0, 1));
    Device::currentDevice().setOrientation(DeviceOrientation::LandscapeLeft);
    EXPECT_FALSE(t.cache().existsHeightAtIndexPath(IndexPath(0, 1)));
    Device::currentDevice().setOrientation(DeviceOrientation::PortraitUpsideDown);
    EXPECT_EQ(t.cache().heightForIndexPath(IndexPath(0, 1)), 44);
    t.cache().invalidateHeightAtIndexPath(IndexPath(0, 1));
    EXPECT_FALSE(t.cache().existsHeightAtIndexPath(IndexPath(0, 1)));
    EXPECT_FALSE(t.cache().existsHeightAtIndexPath(IndexPath(-1, 0)));

    auto& keyed = hc_keyedHeightCache(*t.table);
    EXPECT_EQ(hc_heightForCellWithIdentifierCacheByKey(*t.table, "Tall", "book-7", {}), 80.5);
    EXPECT_TRUE(keyed.existsHeightForKey("book-7"));
    Device::currentDevice().setOrientation(DeviceOrientation::FaceUp);
    EXPECT_FALSE(keyed.existsHeightForKey("book-7"));
    EXPECT_EQ(keyed.heightForKey("book-7"), 0);
    Device::currentDevice().setOrientation(DeviceOrientation::Portrait);
    keyed.invalidateHeightForKey("book-7");
    EXPECT_FALSE(keyed.existsHeightForKey("book-7"));
    EXPECT_EQ(hc_heightForCellWithIdentifierCacheByKey(*t.table, "Tall", std::nullopt, {}), 0);

    {
        ns::Log::Capture log;
        hc_heightForCellWithIdentifier(*t.table, "Tall", {});
        EXPECT_TRUE(log.lines().empty());
    }
    setHc_debugLogEnabled(*t.table, true);
    ns::Log::Capture log;
    hc_heightForCellWithIdentifier(*t.table, "Tall", IndexPath(0, 3), {});
    hc_heightForCellWithIdentifier(*t.table, "Tall", IndexPath(0, 3), {});
    EXPECT_EQ(log.lines(), (std::vector<std::string>{
                               "** HCTemplateLayoutCell ** calculate using auto layout - 80.5",
                               "** HCTemplateLayoutCell ** cached by index path[0:3] - 80.5",
                               "** HCTemplateLayoutCell ** hit cache by index path[0:3] - 80.5",
                           }));
}

TEST(HeightCache, InsertionsInFrontShiftTheCachedHeightsBehind) {
    Table t;
    t.rows->counts = {2, 1};
    t.table->reloadData();
    t.cache().cacheHeight(44, IndexPath(0, 0));
    t.cache().cacheHeight(80, IndexPath(1, 0));

    // A section in front: every section from there on moves one down with its heights.
    t.rows->counts = {1, 2, 1};
    t.table->insertSections({0}, TableViewRowAnimation::None);
    ASSERT_EQ(t.cache().heightsBySectionForPortrait().size(), 3u);
    EXPECT_FALSE(t.cache().existsHeightAtIndexPath(IndexPath(0, 0)));
    EXPECT_EQ(t.cache().heightForIndexPath(IndexPath(1, 0)), 44);
    EXPECT_EQ(t.cache().heightForIndexPath(IndexPath(2, 0)), 80);
    EXPECT_EQ(t.cache().heightsBySectionForLandscape().size(), 3u);

    // Two sections at once, counted after the insertion, one of them between the others.
    t.rows->counts = {1, 1, 2, 1, 1};
    t.table->insertSections({1, 4}, TableViewRowAnimation::None);
    EXPECT_EQ(t.cache().heightForIndexPath(IndexPath(2, 0)), 44);
    EXPECT_EQ(t.cache().heightForIndexPath(IndexPath(3, 0)), 80);
    EXPECT_FALSE(t.cache().existsHeightAtIndexPath(IndexPath(4, 0)));

    // Rows in front of cached rows push them down in their own section only.
    t.cache().cacheHeight(50, IndexPath(2, 1));
    t.rows->counts = {1, 1, 4, 1, 1};
    t.table->insertRowsAtIndexPaths({IndexPath(2, 0), IndexPath(2, 2)}, TableViewRowAnimation::None);
    const auto rows = t.section(2);
    ASSERT_GE(rows.size(), 4u);
    EXPECT_EQ(std::vector<double>(rows.begin(), rows.begin() + 4), (std::vector<double>{-1, 44, -1, 50}));
    EXPECT_EQ(t.cache().heightForIndexPath(IndexPath(3, 0)), 80);
}

TEST(HeightCache, RowsInsertedInAnyOrderLandWhereTheTableCountsThem) {
    Table t;
    t.rows->counts = {3};
    t.table->reloadData();
    for (std::int64_t row = 0; row < 3; ++row) t.cache().cacheHeight(10.0 * static_cast<double>(row + 1), IndexPath(0, row));
    // Both indexes count after the insertion, the later one given first.
    t.rows->counts = {5};
    t.table->insertRowsAtIndexPaths({IndexPath(0, 3), IndexPath(0, 1)}, TableViewRowAnimation::None);
    EXPECT_EQ(t.firstRows(5), (std::vector<double>{10, -1, 20, -1, 30}));

    // Shuffled across two sections, one row past the end: each cached row ends where the table shows it,
    // in both orientations.
    t.rows->counts = {5, 2};
    t.table->reloadData();
    for (std::int64_t row = 0; row < 5; ++row) t.cache().cacheHeight(double(row + 1), IndexPath(0, row));
    t.cache().cacheHeight(7, IndexPath(1, 0));
    t.cache().cacheHeight(8, IndexPath(1, 1));
    t.rows->counts = {8, 4};
    t.table->insertRowsAtIndexPaths(
        {IndexPath(1, 3), IndexPath(0, 6), IndexPath(1, 0), IndexPath(0, 0), IndexPath(0, 7)}, TableViewRowAnimation::None);
    EXPECT_EQ(t.firstRows(8), (std::vector<double>{-1, 1, 2, 3, 4, 5, -1, -1}));
    const auto second = t.section(1);
    ASSERT_GE(second.size(), 4u);
    EXPECT_EQ(std::vector<double>(second.begin(), second.begin() + 4), (std::vector<double>{-1, 7, 8, -1}));
    const auto& landscape = t.cache().heightsBySectionForLandscape();
    ASSERT_EQ(landscape.size(), 2u);
    EXPECT_GE(landscape[0].size(), 8u);
    EXPECT_GE(landscape[1].size(), 4u);
}
