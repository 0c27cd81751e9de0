#include "screens/books/BookStoreVC.h"

#include <string>

#include "app/service/BookModels.h"
#include "app/service/StudentNetWorkApiManager.h"
#include "app/session/Account.h"
#include "app/uikit/NoNetwork.h"
#include "platform/ui/Label.h"
#include "screens/common/BookTable.h"
#include "ui/toast/Toast.h"

namespace ql {

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
    countLabel_->setText("全部图书（共 " + std::to_string(page_->totalCount) + " 本）");
    books_->setBooks(page_->bookList);
}

void BookStoreVC::reloadContent() {
    if (!Account::share().info()) return;
    noteReload();
    GetBookListReq request;
    request.pageIndex = 1;
    request.pageSize = kPageSize;
    request.orderbytype = kNewestFirst;
    auto self = std::static_pointer_cast<BookStoreVC>(shared_from_this());
    StudentNetWorkApiManager::request_GetBookList_WithParams(
        request,
        [self](const ns::Value& reply) {
            auto rsp = replyModel<GetBookListRsp>(reply);
            if (rsp->result != 1) {
                Toast::showWithText(rsp->msg);
                return;
            }
            self->page_ = rsp;
            self->showPage();
        },
        [](const std::string&) { showNoNetwork(); });
}

}  // namespace ql
