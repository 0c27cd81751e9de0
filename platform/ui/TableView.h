#pragma once
// ui::TableView: a scrolling list of rows in sections, asked of a data source. Only the rows on screen
// have cells: cells that scroll away go back to a reuse queue and come out again, prepared for reuse, for
// the rows that scroll in. The table places section headers and footers (views or titles), its own
// header and footer views, separators, and follows taps with highlighting and selection. reloadData,
// begin/endUpdates and the eight row and section mutators are hook points: other components wrap them
// in an ordered chain at load time.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/foundation/IndexPath.h"
#include "platform/graphics/Color.h"
#include "platform/ui/HookChain.h"
#include "platform/ui/ReuseQueue.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/TableViewCell.h"
#include "platform/ui/TableViewGeometry.h"
#include "platform/ui/TableViewUpdate.h"
#include "platform/ui/TapSelection.h"

namespace ql::ui {

class TableView;

enum class TableViewStyle { Plain = 0, Grouped = 1 };
enum class TableViewScrollPosition { None = 0, Top = 1, Middle = 2, Bottom = 3 };
// A height that the table works out itself.
inline constexpr double TableViewAutomaticDimension = -1;

// The data source answers the required two; the others are optional with the platform's defaults.
class TableViewDataSource {
public:
    virtual ~TableViewDataSource() = default;
    virtual std::int64_t tableViewNumberOfRowsInSection(TableView&, std::int64_t section) = 0;
    // Must return a cell (usually dequeued); returning none raises "NSInternalInconsistencyException".
    virtual std::shared_ptr<TableViewCell> tableViewCellForRowAtIndexPath(TableView&, const ns::IndexPath&) = 0;
    virtual std::int64_t numberOfSectionsInTableView(TableView&) { return 1; }
    virtual std::optional<std::string> tableViewTitleForHeaderInSection(TableView&, std::int64_t) { return std::nullopt; }
    virtual std::optional<std::string> tableViewTitleForFooterInSection(TableView&, std::int64_t) { return std::nullopt; }
};

// Every member is optional. Heights left unanswered (nullopt) are the table's own.
class TableViewDelegate : public ScrollViewDelegate {
public:
    virtual std::optional<double> tableViewHeightForRowAtIndexPath(TableView&, const ns::IndexPath&) { return std::nullopt; }
    virtual std::optional<double> tableViewEstimatedHeightForRowAtIndexPath(TableView&, const ns::IndexPath&) {
        return std::nullopt;
    }
    virtual std::optional<double> tableViewHeightForHeaderInSection(TableView&, std::int64_t) { return std::nullopt; }
    virtual std::optional<double> tableViewHeightForFooterInSection(TableView&, std::int64_t) { return std::nullopt; }
    // Asked when the section's header or footer comes on screen; none shows the title, if any.
    virtual std::shared_ptr<View> tableViewViewForHeaderInSection(TableView&, std::int64_t) { return nullptr; }
    virtual std::shared_ptr<View> tableViewViewForFooterInSection(TableView&, std::int64_t) { return nullptr; }
    virtual void tableViewWillDisplayCellForRowAtIndexPath(TableView&, TableViewCell&, const ns::IndexPath&) {}
    virtual void tableViewDidEndDisplayingCellForRowAtIndexPath(TableView&, TableViewCell&, const ns::IndexPath&) {}
    virtual bool tableViewShouldHighlightRowAtIndexPath(TableView&, const ns::IndexPath&) { return true; }
    virtual void tableViewDidHighlightRowAtIndexPath(TableView&, const ns::IndexPath&) {}
    virtual void tableViewDidUnhighlightRowAtIndexPath(TableView&, const ns::IndexPath&) {}
    // May choose another row, or none to refuse.
    virtual std::optional<ns::IndexPath> tableViewWillSelectRowAtIndexPath(TableView&, const ns::IndexPath& path) {
        return path;
    }
    virtual std::optional<ns::IndexPath> tableViewWillDeselectRowAtIndexPath(TableView&, const ns::IndexPath& path) {
        return path;
    }
    virtual void tableViewDidSelectRowAtIndexPath(TableView&, const ns::IndexPath&) {}
    virtual void tableViewDidDeselectRowAtIndexPath(TableView&, const ns::IndexPath&) {}
    virtual void tableViewAccessoryButtonTappedForRowWithIndexPath(TableView&, const ns::IndexPath&) {}
};

class TableView : public ScrollView, private TapSelection::Host {
    QL_OBJECT_NAMED(TableView, ScrollView, "UITableView")
public:
    static constexpr double kDefaultRowHeight = 44;
    // How long rows take to move to their places after an animated update.
    static constexpr double kUpdateAnimationDuration = 0.3;

    using Hook = HookChain<TableView, TableViewMutation>::Hook;
    using CellFactory = std::function<std::shared_ptr<TableViewCell>(const std::string& reuseIdentifier)>;

    TableView() : TableView(cg::Rect::zero()) {}
    explicit TableView(const cg::Rect& frame, TableViewStyle style = TableViewStyle::Plain);
    ~TableView() override;

    TableViewStyle style() const { return style_; }
    std::shared_ptr<TableViewDataSource> dataSource() const { return dataSource_.lock(); }
    void setDataSource(std::weak_ptr<TableViewDataSource> dataSource);
    std::shared_ptr<TableViewDelegate> delegate() const { return tableDelegate_.lock(); }
    void setDelegate(std::weak_ptr<TableViewDelegate> delegate);

    // ---- Data ----
    // The counts the table holds from its data source (asked on first use and at each reload or update).
    std::int64_t numberOfSections();
    std::int64_t numberOfRowsInSection(std::int64_t section);
    // Forgets the rows and asks the data source again; visible cells go back to the reuse queue and the
    // selection is cleared. A hook point.
    void reloadData();

    // ---- Updates (hook points) ----
    // Changes between begin and end make one batch; a change outside a batch is a batch of its own. The
    // data source must already report the counts after the change.
    void beginUpdates();
    void endUpdates();
    void insertSections(const std::set<std::int64_t>& sections, TableViewRowAnimation animation);
    void deleteSections(const std::set<std::int64_t>& sections, TableViewRowAnimation animation);
    void reloadSections(const std::set<std::int64_t>& sections, TableViewRowAnimation animation);
    void moveSection(std::int64_t section, std::int64_t newSection);
    void insertRowsAtIndexPaths(const std::vector<ns::IndexPath>& paths, TableViewRowAnimation animation);
    void deleteRowsAtIndexPaths(const std::vector<ns::IndexPath>& paths, TableViewRowAnimation animation);
    void reloadRowsAtIndexPaths(const std::vector<ns::IndexPath>& paths, TableViewRowAnimation animation);
    void moveRowAtIndexPath(const ns::IndexPath& path, const ns::IndexPath& newPath);

    // Adds a hook around every call of one kind, for every table. The hook added last runs first and
    // reaches the earlier ones, then the table's own step, through its continuation. Returns the hook's
    // position for runBelowHook.
    static std::size_t addHook(TableViewMutation::Kind kind, Hook hook);
    // Performs `mutation` as the hook at `position` would through its continuation: the hooks added
    // before it, then the table's own step.
    void runBelowHook(std::size_t position, const TableViewMutation& mutation);

    // ---- Heights ----
    double rowHeight() const { return rowHeight_; }
    void setRowHeight(double height);
    // Above 0: rows are measured (asked of the delegate) only as they come on screen.
    double estimatedRowHeight() const { return estimatedRowHeight_; }
    void setEstimatedRowHeight(double height);
    // Automatic: the platform's heights for titled and untitled sections of the style.
    double sectionHeaderHeight() const { return sectionHeaderHeight_; }
    void setSectionHeaderHeight(double height);
    double sectionFooterHeight() const { return sectionFooterHeight_; }
    void setSectionFooterHeight(double height);

    // ---- Geometry (content coordinates) ----
    cg::Rect rectForSection(std::int64_t section);
    cg::Rect rectForRowAtIndexPath(const ns::IndexPath& path);
    cg::Rect rectForHeaderInSection(std::int64_t section);
    cg::Rect rectForFooterInSection(std::int64_t section);
    std::optional<ns::IndexPath> indexPathForRowAtPoint(cg::Point point);
    std::vector<ns::IndexPath> indexPathsForRowsInRect(const cg::Rect& rect);

    // ---- Cells on screen ----
    // Null when the row is not on screen.
    std::shared_ptr<TableViewCell> cellForRowAtIndexPath(const ns::IndexPath& path);
    std::optional<ns::IndexPath> indexPathForCell(const TableViewCell& cell);
    // In index path order.
    std::vector<std::shared_ptr<TableViewCell>> visibleCells();
    std::vector<ns::IndexPath> indexPathsForVisibleRows();
    // The header or footer view shown for a section, if it is on screen.
    std::shared_ptr<View> headerViewForSection(std::int64_t section);
    std::shared_ptr<View> footerViewForSection(std::int64_t section);

    // ---- Reuse ----
    // A registered class (constructible from a style and a reuse identifier), factory or nib makes the
    // cells of an identifier when its queue is empty.
    template <class Cell>
    void registerClass(std::string reuseIdentifier) {
        registerClass([](const std::string& identifier) {
            return std::make_shared<Cell>(TableViewCellStyle::Default, identifier);
        }, std::move(reuseIdentifier));
    }
    void registerClass(CellFactory factory, std::string reuseIdentifier);
    // The nib's first top-level table cell; its reuse identifier becomes the registered one when empty.
    void registerNib(std::shared_ptr<Nib> nib, std::string reuseIdentifier);
    // A queued cell after prepareForReuse, or a new one from the registration; null when neither exists.
    std::shared_ptr<TableViewCell> dequeueReusableCellWithIdentifier(const std::string& identifier);
    // The same, but an identifier without registration raises "NSInternalInconsistencyException".
    std::shared_ptr<TableViewCell> dequeueReusableCellWithIdentifier(const std::string& identifier,
                                                                     const ns::IndexPath& path);

    // ---- Selection ----
    bool allowsSelection() const { return allowsSelection_; }
    void setAllowsSelection(bool allows);
    bool allowsMultipleSelection() const { return allowsMultipleSelection_; }
    void setAllowsMultipleSelection(bool allows);
    std::optional<ns::IndexPath> indexPathForSelectedRow() const;
    std::vector<ns::IndexPath> indexPathsForSelectedRows() const;
    // Programmatic selection tells no delegate. Selecting none deselects everything.
    void selectRowAtIndexPath(const std::optional<ns::IndexPath>& path, bool animated, TableViewScrollPosition position);
    void deselectRowAtIndexPath(const ns::IndexPath& path, bool animated);

    // ---- Scrolling ----
    void scrollToRowAtIndexPath(const ns::IndexPath& path, TableViewScrollPosition position, bool animated);

    // ---- Look ----
    TableViewCellSeparatorStyle separatorStyle() const { return separatorStyle_; }
    void setSeparatorStyle(TableViewCellSeparatorStyle style);
    const cg::Color& separatorColor() const { return separatorColor_; }
    void setSeparatorColor(const cg::Color& color);
    const cg::EdgeInsets& separatorInset() const { return separatorInset_; }
    void setSeparatorInset(const cg::EdgeInsets& insets);
    // Above the first section and below the last; the table keeps their heights and sets their widths.
    const std::shared_ptr<View>& tableHeaderView() const { return tableHeaderView_; }
    void setTableHeaderView(std::shared_ptr<View> view);
    const std::shared_ptr<View>& tableFooterView() const { return tableFooterView_; }
    void setTableFooterView(std::shared_ptr<View> view);

    void layoutSubviews() override;
    void touchesBegan(const TouchSet& touches, Event* event) override;
    void touchesMoved(const TouchSet& touches, Event* event) override;
    void touchesEnded(const TouchSet& touches, Event* event) override;
    void touchesCancelled(const TouchSet& touches, Event* event) override;

private:
    struct SectionText {
        std::optional<std::string> header;
        std::optional<std::string> footer;
    };

    static HookChain<TableView, TableViewMutation>& hooks(TableViewMutation::Kind kind);
    void mutate(TableViewMutation mutation);
    void perform(const TableViewMutation& mutation);

    // The rows as the data source has them; loaded on first use.
    void loadIfNeeded();
    void load();
    double rowHeightFor(const ns::IndexPath& path, bool* estimated);
    double headerHeightFor(std::int64_t section, bool titled);
    double footerHeightFor(std::int64_t section, bool titled);
    void updateContentSize();
    void applyUpdate();

    // Tiling: cells, headers and footers for what is on screen.
    void tile();
    void measureVisibleRows(double top, double bottom);
    std::shared_ptr<TableViewCell> makeCell(const ns::IndexPath& path);
    void configureCell(TableViewCell& cell, const ns::IndexPath& path);
    void recycle(const ns::IndexPath& path, const std::shared_ptr<TableViewCell>& cell);
    void recycleAll();
    void tileSectionViews(double top, double bottom);
    std::shared_ptr<View> makeSectionView(std::int64_t section, bool header);
    cg::Rect floatingFrame(std::int64_t section, bool header);
    void placeTableHeaderAndFooter();

    // Selection by touch.
    bool tapMayBegin() override;
    std::optional<ns::IndexPath> indexPathUnderTouch(const Touch& touch) override;
    bool hasVisibleElement(const ns::IndexPath& path) override;
    void setElementHighlighted(const ns::IndexPath& path, bool highlighted) override;
    bool shouldHighlightElement(const ns::IndexPath& path) override;
    void didHighlightElement(const ns::IndexPath& path) override;
    void didUnhighlightElement(const ns::IndexPath& path) override;
    void elementTapped(const ns::IndexPath& path) override;
    void selectByUser(const ns::IndexPath& path);
    void deselectByUser(const ns::IndexPath& path);

    TableViewStyle style_;
    std::weak_ptr<TableViewDataSource> dataSource_;
    std::weak_ptr<TableViewDelegate> tableDelegate_;

    double rowHeight_ = kDefaultRowHeight;
    double estimatedRowHeight_ = 0;
    double sectionHeaderHeight_ = TableViewAutomaticDimension;
    double sectionFooterHeight_ = TableViewAutomaticDimension;

    bool loaded_ = false;
    TableViewGeometry geometry_;
    std::vector<SectionText> texts_;
    int updateDepth_ = 0;
    TableViewUpdate pending_;
    bool tiling_ = false;

    std::map<ns::IndexPath, std::shared_ptr<TableViewCell>> visibleCells_;
    std::map<std::int64_t, std::shared_ptr<View>> headerViews_;
    std::map<std::int64_t, std::shared_ptr<View>> footerViews_;
    // By reuse identifier.
    ReuseQueue<TableViewCell, CellFactory> reuse_;

    bool allowsSelection_ = true;
    bool allowsMultipleSelection_ = false;
    std::set<ns::IndexPath> selected_;
    TapSelection tap_{*this};

    TableViewCellSeparatorStyle separatorStyle_ = TableViewCellSeparatorStyle::SingleLine;
    cg::Color separatorColor_ = cg::Color::rgb(200 / 255.0, 199 / 255.0, 204 / 255.0, 1);
    cg::EdgeInsets separatorInset_{0, TableViewCell::kMargin, 0, 0};
    std::shared_ptr<View> tableHeaderView_;
    std::shared_ptr<View> tableFooterView_;
};

}  // namespace ql::ui
