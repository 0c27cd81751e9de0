#include "ui/layout/HCTemplateLayoutCell.h"

#include <map>
#include <mutex>

#include "platform/foundation/Exception.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Runtime.h"
#include "platform/ui/LayoutConstraint.h"
#include "platform/ui/MainThread.h"
#include "platform/ui/Screen.h"

namespace ql {

namespace {

const char kTemplatesKey = 0;
const char kIndexPathCacheKey = 0;
const char kKeyedCacheKey = 0;
const char kDebugLogKey = 0;
const char kIsTemplateKey = 0;
const char kEnforceFrameLayoutKey = 0;

// The template cells of one table, by reuse identifier.
class HCTemplateCells : public ns::Object {
    QL_OBJECT(HCTemplateCells, ns::Object)
public:
    std::map<std::string, std::shared_ptr<ui::TableViewCell>> cells;
};

template <class T>
T& attached(ns::Object& owner, const char* key) {
    auto value = owner.associatedValue(key).asObject<T>();
    if (!value) {
        value = std::make_shared<T>();
        owner.setAssociatedValue(key, value);
    }
    return *value;
}

std::string number(double value) { return ns::Value(value).description(); }

// The width a standard accessory takes from the content.
double accessoryWidth(const ui::TableViewCell& cell) {
    if (const auto& view = cell.accessoryView()) return view->frame().size.width + 16;
    switch (cell.accessoryType()) {
        case ui::TableViewCellAccessoryType::None: return 0;
        case ui::TableViewCellAccessoryType::DisclosureIndicator: return 34;
        case ui::TableViewCellAccessoryType::DetailDisclosureButton: return 68;
        case ui::TableViewCellAccessoryType::Checkmark: return 40;
        case ui::TableViewCellAccessoryType::DetailButton: return 48;
    }
    return 0;
}

// Where the reload hook of the cache sits in the table's chain, once installed.
std::optional<std::size_t>& reloadHookPosition() {
    static std::optional<std::size_t> position;
    return position;
}

}  // namespace

std::shared_ptr<ui::TableViewCell> hc_templateCellForReuseIdentifier(ui::TableView& table,
                                                                     const std::string& identifier) {
    auto& templates = attached<HCTemplateCells>(table, &kTemplatesKey).cells;
    auto& cell = templates[identifier];
    if (!cell) {
        cell = table.dequeueReusableCellWithIdentifier(identifier);
        if (!cell) {
            templates.erase(identifier);
            throw ns::Exception(ns::InternalInconsistencyException,
                                "Cell must be registered to table view for identifier - " + identifier);
        }
        cell->setAssociatedValue(&kIsTemplateKey, ns::Value(true));
        cell->contentView()->setTranslatesAutoresizingMaskIntoConstraints(false);
        hc_debugLog(table, "layout cell created - " + identifier);
        return cell;
    }
    return cell;
}

double hc_heightForCellWithIdentifier(ui::TableView& table, const std::optional<std::string>& identifier,
                                      const HCConfiguration& configuration) {
    ui::assertMainThread();
    if (!identifier) return 0;
    const auto cell = hc_templateCellForReuseIdentifier(table, *identifier);
    cell->prepareForReuse();
    if (configuration) configuration(*cell);

    const double contentViewWidth = table.frame().size.width - accessoryWidth(*cell);
    double height = 0;
    const bool frameLayout = hc_enforceFrameLayout(*cell);
    if (frameLayout) {
        height = cell->sizeThatFits({contentViewWidth, 0}).height;
    } else if (contentViewWidth > 0) {
        const auto& content = cell->contentView();
        auto width = std::make_shared<ui::LayoutConstraint>(content, ui::LayoutAttribute::Width,
                                                            ui::LayoutRelation::Equal, nullptr,
                                                            ui::LayoutAttribute::NotAnAttribute, 1.0, contentViewWidth);
        content->addConstraint(width);
        height = content->systemLayoutSizeFittingSize(ui::LayoutFittingCompressedSize).height;
        content->removeConstraint(width);
    }
    if (table.separatorStyle() != ui::TableViewCellSeparatorStyle::None) {
        height += 1.0 / ui::Screen::mainScreen().scale();
    }
    hc_debugLog(table, std::string(frameLayout ? "calculate using frame layout - " : "calculate using auto layout - ") +
                           number(height));
    return height;
}

double hc_heightForCellWithIdentifier(ui::TableView& table, const std::optional<std::string>& identifier,
                                      const std::optional<ns::IndexPath>& cacheByIndexPath,
                                      const HCConfiguration& configuration) {
    if (!identifier || !cacheByIndexPath) return 0;
    const ns::IndexPath& path = *cacheByIndexPath;
    auto& cache = hc_indexPathHeightCache(table);
    const std::string place = "[" + std::to_string(path.section()) + ":" + std::to_string(path.row()) + "] - ";
    if (cache.existsHeightAtIndexPath(path)) {
        const double height = cache.heightForIndexPath(path);
        hc_debugLog(table, "hit cache by index path" + place + number(height));
        return height;
    }
    const double height = hc_heightForCellWithIdentifier(table, identifier, configuration);
    cache.cacheHeight(height, path);
    hc_debugLog(table, "cached by index path" + place + number(height));
    return height;
}

double hc_heightForCellWithIdentifierCacheByKey(ui::TableView& table, const std::optional<std::string>& identifier,
                                                const std::optional<std::string>& cacheByKey,
                                                const HCConfiguration& configuration) {
    if (!identifier || !cacheByKey) return 0;
    auto& cache = hc_keyedHeightCache(table);
    if (cache.existsHeightForKey(*cacheByKey)) {
        const double height = cache.heightForKey(*cacheByKey);
        hc_debugLog(table, "hit cache by key[" + *cacheByKey + "] - " + number(height));
        return height;
    }
    const double height = hc_heightForCellWithIdentifier(table, identifier, configuration);
    cache.cacheHeight(height, *cacheByKey);
    hc_debugLog(table, "cached by key[" + *cacheByKey + "] - " + number(height));
    return height;
}

HCIndexPathHeightCache& hc_indexPathHeightCache(ui::TableView& table) {
    return attached<HCIndexPathHeightCache>(table, &kIndexPathCacheKey);
}

HCKeyedHeightCache& hc_keyedHeightCache(ui::TableView& table) {
    return attached<HCKeyedHeightCache>(table, &kKeyedCacheKey);
}

bool hc_isTemplateLayoutCell(const ui::TableViewCell& cell) {
    return cell.associatedValue(&kIsTemplateKey).boolValue();
}

bool hc_enforceFrameLayout(const ui::TableViewCell& cell) {
    return cell.associatedValue(&kEnforceFrameLayoutKey).boolValue();
}

void setHc_enforceFrameLayout(ui::TableViewCell& cell, bool enforce) {
    cell.setAssociatedValue(&kEnforceFrameLayoutKey, ns::Value(enforce));
}

bool hc_debugLogEnabled(const ui::TableView& table) { return table.associatedValue(&kDebugLogKey).boolValue(); }

void setHc_debugLogEnabled(ui::TableView& table, bool enabled) {
    table.setAssociatedValue(&kDebugLogKey, ns::Value(enabled));
}

void hc_debugLog(const ui::TableView& table, const std::string& message) {
    if (hc_debugLogEnabled(table)) ns::Log::write("** HCTemplateLayoutCell ** " + message);
}

// ---- Keeping the index-path cache in step ----

void hc_registerInvalidationLoadHook() {
    ns::Runtime::registerLoadHook(ns::Runtime::LoadPhase::CategoryLoad, std::string(kHCInvalidationLoadHookName),
                                  &hc_installInvalidationHooks);
}

void hc_installInvalidationHooks() {
    static std::once_flag installed;
    std::call_once(installed, [] {
        using Kind = ui::TableViewMutation::Kind;
        using Step = void (*)(HCIndexPathHeightCache&, const ui::TableViewMutation&);
        const auto wrap = [](Kind kind, Step step) {
            return ui::TableView::addHook(kind, [step](ui::TableView& table, const ui::TableViewMutation& mutation,
                                                       const std::function<void()>& proceed) {
                auto& cache = hc_indexPathHeightCache(table);
                if (cache.automaticallyInvalidateEnabled()) step(cache, mutation);
                proceed();
            });
        };
        reloadHookPosition() = wrap(Kind::ReloadData, [](HCIndexPathHeightCache& c, const ui::TableViewMutation&) {
            c.invalidateAllHeightCache();
        });
        wrap(Kind::InsertSections, [](HCIndexPathHeightCache& c, const ui::TableViewMutation& m) { c.insertSections(m.sections); });
        wrap(Kind::DeleteSections, [](HCIndexPathHeightCache& c, const ui::TableViewMutation& m) { c.deleteSections(m.sections); });
        wrap(Kind::ReloadSections, [](HCIndexPathHeightCache& c, const ui::TableViewMutation& m) { c.reloadSections(m.sections); });
        wrap(Kind::MoveSection, [](HCIndexPathHeightCache& c, const ui::TableViewMutation& m) {
            c.moveSection(m.section, m.newSection);
        });
        wrap(Kind::InsertRows, [](HCIndexPathHeightCache& c, const ui::TableViewMutation& m) { c.insertRows(m.indexPaths); });
        wrap(Kind::DeleteRows, [](HCIndexPathHeightCache& c, const ui::TableViewMutation& m) { c.deleteRows(m.indexPaths); });
        wrap(Kind::ReloadRows, [](HCIndexPathHeightCache& c, const ui::TableViewMutation& m) { c.reloadRows(m.indexPaths); });
        wrap(Kind::MoveRow, [](HCIndexPathHeightCache& c, const ui::TableViewMutation& m) {
            c.moveRow(m.indexPath, m.newIndexPath);
        });
    });
}

void hc_reloadDataWithoutInvalidateIndexPathHeightCache(ui::TableView& table) {
    if (const auto position = reloadHookPosition()) {
        table.runBelowHook(*position, ui::TableViewMutation(ui::TableViewMutation::Kind::ReloadData));
    } else {
        table.reloadData();
    }
}

}  // namespace ql
