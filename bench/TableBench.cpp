// A screen's worth of list: a 375×667 window at 2× holding a 200-row table of labelled cells. One pass
// builds the window, lays it out, draws it (the display pass) and renders it to a PNG, as a screenshot
// does; the same without the rendering shows what layout and drawing cost alone, and a third benchmark
// measures the steady cost of scrolling that table one frame's worth and drawing again. Peak memory is
// reported as the process's maximum resident set.

#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <memory>
#include <string>

#include "platform/graphics/BitmapContext.h"
#include "platform/graphics/ImageEncoding.h"
#include "platform/ui/Application.h"
#include "platform/ui/DisplayCycle.h"
#include "platform/ui/Label.h"
#include "platform/ui/Screen.h"
#include "platform/ui/TableView.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"

using namespace ql;
using namespace ql::ui;

namespace {

constexpr cg::Rect kScreen{0, 0, 375, 667};
constexpr double kScale = 2;
constexpr int kRows = 200;

class Rows : public TableViewDataSource {
public:
    std::int64_t tableViewNumberOfRowsInSection(TableView&, std::int64_t) override { return kRows; }
    std::shared_ptr<TableViewCell> tableViewCellForRowAtIndexPath(TableView& table, const ns::IndexPath& path) override {
        auto cell = table.dequeueReusableCellWithIdentifier("Row", path);
        cell->textLabel()->setText("第 " + std::to_string(path.row() + 1) + " 行 Row " + std::to_string(path.row()));
        cell->detailTextLabel()->setText(std::to_string(path.row() * 7 % 100) + " pages");
        cell->setAccessoryType(TableViewCellAccessoryType::DisclosureIndicator);
        return cell;
    }
};

struct ListScreen {
    std::shared_ptr<Rows> rows = std::make_shared<Rows>();
    std::shared_ptr<Window> window = std::make_shared<Window>(kScreen);
    std::shared_ptr<TableView> table = std::make_shared<TableView>(kScreen);

    ListScreen() {
        table->registerClass([](const std::string& identifier) {
            return std::make_shared<TableViewCell>(TableViewCellStyle::Value1, identifier);
        }, "Row");
        table->setDataSource(rows);
        auto root = std::make_shared<ViewController>();
        window->setRootViewController(root);
        root->view()->addSubview(table);
        window->makeKeyAndVisible();
    }
    ~ListScreen() { window->setHidden(true); }

    std::size_t renderPNG() const {
        auto context = cg::BitmapContext::createForImage(kScreen.size, true, kScale);
        window->layer()->renderInContext(*context);
        auto png = cg::encodePNG(*context->makeImage());
        return png ? png->length() : 0;
    }
};

double peakResidentMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024;
}

void setUpScreen() {
    ui::Screen::mainScreen().setBounds(kScreen);
    ui::Screen::mainScreen().setScale(kScale);
}

void BM_TableWindowLayoutDisplayAndPNG(benchmark::State& state) {
    setUpScreen();
    std::size_t bytes = 0;
    std::size_t cells = 0;
    for (auto _ : state) {
        ListScreen screen;
        DisplayCycle::flush();
        cells = screen.table->visibleCells().size();
        bytes = screen.renderPNG();
        benchmark::DoNotOptimize(bytes);
    }
    state.counters["cells"] = double(cells);
    state.counters["png_kB"] = double(bytes) / 1024;
    state.counters["peak_rss_MB"] = peakResidentMegabytes();
}
BENCHMARK(BM_TableWindowLayoutDisplayAndPNG)->Unit(benchmark::kMillisecond);

void BM_TableWindowLayoutAndDisplay(benchmark::State& state) {
    setUpScreen();
    for (auto _ : state) {
        ListScreen screen;
        DisplayCycle::flush();
        benchmark::DoNotOptimize(screen.table->visibleCells().size());
    }
    state.counters["peak_rss_MB"] = peakResidentMegabytes();
}
BENCHMARK(BM_TableWindowLayoutAndDisplay)->Unit(benchmark::kMillisecond);

void BM_TableScrollFrame(benchmark::State& state) {
    setUpScreen();
    ListScreen screen;
    DisplayCycle::flush();
    const double end = screen.table->maximumContentOffset().y;
    double y = 0;
    for (auto _ : state) {
        y = y + 20 > end ? 0 : y + 20;
        screen.table->setContentOffset({0, y});
        DisplayCycle::flush();
    }
    state.counters["peak_rss_MB"] = peakResidentMegabytes();
}
BENCHMARK(BM_TableScrollFrame)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
