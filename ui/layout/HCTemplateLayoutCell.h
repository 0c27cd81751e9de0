#pragma once
// Row heights from template cells: an off-screen cell per reuse identifier, configured by the caller as
// the real cell will be and laid out at the table's width, gives the row's height, which can be
// remembered by index path or by a key. The table's mutators keep the index-path cache in step once the
// category-load hook has wrapped them (after the refresh component's reload hook, so a reload runs the
// cache's step first).

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/IndexPath.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TableViewCell.h"
#include "ui/layout/HCIndexPathHeightCache.h"
#include "ui/layout/HCKeyedHeightCache.h"

namespace ql {

using HCConfiguration = std::function<void(ui::TableViewCell& cell)>;

// The template cell of the identifier, dequeued from the table on first request. An identifier the table
// cannot make cells for raises "NSInternalInconsistencyException".
std::shared_ptr<ui::TableViewCell> hc_templateCellForReuseIdentifier(ui::TableView& table,
                                                                     const std::string& identifier);
// The fitting height of the configured template cell; none (no identifier) gives 0.
double hc_heightForCellWithIdentifier(ui::TableView& table, const std::optional<std::string>& identifier,
                                      const HCConfiguration& configuration);
double hc_heightForCellWithIdentifier(ui::TableView& table, const std::optional<std::string>& identifier,
                                      const std::optional<ns::IndexPath>& cacheByIndexPath,
                                      const HCConfiguration& configuration);
double hc_heightForCellWithIdentifierCacheByKey(ui::TableView& table, const std::optional<std::string>& identifier,
                                                const std::optional<std::string>& cacheByKey,
                                                const HCConfiguration& configuration);

HCIndexPathHeightCache& hc_indexPathHeightCache(ui::TableView& table);
HCKeyedHeightCache& hc_keyedHeightCache(ui::TableView& table);

// Per cell: set on template cells; and whether the height comes from the cell's sizeThatFits instead of
// its constraints.
bool hc_isTemplateLayoutCell(const ui::TableViewCell& cell);
bool hc_enforceFrameLayout(const ui::TableViewCell& cell);
void setHc_enforceFrameLayout(ui::TableViewCell& cell, bool enforce);

// "** HCTemplateLayoutCell ** …" in the log while the table's flag is on.
bool hc_debugLogEnabled(const ui::TableView& table);
void setHc_debugLogEnabled(ui::TableView& table, bool enabled);
void hc_debugLog(const ui::TableView& table, const std::string& message);

// ---- Keeping the index-path cache in step ----
inline constexpr std::string_view kHCInvalidationLoadHookName = "UITableView(HCIndexPathHeightCacheInvalidation)";
// Registers the category-load hook that wraps the nine mutators (reload and the eight row and section
// changes); installing them again does nothing.
void hc_registerInvalidationLoadHook();
void hc_installInvalidationHooks();
// Reloads through the hooks installed before the cache's own, leaving the index-path cache as it is.
void hc_reloadDataWithoutInvalidateIndexPathHeightCache(ui::TableView& table);

}  // namespace ql
