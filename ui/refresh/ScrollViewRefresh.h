#pragma once
// Refresh controls on scroll views: the header and footer a scroll view carries (as subviews; the
// scroll view does not otherwise hold them), the block told of every reload of a table or collection
// view with its total data count, and the load hooks that make reloadData tell it.

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/ui/ScrollView.h"

namespace ql {

class RefreshFooter;
class RefreshHeader;

std::shared_ptr<RefreshHeader> header(const ui::ScrollView& scrollView);
// Replaces the current header (taking it out of the scroll view); none removes it. Setting the header
// already installed changes nothing. "header" is announced to key-value observers.
void setHeader(ui::ScrollView& scrollView, std::shared_ptr<RefreshHeader> header);
std::shared_ptr<RefreshFooter> footer(const ui::ScrollView& scrollView);
void setFooter(ui::ScrollView& scrollView, std::shared_ptr<RefreshFooter> footer);

using ReloadDataBlock = std::function<void(std::int64_t totalDataCount)>;
ReloadDataBlock reloadDataBlock(const ui::ScrollView& scrollView);
void setReloadDataBlock(ui::ScrollView& scrollView, ReloadDataBlock block);
// The rows of every section of a table, the items of every section of a collection view, else 0.
std::int64_t totalDataCount(ui::ScrollView& scrollView);
void executeReloadDataBlock(ui::ScrollView& scrollView);

// Registers the category load hooks after which every reloadData of a table or collection view runs the
// scroll view's reload-data block once the platform's reload is done. Registering again does nothing.
void registerRefreshLoadHooks();

}  // namespace ql
