#pragma once
// A list of books, as the home and book-store screens show them: cover, name and flowers (BookCell).

#include <memory>
#include <vector>

#include "platform/ui/TableView.h"

namespace ql {

class BookListModel;

class BookTable : public ui::TableView, public ui::TableViewDataSource {
    QL_OBJECT(BookTable, ui::TableView)
public:
    static constexpr double kRowHeight = 60;

    // The table is its own data source, so it must be owned before use: make it with make().
    static std::shared_ptr<BookTable> make(const cg::Rect& frame);
    explicit BookTable(const cg::Rect& frame);

    const std::vector<std::shared_ptr<BookListModel>>& books() const { return books_; }
    void setBooks(std::vector<std::shared_ptr<BookListModel>> books);

    std::int64_t tableViewNumberOfRowsInSection(ui::TableView& table, std::int64_t section) override;
    std::shared_ptr<ui::TableViewCell> tableViewCellForRowAtIndexPath(ui::TableView& table,
                                                                      const ns::IndexPath& path) override;

private:
    std::vector<std::shared_ptr<BookListModel>> books_;
};

}  // namespace ql
