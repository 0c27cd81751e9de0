#include "platform/ui/TableView.h"

#include <algorithm>
#include <array>

#include "platform/foundation/Exception.h"
#include "platform/ui/Color.h"
#include "platform/ui/Font.h"
#include "platform/ui/Label.h"
#include "platform/ui/TableViewHeaderFooterView.h"
#include "platform/ui/Touch.h"

namespace ql::ui {

namespace {

using ns::IndexPath;
using Kind = TableViewMutation::Kind;

// Section header and footer heights when neither the delegate nor the table sets them.
constexpr double kPlainTitledHeight = 22;
constexpr double kGroupedTitledHeight = 38;
constexpr double kGroupedFirstHeaderHeight = 35;
constexpr double kGroupedGapHeight = 17.5;

}  // namespace

TableView::TableView(const cg::Rect& frame, TableViewStyle style) : ScrollView(frame), style_(style) {
    setAlwaysBounceVertical(true);
    setBackgroundColor(style == TableViewStyle::Grouped ? Color::groupTableViewBackgroundColor() : Color::whiteColor());
}

TableView::~TableView() = default;

void TableView::setDataSource(std::weak_ptr<TableViewDataSource> dataSource) {
    dataSource_ = std::move(dataSource);
    // Cells of the old data source must not stand for the new one's rows.
    recycleAll();
    selected_.clear();
    loaded_ = false;
    setNeedsLayout();
}

void TableView::setDelegate(std::weak_ptr<TableViewDelegate> delegate) {
    tableDelegate_ = delegate;
    ScrollView::setDelegate(std::weak_ptr<ScrollViewDelegate>(delegate));
    loaded_ = false;
    setNeedsLayout();
}

// ---- Hooks and mutations ----

HookChain<TableView, TableViewMutation>& TableView::hooks(TableViewMutation::Kind kind) {
    static auto* chains = new std::array<HookChain<TableView, TableViewMutation>, TableViewMutation::kKindCount>;
    return (*chains)[static_cast<std::size_t>(kind)];
}

std::size_t TableView::addHook(TableViewMutation::Kind kind, Hook hook) { return hooks(kind).add(std::move(hook)); }

void TableView::runBelowHook(std::size_t position, const TableViewMutation& mutation) {
    auto keep = shared_from_this();
    hooks(mutation.kind).runBelow(position, [this, &mutation] { perform(mutation); }, *this, mutation);
}

void TableView::mutate(TableViewMutation mutation) {
    assertMainThread();
    auto keep = shared_from_this();
    hooks(mutation.kind).run([this, &mutation] { perform(mutation); }, *this, mutation);
}

void TableView::reloadData() { mutate(TableViewMutation(Kind::ReloadData)); }
void TableView::beginUpdates() { mutate(TableViewMutation(Kind::BeginUpdates)); }
void TableView::endUpdates() { mutate(TableViewMutation(Kind::EndUpdates)); }

void TableView::insertSections(const std::set<std::int64_t>& sections, TableViewRowAnimation animation) {
    TableViewMutation m{Kind::InsertSections};
    m.sections = sections;
    m.animation = animation;
    mutate(std::move(m));
}

void TableView::deleteSections(const std::set<std::int64_t>& sections, TableViewRowAnimation animation) {
    TableViewMutation m{Kind::DeleteSections};
    m.sections = sections;
    m.animation = animation;
    mutate(std::move(m));
}

void TableView::reloadSections(const std::set<std::int64_t>& sections, TableViewRowAnimation animation) {
    TableViewMutation m{Kind::ReloadSections};
    m.sections = sections;
    m.animation = animation;
    mutate(std::move(m));
}

void TableView::moveSection(std::int64_t section, std::int64_t newSection) {
    TableViewMutation m{Kind::MoveSection};
    m.section = section;
    m.newSection = newSection;
    mutate(std::move(m));
}

void TableView::insertRowsAtIndexPaths(const std::vector<IndexPath>& paths, TableViewRowAnimation animation) {
    TableViewMutation m{Kind::InsertRows};
    m.indexPaths = paths;
    m.animation = animation;
    mutate(std::move(m));
}

void TableView::deleteRowsAtIndexPaths(const std::vector<IndexPath>& paths, TableViewRowAnimation animation) {
    TableViewMutation m{Kind::DeleteRows};
    m.indexPaths = paths;
    m.animation = animation;
    mutate(std::move(m));
}

void TableView::reloadRowsAtIndexPaths(const std::vector<IndexPath>& paths, TableViewRowAnimation animation) {
    TableViewMutation m{Kind::ReloadRows};
    m.indexPaths = paths;
    m.animation = animation;
    mutate(std::move(m));
}

void TableView::moveRowAtIndexPath(const IndexPath& path, const IndexPath& newPath) {
    TableViewMutation m{Kind::MoveRow};
    m.indexPath = path;
    m.newIndexPath = newPath;
    mutate(std::move(m));
}

void TableView::perform(const TableViewMutation& mutation) {
    switch (mutation.kind) {
        case Kind::ReloadData:
            recycleAll();
            selected_.clear();
            tap_.forget();
            pending_ = {};
            load();
            setNeedsLayout();
            return;
        case Kind::BeginUpdates: ++updateDepth_; return;
        case Kind::EndUpdates:
            if (updateDepth_ > 0 && --updateDepth_ == 0) applyUpdate();
            return;
        default:
            pending_.add(mutation);
            if (updateDepth_ == 0) applyUpdate();
            return;
    }
}

void TableView::applyUpdate() {
    TableViewUpdate update = std::move(pending_);
    pending_ = {};
    if (update.empty()) return;
    if (!loaded_) {
        // Nothing was shown yet: the rows after the update are simply the rows.
        load();
        setNeedsLayout();
        return;
    }
    std::vector<std::int64_t> before;
    for (std::int64_t s = 0; s < geometry_.numberOfSections(); ++s) before.push_back(geometry_.numberOfRows(s));
    std::vector<std::int64_t> after;
    if (auto ds = dataSource()) {
        const std::int64_t sections = std::max<std::int64_t>(0, ds->numberOfSectionsInTableView(*this));
        for (std::int64_t s = 0; s < sections; ++s) {
            after.push_back(std::max<std::int64_t>(0, ds->tableViewNumberOfRowsInSection(*this, s)));
        }
    }
    update.resolve(before, after);

    // Rows that stay keep their cells and their selection under their new index paths.
    std::map<IndexPath, std::shared_ptr<TableViewCell>> kept;
    for (const auto& [path, cell] : std::map<IndexPath, std::shared_ptr<TableViewCell>>(visibleCells_)) {
        if (auto moved = update.newIndexPath(path)) {
            kept[*moved] = cell;
        } else {
            recycle(path, cell);
        }
    }
    visibleCells_ = std::move(kept);
    std::set<IndexPath> selected;
    for (const auto& path : selected_) {
        if (auto moved = update.newIndexPath(path)) selected.insert(*moved);
    }
    selected_ = std::move(selected);
    tap_.forget();
    for (auto* views : {&headerViews_, &footerViews_}) {
        for (auto& [section, view] : *views) {
            if (view) view->removeFromSuperview();
        }
        views->clear();
    }
    load();
    if (update.isAnimated() && View::areAnimationsEnabled()) {
        View::animate(kUpdateAnimationDuration, [this] { tile(); });
    } else {
        tile();
    }
}

// ---- Data ----

void TableView::loadIfNeeded() {
    if (!loaded_) load();
}

void TableView::load() {
    loaded_ = true;
    auto ds = dataSource();
    const std::int64_t count = ds ? std::max<std::int64_t>(0, ds->numberOfSectionsInTableView(*this)) : 0;
    std::vector<TableViewGeometry::Section> sections(static_cast<std::size_t>(count));
    std::vector<SectionText> texts(static_cast<std::size_t>(count));
    for (std::int64_t s = 0; s < count; ++s) {
        auto& section = sections[static_cast<std::size_t>(s)];
        auto& text = texts[static_cast<std::size_t>(s)];
        text.header = ds->tableViewTitleForHeaderInSection(*this, s);
        text.footer = ds->tableViewTitleForFooterInSection(*this, s);
        section.header = headerHeightFor(s, text.header.has_value());
        section.footer = footerHeightFor(s, text.footer.has_value());
        const std::int64_t rows = std::max<std::int64_t>(0, ds->tableViewNumberOfRowsInSection(*this, s));
        section.rows.resize(static_cast<std::size_t>(rows));
        section.estimated.resize(static_cast<std::size_t>(rows));
        for (std::int64_t r = 0; r < rows; ++r) {
            bool estimated = false;
            section.rows[static_cast<std::size_t>(r)] = rowHeightFor({s, r}, &estimated);
            section.estimated[static_cast<std::size_t>(r)] = estimated;
        }
    }
    texts_ = std::move(texts);
    geometry_.reset(tableHeaderView_ ? tableHeaderView_->frame().size.height : 0, std::move(sections),
                    tableFooterView_ ? tableFooterView_->frame().size.height : 0);
    updateContentSize();
}

double TableView::rowHeightFor(const IndexPath& path, bool* estimated) {
    auto d = delegate();
    if (estimatedRowHeight_ > 0) {
        *estimated = true;
        const auto guess = d ? d->tableViewEstimatedHeightForRowAtIndexPath(*this, path) : std::nullopt;
        return std::max(0.0, guess.value_or(estimatedRowHeight_));
    }
    *estimated = false;
    const auto height = d ? d->tableViewHeightForRowAtIndexPath(*this, path) : std::nullopt;
    const double h = height.value_or(rowHeight_);
    return h < 0 ? kDefaultRowHeight : h;
}

double TableView::headerHeightFor(std::int64_t section, bool titled) {
    if (auto d = delegate()) {
        if (auto h = d->tableViewHeightForHeaderInSection(*this, section); h && *h >= 0) return *h;
    }
    if (sectionHeaderHeight_ >= 0) return sectionHeaderHeight_;
    if (style_ == TableViewStyle::Plain) return titled ? kPlainTitledHeight : 0;
    if (titled) return kGroupedTitledHeight;
    return section == 0 ? kGroupedFirstHeaderHeight : kGroupedGapHeight;
}

double TableView::footerHeightFor(std::int64_t section, bool titled) {
    if (auto d = delegate()) {
        if (auto h = d->tableViewHeightForFooterInSection(*this, section); h && *h >= 0) return *h;
    }
    if (sectionFooterHeight_ >= 0) return sectionFooterHeight_;
    if (style_ == TableViewStyle::Plain) return titled ? kPlainTitledHeight : 0;
    return titled ? kGroupedTitledHeight : kGroupedGapHeight;
}

void TableView::updateContentSize() { setContentSize({bounds().size.width, geometry_.contentHeight()}); }

std::int64_t TableView::numberOfSections() {
    loadIfNeeded();
    return geometry_.numberOfSections();
}

std::int64_t TableView::numberOfRowsInSection(std::int64_t section) {
    loadIfNeeded();
    return geometry_.numberOfRows(section);
}

// ---- Heights ----

void TableView::setRowHeight(double height) {
    rowHeight_ = height;
    loaded_ = false;
    setNeedsLayout();
}

void TableView::setEstimatedRowHeight(double height) {
    estimatedRowHeight_ = height;
    loaded_ = false;
    setNeedsLayout();
}

void TableView::setSectionHeaderHeight(double height) {
    sectionHeaderHeight_ = height;
    loaded_ = false;
    setNeedsLayout();
}

void TableView::setSectionFooterHeight(double height) {
    sectionFooterHeight_ = height;
    loaded_ = false;
    setNeedsLayout();
}

// ---- Geometry ----

cg::Rect TableView::rectForSection(std::int64_t section) {
    loadIfNeeded();
    if (section < 0 || section >= geometry_.numberOfSections()) return cg::Rect::zero();
    return {0, geometry_.sectionTop(section), bounds().size.width, geometry_.sectionHeight(section)};
}

cg::Rect TableView::rectForRowAtIndexPath(const IndexPath& path) {
    loadIfNeeded();
    if (!geometry_.contains(path)) return cg::Rect::zero();
    return {0, geometry_.rowTop(path), bounds().size.width, geometry_.rowHeight(path)};
}

cg::Rect TableView::rectForHeaderInSection(std::int64_t section) {
    loadIfNeeded();
    if (section < 0 || section >= geometry_.numberOfSections()) return cg::Rect::zero();
    return {0, geometry_.sectionTop(section), bounds().size.width, geometry_.headerHeight(section)};
}

cg::Rect TableView::rectForFooterInSection(std::int64_t section) {
    loadIfNeeded();
    if (section < 0 || section >= geometry_.numberOfSections()) return cg::Rect::zero();
    return {0, geometry_.footerTop(section), bounds().size.width, geometry_.footerHeight(section)};
}

std::optional<IndexPath> TableView::indexPathForRowAtPoint(cg::Point point) {
    loadIfNeeded();
    if (point.x < 0 || point.x >= bounds().size.width) return std::nullopt;
    return geometry_.rowAt(point.y);
}

std::vector<IndexPath> TableView::indexPathsForRowsInRect(const cg::Rect& rect) {
    loadIfNeeded();
    const cg::Rect r = cg::rectStandardize(rect);
    return geometry_.rowsBetween(cg::minY(r), cg::maxY(r));
}

// ---- Cells on screen ----

std::shared_ptr<TableViewCell> TableView::cellForRowAtIndexPath(const IndexPath& path) {
    tile();
    auto it = visibleCells_.find(path);
    return it == visibleCells_.end() ? nullptr : it->second;
}

std::optional<IndexPath> TableView::indexPathForCell(const TableViewCell& cell) {
    for (const auto& [path, shown] : visibleCells_) {
        if (shown.get() == &cell) return path;
    }
    return std::nullopt;
}

std::vector<std::shared_ptr<TableViewCell>> TableView::visibleCells() {
    tile();
    std::vector<std::shared_ptr<TableViewCell>> cells;
    cells.reserve(visibleCells_.size());
    for (const auto& [path, cell] : visibleCells_) cells.push_back(cell);
    return cells;
}

std::vector<IndexPath> TableView::indexPathsForVisibleRows() {
    tile();
    std::vector<IndexPath> paths;
    paths.reserve(visibleCells_.size());
    for (const auto& [path, cell] : visibleCells_) paths.push_back(path);
    return paths;
}

std::shared_ptr<View> TableView::headerViewForSection(std::int64_t section) {
    tile();
    auto it = headerViews_.find(section);
    return it == headerViews_.end() ? nullptr : it->second;
}

std::shared_ptr<View> TableView::footerViewForSection(std::int64_t section) {
    tile();
    auto it = footerViews_.find(section);
    return it == footerViews_.end() ? nullptr : it->second;
}

// ---- Reuse ----

void TableView::registerClass(CellFactory factory, std::string reuseIdentifier) {
    reuse_.registerFactory(std::move(reuseIdentifier), std::move(factory));
}

void TableView::registerNib(std::shared_ptr<Nib> nib, std::string reuseIdentifier) {
    reuse_.registerNib(std::move(reuseIdentifier), std::move(nib));
}

std::shared_ptr<TableViewCell> TableView::dequeueReusableCellWithIdentifier(const std::string& identifier) {
    if (auto cell = reuse_.dequeue(identifier)) return cell;
    const auto* registration = reuse_.registration(identifier);
    if (!registration) return nullptr;
    std::shared_ptr<TableViewCell> cell;
    if (registration->factory) {
        cell = registration->factory(identifier);
    } else if (registration->nib) {
        cell = reuse_.instantiate(*registration->nib);
        if (!cell) {
            throw ns::Exception(ns::InternalInconsistencyException,
                                "invalid nib registered for identifier (" + identifier +
                                    ") - nib must contain exactly one top level object which must be a UITableViewCell instance");
        }
    }
    if (cell && cell->reuseIdentifier().empty()) cell->setReuseIdentifier(identifier);
    return cell;
}

std::shared_ptr<TableViewCell> TableView::dequeueReusableCellWithIdentifier(const std::string& identifier, const IndexPath&) {
    auto cell = dequeueReusableCellWithIdentifier(identifier);
    if (!cell) {
        throw ns::Exception(ns::InternalInconsistencyException,
                            "unable to dequeue a cell with identifier " + identifier +
                                " - must register a nib or a class for the identifier or connect a prototype cell in a storyboard");
    }
    return cell;
}

// ---- Tiling ----

void TableView::layoutSubviews() { tile(); }

void TableView::tile() {
    if (tiling_) return;
    tiling_ = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{tiling_};
    auto keep = shared_from_this();
    loadIfNeeded();
    if (contentSize().width != bounds().size.width) updateContentSize();
    const cg::Rect visible = bounds();
    const double top = cg::minY(visible);
    const double bottom = cg::maxY(visible);
    if (estimatedRowHeight_ > 0) measureVisibleRows(top, bottom);
    const std::vector<IndexPath> rows = visible.size.height > 0 ? geometry_.rowsBetween(top, bottom) : std::vector<IndexPath>{};

    // Cells that left the screen go back to their queues first, so the rows coming in can take them.
    for (const auto& [path, cell] : std::map<IndexPath, std::shared_ptr<TableViewCell>>(visibleCells_)) {
        if (!std::binary_search(rows.begin(), rows.end(), path)) {
            visibleCells_.erase(path);
            recycle(path, cell);
        }
    }
    for (const IndexPath& path : rows) {
        // A reload by the data source while cells are being made leaves fewer rows than were on screen.
        if (!geometry_.contains(path)) break;
        if (auto it = visibleCells_.find(path); it != visibleCells_.end()) {
            configureCell(*it->second, path);
            continue;
        }
        auto cell = makeCell(path);
        visibleCells_[path] = cell;
        configureCell(*cell, path);
        cell->setSelected(selected_.count(path) > 0, false);
        if (auto d = delegate()) d->tableViewWillDisplayCellForRowAtIndexPath(*this, *cell, path);
        if (cell->superview() != this) insertSubview(cell, 0);
    }
    tileSectionViews(top, bottom);
    placeTableHeaderAndFooter();
}

void TableView::measureVisibleRows(double top, double bottom) {
    // Measuring a row moves the rows below it; a few rounds settle what is on screen.
    auto d = delegate();
    for (int round = 0; round < 4; ++round) {
        bool changed = false;
        for (const IndexPath& path : geometry_.rowsBetween(top, bottom)) {
            if (!geometry_.isEstimated(path)) continue;
            const auto height = d ? d->tableViewHeightForRowAtIndexPath(*this, path) : std::nullopt;
            const double h = height.value_or(rowHeight_);
            geometry_.setRowHeight(path, h < 0 ? kDefaultRowHeight : h);
            changed = true;
        }
        if (!changed) break;
    }
    updateContentSize();
}

std::shared_ptr<TableViewCell> TableView::makeCell(const IndexPath& path) {
    auto ds = dataSource();
    auto cell = ds ? ds->tableViewCellForRowAtIndexPath(*this, path) : nullptr;
    if (!cell) {
        throw ns::Exception(ns::InternalInconsistencyException,
                            "UITableView dataSource must return a cell from tableView:cellForRowAtIndexPath:");
    }
    std::weak_ptr<TableView> weakTable = std::static_pointer_cast<TableView>(shared_from_this());
    std::weak_ptr<TableViewCell> weakCell = cell;
    cell->setAccessoryAction([weakTable, weakCell] {
        auto table = weakTable.lock();
        auto tapped = weakCell.lock();
        if (!table || !tapped) return;
        auto path = table->indexPathForCell(*tapped);
        auto d = table->delegate();
        if (path && d) d->tableViewAccessoryButtonTappedForRowWithIndexPath(*table, *path);
    });
    return cell;
}

void TableView::configureCell(TableViewCell& cell, const IndexPath& path) {
    cell.setFrame({0, geometry_.rowTop(path), bounds().size.width, geometry_.rowHeight(path)});
    cg::EdgeInsets insets = separatorInset_;
    // A grouped section closes with a line across the whole width.
    if (style_ == TableViewStyle::Grouped && path.row() + 1 == geometry_.numberOfRows(path.section())) insets = {};
    cell.setSeparator(separatorStyle_, separatorColor_, insets);
}

void TableView::recycle(const IndexPath& path, const std::shared_ptr<TableViewCell>& cell) {
    if (tap_.pending() == path) tap_.unhighlight();
    if (auto d = delegate()) d->tableViewDidEndDisplayingCellForRowAtIndexPath(*this, *cell, path);
    cell->removeFromSuperview();
    if (!cell->reuseIdentifier().empty()) reuse_.enqueue(cell->reuseIdentifier(), cell);
}

void TableView::recycleAll() {
    for (const auto& [path, cell] : std::map<IndexPath, std::shared_ptr<TableViewCell>>(visibleCells_)) {
        visibleCells_.erase(path);
        recycle(path, cell);
    }
    for (auto* views : {&headerViews_, &footerViews_}) {
        for (auto& [section, view] : *views) {
            if (view) view->removeFromSuperview();
        }
        views->clear();
    }
}

void TableView::tileSectionViews(double top, double bottom) {
    std::set<std::int64_t> headers, footers;
    for (std::int64_t s : geometry_.sectionsBetween(top, bottom)) {
        if (geometry_.headerHeight(s) > 0) headers.insert(s);
        if (geometry_.footerHeight(s) > 0) footers.insert(s);
    }
    const bool floating = style_ == TableViewStyle::Plain;
    for (bool header : {true, false}) {
        auto& views = header ? headerViews_ : footerViews_;
        const auto& wanted = header ? headers : footers;
        for (auto it = views.begin(); it != views.end();) {
            if (wanted.count(it->first)) {
                ++it;
                continue;
            }
            if (it->second) it->second->removeFromSuperview();
            it = views.erase(it);
        }
        for (std::int64_t s : wanted) {
            auto found = views.find(s);
            if (found == views.end()) found = views.emplace(s, makeSectionView(s, header)).first;
            const auto& view = found->second;
            if (!view) continue;
            view->setFrame(floating ? floatingFrame(s, header) : header ? rectForHeaderInSection(s) : rectForFooterInSection(s));
            if (view->superview() != this) insertSubview(view, visibleCells_.size());
        }
    }
}

std::shared_ptr<View> TableView::makeSectionView(std::int64_t section, bool header) {
    if (auto d = delegate()) {
        if (auto view = header ? d->tableViewViewForHeaderInSection(*this, section) : d->tableViewViewForFooterInSection(*this, section)) {
            return view;
        }
    }
    const auto& text = texts_[static_cast<std::size_t>(section)];
    const auto& title = header ? text.header : text.footer;
    if (!title) return nullptr;
    auto view = std::make_shared<TableViewHeaderFooterView>();
    const auto& label = view->textLabel();
    label->setText(*title);
    if (style_ == TableViewStyle::Plain) {
        auto background = std::make_shared<View>();
        background->setBackgroundColor(Color::colorWithWhite(247 / 255.0, 1));
        view->setBackgroundView(std::move(background));
        label->setFont(Font::boldSystemFontOfSize(17));
    } else {
        label->setFont(Font::systemFontOfSize(13));
        label->setTextColor(Color::colorWithWhite(109 / 255.0, 1));
    }
    return view;
}

cg::Rect TableView::floatingFrame(std::int64_t section, bool header) {
    const double width = bounds().size.width;
    const double sectionTop = geometry_.sectionTop(section);
    const double rowsEnd = geometry_.footerTop(section);
    const cg::Rect visible = bounds();
    if (header) {
        const double height = geometry_.headerHeight(section);
        // Pinned to the top of the visible area while the section's rows pass under it, pushed up by the
        // section's end.
        double y = std::max(sectionTop, cg::minY(visible) + contentInset().top);
        y = std::min(y, std::max(sectionTop, rowsEnd - height));
        return {0, y, width, height};
    }
    const double height = geometry_.footerHeight(section);
    double y = std::min(rowsEnd, cg::maxY(visible) - contentInset().bottom - height);
    y = std::max(y, sectionTop + geometry_.headerHeight(section));
    return {0, y, width, height};
}

void TableView::placeTableHeaderAndFooter() {
    const double width = bounds().size.width;
    if (tableHeaderView_) tableHeaderView_->setFrame({0, 0, width, geometry_.tableHeaderHeight()});
    if (tableFooterView_) tableFooterView_->setFrame({0, geometry_.tableFooterTop(), width, geometry_.tableFooterHeight()});
}

// ---- Selection ----

void TableView::setAllowsSelection(bool allows) {
    allowsSelection_ = allows;
    if (!allows) selectRowAtIndexPath(std::nullopt, false, TableViewScrollPosition::None);
}

void TableView::setAllowsMultipleSelection(bool allows) {
    allowsMultipleSelection_ = allows;
    if (allows) allowsSelection_ = true;
}

std::optional<IndexPath> TableView::indexPathForSelectedRow() const {
    if (selected_.empty()) return std::nullopt;
    return *selected_.begin();
}

std::vector<IndexPath> TableView::indexPathsForSelectedRows() const { return {selected_.begin(), selected_.end()}; }

void TableView::selectRowAtIndexPath(const std::optional<IndexPath>& path, bool animated, TableViewScrollPosition position) {
    for (const auto& other : TapSelection::replacedBy(path, selected_, allowsMultipleSelection_)) {
        deselectRowAtIndexPath(other, animated);
    }
    if (!path) return;
    loadIfNeeded();
    if (!geometry_.contains(*path)) return;
    selected_.insert(*path);
    if (auto it = visibleCells_.find(*path); it != visibleCells_.end()) it->second->setSelected(true, animated);
    if (position != TableViewScrollPosition::None) scrollToRowAtIndexPath(*path, position, animated);
}

void TableView::deselectRowAtIndexPath(const IndexPath& path, bool animated) {
    selected_.erase(path);
    if (auto it = visibleCells_.find(path); it != visibleCells_.end()) it->second->setSelected(false, animated);
}

bool TableView::tapMayBegin() {
    if (!allowsSelection_ || touchCaughtMotion()) return false;
    tile();
    return true;
}

std::optional<IndexPath> TableView::indexPathUnderTouch(const Touch& touch) {
    return indexPathForRowAtPoint(touch.locationInView(this));
}

bool TableView::hasVisibleElement(const IndexPath& path) { return visibleCells_.count(path) > 0; }

void TableView::setElementHighlighted(const IndexPath& path, bool highlighted) {
    if (auto it = visibleCells_.find(path); it != visibleCells_.end()) it->second->setHighlighted(highlighted, false);
}

bool TableView::shouldHighlightElement(const IndexPath& path) {
    auto d = delegate();
    return !d || d->tableViewShouldHighlightRowAtIndexPath(*this, path);
}

void TableView::didHighlightElement(const IndexPath& path) {
    if (auto d = delegate()) d->tableViewDidHighlightRowAtIndexPath(*this, path);
}

void TableView::didUnhighlightElement(const IndexPath& path) {
    if (auto d = delegate()) d->tableViewDidUnhighlightRowAtIndexPath(*this, path);
}

void TableView::elementTapped(const IndexPath& path) {
    if (allowsMultipleSelection_ && selected_.count(path)) {
        deselectByUser(path);
    } else {
        selectByUser(path);
    }
}

void TableView::touchesBegan(const TouchSet& touches, Event*) { tap_.touchesBegan(touches); }
void TableView::touchesMoved(const TouchSet& touches, Event*) { tap_.touchesMoved(touches); }
void TableView::touchesEnded(const TouchSet& touches, Event*) { tap_.touchesEnded(touches); }
void TableView::touchesCancelled(const TouchSet&, Event*) { tap_.touchesCancelled(); }

void TableView::selectByUser(const IndexPath& path) {
    auto keep = shared_from_this();
    auto d = delegate();
    const auto target = d ? d->tableViewWillSelectRowAtIndexPath(*this, path) : std::optional<IndexPath>(path);
    if (!target || !geometry_.contains(*target)) return;
    for (const auto& other : TapSelection::replacedBy(target, selected_, allowsMultipleSelection_)) deselectByUser(other);
    selected_.insert(*target);
    if (auto it = visibleCells_.find(*target); it != visibleCells_.end()) it->second->setSelected(true, false);
    if (d) d->tableViewDidSelectRowAtIndexPath(*this, *target);
}

void TableView::deselectByUser(const IndexPath& path) {
    auto d = delegate();
    const auto target = d ? d->tableViewWillDeselectRowAtIndexPath(*this, path) : std::optional<IndexPath>(path);
    if (!target) return;
    deselectRowAtIndexPath(*target, false);
    if (d) d->tableViewDidDeselectRowAtIndexPath(*this, *target);
}

// ---- Scrolling ----

void TableView::scrollToRowAtIndexPath(const IndexPath& path, TableViewScrollPosition position, bool animated) {
    loadIfNeeded();
    if (!geometry_.contains(path)) {
        throw ns::Exception(ns::RangeException, "attempt to scroll to invalid index path: " + path.description());
    }
    const cg::Rect row = rectForRowAtIndexPath(path);
    if (position == TableViewScrollPosition::None) {
        scrollRectToVisible(row, animated);
        return;
    }
    const cg::Rect b = bounds();
    const cg::EdgeInsets& inset = contentInset();
    double y = b.origin.y;
    switch (position) {
        case TableViewScrollPosition::Top: y = cg::minY(row) - inset.top; break;
        case TableViewScrollPosition::Middle:
            y = cg::midY(row) - (b.size.height - inset.top - inset.bottom) / 2 - inset.top;
            break;
        case TableViewScrollPosition::Bottom: y = cg::maxY(row) - b.size.height + inset.bottom; break;
        case TableViewScrollPosition::None: break;
    }
    y = std::clamp(y, minimumContentOffset().y, maximumContentOffset().y);
    setContentOffset({b.origin.x, y}, animated);
}

// ---- Look ----

void TableView::setSeparatorStyle(TableViewCellSeparatorStyle style) {
    separatorStyle_ = style;
    for (const auto& [path, cell] : visibleCells_) configureCell(*cell, path);
}

void TableView::setSeparatorColor(const cg::Color& color) {
    separatorColor_ = color;
    for (const auto& [path, cell] : visibleCells_) configureCell(*cell, path);
}

void TableView::setSeparatorInset(const cg::EdgeInsets& insets) {
    separatorInset_ = insets;
    for (const auto& [path, cell] : visibleCells_) configureCell(*cell, path);
}

void TableView::setTableHeaderView(std::shared_ptr<View> view) {
    if (view == tableHeaderView_) return;
    if (tableHeaderView_) tableHeaderView_->removeFromSuperview();
    tableHeaderView_ = std::move(view);
    if (tableHeaderView_) addSubview(tableHeaderView_);
    if (loaded_) {
        geometry_.setTableHeaderHeight(tableHeaderView_ ? tableHeaderView_->frame().size.height : 0);
        updateContentSize();
    }
    setNeedsLayout();
}

void TableView::setTableFooterView(std::shared_ptr<View> view) {
    if (view == tableFooterView_) return;
    if (tableFooterView_) tableFooterView_->removeFromSuperview();
    tableFooterView_ = std::move(view);
    if (tableFooterView_) addSubview(tableFooterView_);
    if (loaded_) {
        geometry_.setTableFooterHeight(tableFooterView_ ? tableFooterView_->frame().size.height : 0);
        updateContentSize();
    }
    setNeedsLayout();
}

}  // namespace ql::ui
