#pragma once
// A list of rows on a booted device, a finger to pull it and a fresh sandbox for the saved dates: what
// the refresh controls' tests start from.

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "platform/foundation/Sandbox.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TableViewCell.h"
#include "platform/ui/TouchDriver.h"
#include "tests/ui/BootedDevice.h"
#include "ui/refresh/ScrollViewRefresh.h"

namespace ql::test {

class Rows : public ns::Object, public ui::TableViewDataSource {
public:
    std::int64_t numberOfSectionsInTableView(ui::TableView&) override { return static_cast<std::int64_t>(counts.size()); }
    std::int64_t tableViewNumberOfRowsInSection(ui::TableView&, std::int64_t section) override {
        return counts[static_cast<std::size_t>(section)];
    }
    std::shared_ptr<ui::TableViewCell> tableViewCellForRowAtIndexPath(ui::TableView&, const ns::IndexPath&) override {
        return std::make_shared<ui::TableViewCell>(ui::TableViewCellStyle::Default, "row");
    }

    std::vector<std::int64_t> counts{20};
};

class RefreshTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { registerRefreshLoadHooks(); }

    RefreshTest() {
        table = std::make_shared<ui::TableView>(cg::Rect{0, 0, 320, 500});
        table->setRowHeight(44);
        table->setDataSource(rows);
        app.rootView().addSubview(table);
        table->reloadData();
        settle();
    }

    // Pending defaults are written while the sandbox they belong to is still there.
    ~RefreshTest() override { ns::UserDefaults::standard().synchronize(); }

    void settle() { app.device.advance(0); }

    // A finger on the list moved by `dy` in steps of 5 points, still down.
    std::shared_ptr<ui::Touch> press(cg::Point at = {160, 250}) {
        auto touch = finger.down(at);
        start = at;
        settle();
        return touch;
    }
    void moveBy(const std::shared_ptr<ui::Touch>& touch, double dy) {
        finger.move(touch, {start.x, start.y + dy});
        app.device.advance(0.01);
    }
    void lift(const std::shared_ptr<ui::Touch>& touch) {
        finger.up(touch);
        settle();
    }
    // A whole pull: down, moved by `dy`, up.
    void pull(double dy) {
        auto touch = press();
        for (double d = 5; std::abs(d) <= std::abs(dy); d += 5) moveBy(touch, dy > 0 ? d : -d);
        lift(touch);
    }

    ns::TemporarySandbox sandbox;
    BootedDevice app{sim::ScreenProfile::phone320x568()};
    std::shared_ptr<Rows> rows = std::make_shared<Rows>();
    std::shared_ptr<ui::TableView> table;
    ui::TouchDriver finger;
    cg::Point start;
};

}  // namespace ql::test
