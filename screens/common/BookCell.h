#pragma once
// A row of a book list: the book's cover on the left, loaded from the address the service gives (a
// placeholder while it comes or when there is none), its name and its flowers beside it.

#include <memory>
#include <string>

#include "platform/ui/TableViewCell.h"

namespace ql::ui {
class ImageView;
}

namespace ql {

class BookListModel;

class BookCell : public ui::TableViewCell {
    QL_OBJECT(BookCell, ui::TableViewCell)
public:
    static constexpr cg::Size kCoverSize{36, 48};

    explicit BookCell(const std::string& reuseIdentifier);

    void showBook(const BookListModel& book);
    const std::shared_ptr<ui::ImageView>& coverView() const { return cover_; }

    void layoutSubviews() override;

private:
    std::shared_ptr<ui::ImageView> cover_;
};

}  // namespace ql
