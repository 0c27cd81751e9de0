#include "screens/common/BookTable.h"

#include <string>

#include "app/service/BookModels.h"
#include "platform/ui/Color.h"
#include "screens/common/BookCell.h"

namespace ql {

namespace {

constexpr const char* kCellIdentifier = "Book";

}  // namespace

BookTable::BookTable(const cg::Rect& frame) : ui::TableView(frame) {}

std::shared_ptr<BookTable> BookTable::make(const cg::Rect& frame) {
    auto table = std::make_shared<BookTable>(frame);
    table->registerClass([](const std::string& identifier) { return std::make_shared<BookCell>(identifier); },
                         kCellIdentifier);
    table->setRowHeight(kRowHeight);
    table->setBackgroundColor(ui::Color::colorWithWhite(1, 0.85));
    table->setDataSource(std::static_pointer_cast<ui::TableViewDataSource>(table));
    return table;
}

void BookTable::setBooks(std::vector<std::shared_ptr<BookListModel>> books) {
    books_ = std::move(books);
    reloadData();
}

std::int64_t BookTable::tableViewNumberOfRowsInSection(ui::TableView&, std::int64_t) {
    return std::int64_t(books_.size());
}

std::shared_ptr<ui::TableViewCell> BookTable::tableViewCellForRowAtIndexPath(ui::TableView& table,
                                                                            const ns::IndexPath& path) {
    auto cell = table.dequeueReusableCellWithIdentifier(kCellIdentifier, path);
    if (auto row = std::dynamic_pointer_cast<BookCell>(cell)) row->showBook(*books_[std::size_t(path.row())]);
    return cell;
}

}  // namespace ql
