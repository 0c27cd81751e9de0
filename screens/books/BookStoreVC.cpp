#include "screens/books/BookStoreVC.h"

#include <optional>
#include <string>

#include "app/service/BookModels.h"
#include "app/service/StudentNetWorkApiManager.h"
#include "app/session/Account.h"
#include "mapping/MMExtension.h"
#include "platform/ui/Label.h"
#include "screens/common/BookTable.h"

namespace ql {

namespace {

// The count a reply gives when it can be read: a number, or a text of a whole number, that is no less than
// zero. `mapped` is what the reply model made of it.
std::optional<std::int64_t> readableCount(const ns::Value& given, std::int64_t mapped) {
    const bool number = given.isNumber() && !given.isBool();
    const bool text = given.isString() && mm_isPureInt(given.asString());
    if (!(number || text) || mapped < 0) return std::nullopt;
    return mapped;
}

}  // namespace

std::shared_ptr<ui::NavigationController> BookStoreVC::navigationControllerContainSelf() {
    auto navigation = navigationControllerContaining<BookStoreVC>();
    std::static_pointer_cast<TabRootScreen>(navigation->topViewController())->listenForSignIn();
    return navigation;
}

void BookStoreVC::viewDidLoad() {
    BasicVC::viewDidLoad();
    setTitle("书城");
    const cg::Size size = view()->bounds().size;
    countLabel_ = addLabel(*view(), {20, 80, size.width - 40, 24}, 16, true);
    countLabel_->setText("全部图书");
    books_ = BookTable::make(listFrame(110));
    books_->setAutoresizingMask(ui::ViewAutoresizingFlexibleHeight);
    view()->addSubview(books_);
    showPage();
}

void BookStoreVC::showPage() {
    if (!isViewLoaded() || !page_) return;  // viewDidLoad shows it
    const std::int64_t count = totalCount_.value_or(std::int64_t(page_->bookList.size()));
    countLabel_->setText("全部图书（共 " + std::to_string(count) + " 本）");
    books_->setBooks(page_->bookList);
}

void BookStoreVC::reloadContent() {
    if (!Account::share().info()) return;
    auto request = std::make_shared<GetBookListReq>();
    request->pageIndex = 1;
    request->pageSize = kPageSize;
    request->orderbytype = kNewestFirst;
    loadFromService<GetBookListRsp>(
        [request](auto completion, auto failure) {
            StudentNetWorkApiManager::request_GetBookList_WithParams(*request, std::move(completion), std::move(failure));
        },
        [this](const std::shared_ptr<GetBookListRsp>& rsp, const ns::Value& reply) {
            page_ = rsp;
            totalCount_ = readableCount(reply["totalCount"], rsp->totalCount);
            showPage();
        });
}

}  // namespace ql
