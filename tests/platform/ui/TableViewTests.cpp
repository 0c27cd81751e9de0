#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "platform/foundation/Exception.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/Label.h"
#include "platform/ui/Nib.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TableViewController.h"
#include "platform/ui/TableViewHeaderFooterView.h"
#include "platform/ui/TextField.h"
#include "tests/support/UIHarness.h"

using namespace ql;
using namespace ql::ui;
using ns::IndexPath;
using Kind = TableViewMutation::Kind;

namespace {

int cellsMade = 0;
int cellsReused = 0;

class CountingCell : public TableViewCell {
public:
    CountingCell(TableViewCellStyle style, std::string identifier) : TableViewCell(style, std::move(identifier)) { ++cellsMade; }
    void prepareForReuse() override {
        TableViewCell::prepareForReuse();
        ++cellsReused;
    }
};

// Rows of text in sections, with the delegate calls it receives written down.
class Rows : public TableViewDataSource, public TableViewDelegate {
public:
    std::vector<std::vector<std::string>> sections;
    std::vector<std::string> titles;
    std::map<IndexPath, double> heights;
    std::vector<IndexPath> heightsAsked;
    std::vector<std::string> log;
    std::optional<IndexPath> refused;
    bool logCounts = false;

    std::int64_t numberOfSectionsInTableView(TableView&) override {
        if (logCounts) log.push_back("count");
        return static_cast<std::int64_t>(sections.size());
    }
    std::int64_t tableViewNumberOfRowsInSection(TableView&, std::int64_t s) override {
        return static_cast<std::int64_t>(sections[static_cast<std::size_t>(s)].size());
    }
    std::shared_ptr<TableViewCell> tableViewCellForRowAtIndexPath(TableView& table, const IndexPath& path) override {
        auto cell = table.dequeueReusableCellWithIdentifier("Row", path);
        cell->textLabel()->setText(sections[static_cast<std::size_t>(path.section())][static_cast<std::size_t>(path.row())]);
        return cell;
    }
    std::optional<std::string> tableViewTitleForHeaderInSection(TableView&, std::int64_t s) override {
        if (static_cast<std::size_t>(s) < titles.size()) return titles[static_cast<std::size_t>(s)];
        return std::nullopt;
    }
    std::optional<double> tableViewHeightForRowAtIndexPath(TableView&, const IndexPath& path) override {
        heightsAsked.push_back(path);
        auto it = heights.find(path);
        if (it == heights.end()) return std::nullopt;
        return it->second;
    }
    std::optional<IndexPath> tableViewWillSelectRowAtIndexPath(TableView&, const IndexPath& path) override {
        if (refused == path) return std::nullopt;
        return path;
    }
    void tableViewDidSelectRowAtIndexPath(TableView&, const IndexPath& p) override { log.push_back("select " + text(p)); }
    void tableViewDidDeselectRowAtIndexPath(TableView&, const IndexPath& p) override { log.push_back("deselect " + text(p)); }
    void tableViewAccessoryButtonTappedForRowWithIndexPath(TableView&, const IndexPath& p) override {
        log.push_back("accessory " + text(p));
    }

    static std::string text(const IndexPath& p) { return std::to_string(p.section()) + "-" + std::to_string(p.row()); }
};

std::vector<std::string> numbered(const std::string& prefix, int count) {
    std::vector<std::string> rows;
    for (int i = 0; i < count; ++i) rows.push_back(prefix + std::to_string(i));
    return rows;
}

struct Fixture {
    test::UIHarness ui;
    std::shared_ptr<Rows> rows = std::make_shared<Rows>();
    std::shared_ptr<TableView> table;

    explicit Fixture(cg::Rect screen = {0, 0, 320, 480}, TableViewStyle style = TableViewStyle::Plain) : ui(screen) {
        table = std::make_shared<TableView>(screen, style);
        table->registerClass<CountingCell>("Row");
        table->setDataSource(rows);
        table->setDelegate(rows);
    }

    void show() {
        ui.root->view()->addSubview(table);
        ui.settle();
    }

    std::string textAt(const IndexPath& path) {
        auto cell = table->cellForRowAtIndexPath(path);
        return cell ? cell->textLabel()->text().value_or("") : "<none>";
    }
};

}  // namespace

TEST(TableView, ScrollingTwoHundredRowsReusesAboutAScreenfulOfCells) {
    Fixture f({0, 0, 375, 667});
    f.rows->sections = {numbered("Row ", 200)};
    cellsMade = cellsReused = 0;
    f.show();
    EXPECT_EQ(f.table->contentSize(), (cg::Size{375, 200 * 44}));
    // 667 points show rows 0 to 15.
    auto visible = f.table->indexPathsForVisibleRows();
    ASSERT_EQ(visible.size(), 16u);
    EXPECT_EQ(visible.front(), IndexPath(0, 0));
    EXPECT_EQ(visible.back(), IndexPath(0, 15));
    EXPECT_EQ(cellsMade, 16);

    for (double y = 0; y <= 200 * 44 - 667; y += 37) {
        f.table->setContentOffset({0, y});
        f.ui.settle();
        const auto paths = f.table->indexPathsForVisibleRows();
        const auto cells = f.table->visibleCells();
        ASSERT_EQ(paths.size(), cells.size());
        for (std::size_t i = 0; i < paths.size(); ++i) {
            // Every cell on screen shows its own row, in its row's place.
            ASSERT_EQ(cells[i]->textLabel()->text(), "Row " + std::to_string(paths[i].row()));
            ASSERT_EQ(cells[i]->frame(), (cg::Rect{0, 44.0 * double(paths[i].row()), 375, 44}));
            ASSERT_EQ(cells[i]->superview(), f.table.get());
            if (i > 0) {
                ASSERT_EQ(paths[i].row(), paths[i - 1].row() + 1);
            }
        }
    }
    // Flings to the top, on the clock, reuse the same cells.
    for (int fling = 0; fling < 6 && f.table->contentOffset().y > 0; ++fling) {
        auto finger = f.ui.fingers.down({180, 100});
        for (int i = 1; i <= 5; ++i) {
            f.ui.advance(ScrollView::kFrameInterval);
            f.ui.fingers.move(finger, {180, 100.0 + 100 * i});
        }
        f.ui.fingers.up(finger);
        f.ui.advance(6);
    }
    EXPECT_EQ(f.table->contentOffset(), (cg::Point{0, 0}));
    EXPECT_LE(cellsMade, 17);
    EXPECT_GT(cellsReused, 180);
    EXPECT_EQ(f.textAt({0, 0}), "Row 0");
    EXPECT_EQ(f.table->cellForRowAtIndexPath({0, 100}), nullptr);
}

TEST(TableView, HooksWrapReloadAndMutatorsInOrderAroundTheTablesOwnStep) {
    static std::vector<std::string>* seen = nullptr;
    static std::size_t outer = 0;
    static bool registered = false;
    if (!registered) {
        registered = true;
        for (Kind kind : {Kind::ReloadData, Kind::InsertRows}) {
            TableView::addHook(kind, [](TableView& table, const TableViewMutation& m, const std::function<void()>& proceed) {
                if (seen && table.tag() == 77) seen->push_back("cache before " + std::to_string(m.indexPaths.size()));
                proceed();
                if (seen && table.tag() == 77) seen->push_back("cache after");
            });
            outer = TableView::addHook(kind, [](TableView& table, const TableViewMutation&, const std::function<void()>& proceed) {
                if (seen && table.tag() == 77) seen->push_back("refresh before");
                proceed();
                if (seen && table.tag() == 77) seen->push_back("refresh after");
            });
        }
    }
    Fixture f;
    f.table->setTag(77);
    f.rows->sections = {numbered("r", 3)};
    f.show();
    std::vector<std::string> log;
    seen = &log;
    f.rows->logCounts = true;
    f.rows->log.clear();
    f.table->reloadData();
    log.insert(log.begin() + 2, f.rows->log.begin(), f.rows->log.end());
    EXPECT_EQ(log, (std::vector<std::string>{"refresh before", "cache before 0", "count", "cache after", "refresh after"}));

    // Calling below the outer hook skips it; the hooks see the mutator's arguments.
    log.clear();
    f.rows->log.clear();
    f.rows->sections[0].insert(f.rows->sections[0].begin(), "new");
    TableViewMutation insert(Kind::InsertRows);
    insert.indexPaths = {{0, 0}};
    f.table->runBelowHook(outer, insert);
    EXPECT_EQ(log, (std::vector<std::string>{"cache before 1", "cache after"}));
    EXPECT_EQ(f.table->numberOfRowsInSection(0), 4);
    seen = nullptr;
}

TEST(TableView, MutatorsKeepCellsAndSelectionWithTheirRowsAndRefuseWrongCounts) {
    Fixture f;
    f.rows->sections = {numbered("a", 5), numbered("b", 3)};
    f.show();
    auto a1 = f.table->cellForRowAtIndexPath({0, 1});
    f.table->selectRowAtIndexPath(IndexPath(0, 1), false, TableViewScrollPosition::None);

    // Two rows inserted at the top push a1 down; its cell and selection go with it.
    auto& a = f.rows->sections[0];
    a.insert(a.begin(), {"x", "y"});
    f.table->insertRowsAtIndexPaths({{0, 0}, {0, 1}}, TableViewRowAnimation::None);
    EXPECT_EQ(f.table->cellForRowAtIndexPath({0, 3}), a1);
    EXPECT_EQ(f.table->indexPathForSelectedRow(), IndexPath(0, 3));
    EXPECT_EQ(f.textAt({0, 0}), "x");
    EXPECT_EQ(a1->frame().origin.y, 3 * 44);

    // A batch: delete "x", move "a4" to the top, reload "a0".
    a = {"a4", "y", "a0!", "a1", "a2", "a3"};
    auto a4 = f.table->cellForRowAtIndexPath({0, 6});
    f.table->beginUpdates();
    f.table->deleteRowsAtIndexPaths({{0, 0}}, TableViewRowAnimation::Fade);
    f.table->moveRowAtIndexPath({0, 6}, {0, 0});
    f.table->reloadRowsAtIndexPaths({{0, 2}}, TableViewRowAnimation::Automatic);
    EXPECT_EQ(f.textAt({0, 0}), "x");  // nothing happens before the batch ends
    f.table->endUpdates();
    EXPECT_EQ(f.table->cellForRowAtIndexPath({0, 0}), a4);
    EXPECT_EQ(f.table->cellForRowAtIndexPath({0, 3}), a1);
    EXPECT_EQ(f.textAt({0, 2}), "a0!");
    EXPECT_EQ(f.table->indexPathForSelectedRow(), IndexPath(0, 3));
    // Animated: the cells move to their places over the update's animation.
    EXPECT_FALSE(a1->layer()->animationKeys().empty());

    // Sections: a new one in front, then the old first one deleted.
    f.rows->sections.insert(f.rows->sections.begin(), {"c0"});
    f.table->insertSections({0}, TableViewRowAnimation::None);
    EXPECT_EQ(f.table->cellForRowAtIndexPath({1, 3}), a1);
    f.rows->sections.erase(f.rows->sections.begin() + 1);
    f.table->deleteSections({1}, TableViewRowAnimation::None);
    EXPECT_EQ(f.table->numberOfSections(), 2);
    EXPECT_EQ(f.textAt({1, 0}), "b0");
    EXPECT_FALSE(f.table->indexPathForSelectedRow().has_value());

    // The data source disagreeing with the change is refused, and the table still works afterwards.
    f.rows->sections[1].push_back("b3");
    try {
        f.table->deleteRowsAtIndexPaths({{1, 0}}, TableViewRowAnimation::None);
        FAIL() << "a wrong count must be refused";
    } catch (const ns::Exception& e) {
        EXPECT_EQ(e.name(), ns::InternalInconsistencyException);
        EXPECT_NE(std::string(e.what()).find("Invalid update: invalid number of rows in section 1. The number of rows "
                                             "contained in an existing section after the update (4) must be equal to the "
                                             "number of rows contained in that section before the update (3)"),
                  std::string::npos);
    }
    f.table->insertRowsAtIndexPaths({{1, 3}}, TableViewRowAnimation::None);
    EXPECT_EQ(f.textAt({1, 3}), "b3");
}

TEST(TableView, AnimatedInsertMakesNewCellsInsideItsAnimation) {
    Fixture f;
    f.rows->sections = {numbered("a", 2)};
    f.show();
    const int before = cellsMade;
    // Every cell is on screen, so the new row needs a new cell, made while the update animates.
    f.rows->sections[0].push_back("fresh");
    f.table->insertRowsAtIndexPaths({{0, 2}}, TableViewRowAnimation::Fade);
    EXPECT_EQ(cellsMade, before + 1);
    EXPECT_EQ(f.textAt({0, 2}), "fresh");
    f.ui.advance(1);
}

TEST(TableView, TapsHighlightAndSelectRows) {
    Fixture f;
    f.rows->sections = {numbered("r", 30)};
    f.show();
    auto row3 = f.table->cellForRowAtIndexPath({0, 3});
    auto finger = f.ui.fingers.down({100, 3 * 44 + 20});
    EXPECT_TRUE(row3->isHighlighted());
    f.ui.fingers.up(finger);
    EXPECT_FALSE(row3->isHighlighted());
    EXPECT_TRUE(row3->isSelected());
    ASSERT_TRUE(f.ui.fingers.tap({100, 5 * 44 + 20}));
    EXPECT_FALSE(row3->isSelected());
    EXPECT_EQ(f.rows->log, (std::vector<std::string>{"select 0-3", "deselect 0-3", "select 0-5"}));

    // The delegate may refuse; a drag scrolls instead of selecting.
    f.rows->refused = IndexPath(0, 7);
    f.ui.fingers.tap({100, 7 * 44 + 20});
    f.ui.fingers.drag({100, 300}, {100, 200}, 5);
    f.ui.advance(5);
    EXPECT_EQ(f.rows->log.size(), 3u);
    EXPECT_EQ(f.table->indexPathsForSelectedRows(), (std::vector<IndexPath>{{0, 5}}));
    for (const auto& cell : f.table->visibleCells()) EXPECT_FALSE(cell->isHighlighted());

    // With multiple selection a second tap deselects.
    f.table->setContentOffset({0, 0});
    f.table->setAllowsMultipleSelection(true);
    f.rows->log.clear();
    f.ui.fingers.tap({100, 1 * 44 + 20});
    f.ui.fingers.tap({100, 2 * 44 + 20});
    f.ui.fingers.tap({100, 1 * 44 + 20});
    EXPECT_EQ(f.rows->log, (std::vector<std::string>{"select 0-1", "select 0-2", "deselect 0-1"}));
    EXPECT_EQ(f.table->indexPathsForSelectedRows(), (std::vector<IndexPath>{{0, 2}, {0, 5}}));

    // A detail button takes its own taps and tells the delegate which row it belongs to.
    f.rows->log.clear();
    f.table->cellForRowAtIndexPath({0, 4})->setAccessoryType(TableViewCellAccessoryType::DetailButton);
    f.ui.settle();
    f.ui.fingers.tap({320 - 15 - 11, 4 * 44 + 22});
    EXPECT_EQ(f.rows->log, (std::vector<std::string>{"accessory 0-4"}));
}

TEST(TableView, SectionHeadersFooterViewsAndHeights) {
    Fixture f;
    f.rows->sections = {numbered("a", 10), numbered("b", 10), numbered("c", 10)};
    f.rows->titles = {"A", "B"};
    auto header = std::make_shared<View>(cg::Rect{0, 0, 10, 100});
    f.table->setTableHeaderView(header);
    f.show();
    // Titled sections get the plain style's 22 points; the untitled one none.
    EXPECT_EQ(f.table->rectForRowAtIndexPath({0, 0}), (cg::Rect{0, 122, 320, 44}));
    EXPECT_EQ(f.table->rectForHeaderInSection(1), (cg::Rect{0, 100 + 22 + 440, 320, 22}));
    EXPECT_EQ(f.table->rectForRowAtIndexPath({2, 0}).origin.y, 100 + 2 * (22 + 440));
    EXPECT_EQ(header->frame(), (cg::Rect{0, 0, 320, 100}));
    EXPECT_EQ(f.table->indexPathForRowAtPoint({10, 100 + 22 + 440 + 22 + 50}), IndexPath(1, 1));
    EXPECT_FALSE(f.table->indexPathForRowAtPoint({10, 100 + 22 + 440 + 5}).has_value());
    EXPECT_EQ(f.table->indexPathsForRowsInRect({0, 122, 10, 88}), (std::vector<IndexPath>{{0, 0}, {0, 1}}));

    // A plain header stays at the top while its rows pass under it, until the next section pushes it.
    f.table->setContentOffset({0, 300});
    f.ui.settle();
    auto title = std::dynamic_pointer_cast<TableViewHeaderFooterView>(f.table->headerViewForSection(0));
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->textLabel()->text(), "A");
    EXPECT_EQ(title->frame(), (cg::Rect{0, 300, 320, 22}));
    f.table->setContentOffset({0, 100 + 22 + 440 - 10});
    f.ui.settle();
    EXPECT_EQ(title->frame().origin.y, 100 + 440);
    EXPECT_EQ(f.table->headerViewForSection(1)->frame().origin.y, 100 + 22 + 440);

    // The grouped style leaves gaps between sections.
    auto grouped = std::make_shared<TableView>(cg::Rect{0, 0, 320, 480}, TableViewStyle::Grouped);
    auto rows = std::make_shared<Rows>();
    rows->sections = {numbered("a", 2), numbered("b", 2), numbered("c", 1)};
    rows->titles = {"", "B"};
    grouped->setDataSource(rows);
    EXPECT_EQ(grouped->rectForHeaderInSection(0).size.height, 38);
    EXPECT_EQ(grouped->rectForFooterInSection(0), (cg::Rect{0, 38 + 88, 320, 17.5}));
    EXPECT_EQ(grouped->rectForRowAtIndexPath({1, 0}).origin.y, 38 + 88 + 17.5 + 38);
    EXPECT_EQ(grouped->rectForHeaderInSection(2).size.height, 17.5);
    EXPECT_EQ(grouped->contentSize().height, 2 * (38 + 88 + 17.5) + 17.5 + 44 + 17.5);
}

TEST(TableView, RowHeightsComeFromTheDelegateOrAreEstimatedUntilShown) {
    Fixture f;
    f.rows->sections = {numbered("r", 100)};
    f.rows->heights = {{{0, 1}, 100}};
    f.show();
    EXPECT_EQ(f.rows->heightsAsked.size(), 100u);
    EXPECT_EQ(f.table->rectForRowAtIndexPath({0, 2}), (cg::Rect{0, 144, 320, 44}));

    f.rows->heightsAsked.clear();
    f.table->setEstimatedRowHeight(60);
    f.table->reloadData();
    EXPECT_TRUE(f.rows->heightsAsked.empty());
    EXPECT_EQ(f.table->contentSize().height, 6000);
    f.ui.settle();
    // Only the rows on screen are measured: rows 0 to 9 fill 480 points.
    EXPECT_EQ(f.rows->heightsAsked.size(), 10u);
    EXPECT_EQ(f.table->contentSize().height, 44 * 9 + 100 + 90 * 60);
    EXPECT_EQ(f.table->rectForRowAtIndexPath({0, 9}).origin.y, 44 * 8 + 100);
}

namespace {

// Shows one given cell.
class OneCell : public TableViewDataSource {
public:
    explicit OneCell(std::shared_ptr<TableViewCell> cell) : cell_(std::move(cell)) {}
    std::int64_t tableViewNumberOfRowsInSection(TableView&, std::int64_t) override { return 1; }
    std::shared_ptr<TableViewCell> tableViewCellForRowAtIndexPath(TableView&, const IndexPath&) override { return cell_; }

private:
    std::shared_ptr<TableViewCell> cell_;
};

}  // namespace

TEST(TableViewCell, StylesAccessoriesSeparatorsAndReuseRegistrations) {
    test::UIHarness ui;
    auto table = std::make_shared<TableView>(cg::Rect{0, 0, 320, 480});
    auto cell = std::make_shared<TableViewCell>(TableViewCellStyle::Subtitle, "Cell");
    auto source = std::make_shared<OneCell>(cell);
    table->setDataSource(source);
    table->setRowHeight(60);
    ui.root->view()->addSubview(table);
    cell->setAccessoryType(TableViewCellAccessoryType::Checkmark);
    cell->textLabel()->setText("Title");
    cell->detailTextLabel()->setText("Detail");
    ui.settle();
    // The separator takes a pixel (half a point on a 2x screen) from the content view; the checkmark 40
    // points of its width.
    EXPECT_EQ(cell->contentView()->frame(), (cg::Rect{0, 0, 320 - 40, 59.5}));
    const cg::Rect title = cell->textLabel()->frame();
    const cg::Rect detail = cell->detailTextLabel()->frame();
    EXPECT_EQ(title.origin.x, 15);
    EXPECT_EQ(detail.origin.y, cg::maxY(title));
    EXPECT_NEAR(cg::midY(cg::rectUnion(title, detail)), 59.5 / 2, 0.5);

    auto custom = std::make_shared<View>(cg::Rect{0, 0, 30, 30});
    cell->setAccessoryView(custom);
    cell->layoutIfNeeded();
    EXPECT_EQ(cell->contentView()->frame().size.width, 320 - 46);
    EXPECT_EQ(custom->frame().origin.x, 320 - 15 - 30);
    table->setSeparatorStyle(TableViewCellSeparatorStyle::None);
    cell->layoutIfNeeded();
    EXPECT_EQ(cell->contentView()->frame().size.height, 60);
    EXPECT_EQ(std::make_shared<TableViewCell>()->detailTextLabel(), nullptr);

    // Selection shows the selected background and highlights the labels.
    cell->setSelected(true);
    EXPECT_EQ(cell->selectedBackgroundView()->superview(), cell.get());
    EXPECT_TRUE(cell->textLabel()->isHighlighted());
    cell->prepareForReuse();
    EXPECT_FALSE(cell->isSelected());
    EXPECT_EQ(cell->selectedBackgroundView()->superview(), nullptr);

    // Unknown identifiers: none from the plain dequeue, an exception from the index path one.
    EXPECT_EQ(table->dequeueReusableCellWithIdentifier("Nothing"), nullptr);
    EXPECT_THROW(table->dequeueReusableCellWithIdentifier("Nothing", {0, 0}), ns::Exception);
    Nib::registerNib("TableViewTestsCell", [](Nib::Loading& loading) -> std::vector<std::shared_ptr<ns::Object>> {
        auto made = loading.make<TableViewCell>(TableViewCellStyle::Value1, "");
        made->setTag(5);
        return {made};
    });
    table->registerNib(Nib::nibWithNibName("TableViewTestsCell"), "FromNib");
    auto fromNib = table->dequeueReusableCellWithIdentifier("FromNib", {0, 0});
    EXPECT_EQ(fromNib->tag(), 5);
    EXPECT_EQ(fromNib->reuseIdentifier(), "FromNib");
    EXPECT_EQ(fromNib->style(), TableViewCellStyle::Value1);
}

namespace {

// Twenty rows, the tenth holding a text field.
class FormController : public TableViewController {
public:
    std::shared_ptr<TextField> field = std::make_shared<TextField>(cg::Rect{15, 7, 200, 30});

    std::int64_t tableViewNumberOfRowsInSection(TableView&, std::int64_t) override { return 20; }
    std::shared_ptr<TableViewCell> tableViewCellForRowAtIndexPath(TableView& table, const IndexPath& path) override {
        auto cell = table.dequeueReusableCellWithIdentifier("Row");
        if (!cell) cell = std::make_shared<TableViewCell>(TableViewCellStyle::Default, "Row");
        if (path.row() == 9) {
            cell->contentView()->addSubview(field);
        } else if (field->superview() == cell->contentView().get()) {
            field->removeFromSuperview();
        }
        return cell;
    }
};

}  // namespace

TEST(TableViewController, ServesItsTableAndKeepsTheEditedRowAboveTheKeyboard) {
    test::UIHarness ui;
    auto controller = std::make_shared<FormController>();
    ui.window->setRootViewController(controller);
    ui.settle();
    auto table = controller->tableView();
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->dataSource().get(), static_cast<TableViewDataSource*>(controller.get()));
    EXPECT_EQ(table->numberOfRowsInSection(0), 20);
    EXPECT_EQ(controller->field->window(), ui.window.get());

    ASSERT_TRUE(controller->field->becomeFirstResponder());
    const double keyboard = Keyboard::standardHeight();
    EXPECT_EQ(table->contentInset().bottom, keyboard);
    ui.advance(1);
    // Row 9 ends at 440, which must end above the keyboard.
    EXPECT_EQ(table->contentOffset().y, 440 - (480 - keyboard));
    controller->field->resignFirstResponder();
    EXPECT_EQ(table->contentInset().bottom, 0);

    table->selectRowAtIndexPath(IndexPath(0, 2), false, TableViewScrollPosition::None);
    controller->viewWillAppear(false);
    EXPECT_TRUE(table->indexPathsForSelectedRows().empty());
}
