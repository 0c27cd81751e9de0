#include "screens/common/BookTable.h"

#include <string>

#include "app/service/BookModels.h"
#include "app/uikit/ColorHex.h"
#include "platform/ui/Color.h"
#include "platform/ui/Font.h"
#include "platform/ui/Label.h"
#include "platform/ui/TableViewCell.h"

namespace ql {

namespace {

constexpr const char* kCellIdentifier = "Book";

}  // namespace

BookTable::BookTable(const cg::Rect& frame) : ui::TableView(frame) {}

std::shared_ptr<BookTable> BookTable::make(const cg::Rect& frame) {
    auto table = std::make_shared<BookTable>(frame);
    table->registerClass(
        [](const std::string& identifier) {
            return std::make_shared<ui::TableViewCell>(ui::TableViewCellStyle::Subtitle, identifier);
        },
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
    const BookListModel& book = *books_[std::size_t(path.row())];
    cell->setBackgroundColor(ui::Color::clearColor());
    cell->textLabel()->setText(book.BookName);
    cell->textLabel()->setFont(ui::Font::systemFontOfSize(16));
    cell->detailTextLabel()->setText("小红花 " + std::to_string(book.Flower) + " 朵");
    cell->detailTextLabel()->setTextColor(colorWithHex(0xE8833A));
    return cell;
}

}  // namespace ql
