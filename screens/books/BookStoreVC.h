#pragma once
// The book-store tab: the first page of the catalogue, newest first, under the number of books the
// catalogue holds (the number listed when the reply gives no count that can be read).

#include <cstdint>
#include <memory>
#include <optional>

#include "screens/common/TabRootScreen.h"

namespace ql::ui {
class Label;
}

namespace ql {

class BookTable;
class GetBookListRsp;

class BookStoreVC : public TabRootScreen {
    QL_OBJECT(BookStoreVC, TabRootScreen)
public:
    static constexpr std::int64_t kPageSize = 20;
    static constexpr std::int64_t kNewestFirst = 1;

    BookStoreVC() = default;
    static std::shared_ptr<ui::NavigationController> navigationControllerContainSelf();

    void viewDidLoad() override;
    void reloadContent() override;

    const std::shared_ptr<BookTable>& bookTable() const { return books_; }

private:
    void showPage();

    std::shared_ptr<GetBookListRsp> page_;
    std::optional<std::int64_t> totalCount_;
    std::shared_ptr<ui::Label> countLabel_;
    std::shared_ptr<BookTable> books_;
};

}  // namespace ql
