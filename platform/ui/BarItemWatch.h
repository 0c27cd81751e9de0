#pragma once
// How a bar hears of changes to its items (bar button items, tab bar items, navigation items): the item's
// change handler calls back into the bar, which it holds weakly, so an item outliving its bar is harmless.

#include <memory>

namespace ql::ui {

template <class Bar, class Item>
void watchBarItem(Bar& bar, Item& item, void (Bar::*changed)()) {
    std::weak_ptr<Bar> weakBar;
    if (auto shared = bar.weak_from_this().lock()) weakBar = std::static_pointer_cast<Bar>(shared);
    item.setChangeHandler([weakBar, changed] {
        if (auto self = weakBar.lock()) ((*self).*changed)();
    });
}

}  // namespace ql::ui
