#include "screens/home/HomeVC.h"

#include <string>

#include "app/service/AccountModels.h"
#include "app/service/StudentNetWorkApiManager.h"
#include "app/session/Account.h"
#include "platform/ui/Label.h"
#include "screens/common/BookTable.h"

namespace ql {

std::shared_ptr<ui::NavigationController> HomeVC::navigationControllerContainSelf() {
    auto navigation = navigationControllerContaining<HomeVC>();
    std::static_pointer_cast<TabRootScreen>(navigation->topViewController())->listenForSignIn();
    return navigation;
}

void HomeVC::viewDidLoad() {
    BasicVC::viewDidLoad();
    setTitle("首页");
    const cg::Size size = view()->bounds().size;
    auto card = addCard({16, 80, size.width - 32, 78});
    nameLabel_ = addLabel(*card, {16, 10, size.width - 64, 26}, 18, true);
    countersLabel_ = addLabel(*card, {16, 42, size.width - 64, 22}, 14);
    // Three counters in one line: on the narrowest phones the letters shrink a little rather than lose
    // the ranking.
    countersLabel_->setAdjustsFontSizeToFitWidth(true);
    countersLabel_->setMinimumScaleFactor(0.8);
    addLabel(*view(), {20, 170, size.width - 40, 24}, 16, true)->setText("为你推荐");
    books_ = BookTable::make(listFrame(200));
    books_->setAutoresizingMask(ui::ViewAutoresizingFlexibleHeight);
    view()->addSubview(books_);
    showSummary();
}

void HomeVC::showSummary() {
    if (!isViewLoaded()) return;  // viewDidLoad shows it
    const auto info = Account::share().info();
    nameLabel_->setText(info ? info->realName + "  " + info->myTitle : std::string("未登录"));
    const auto index = Account::share().stuIndex();
    if (!index) {
        countersLabel_->setText(std::string());
        return;
    }
    countersLabel_->setText("阅读测试 " + index->testNum + " 本   收藏 " + index->collectionNum + " 本   班级排名 第 " +
                            index->rank + " 名");
    books_->setBooks(index->bookList);
}

void HomeVC::reloadContent() {
    const auto info = Account::share().info();
    if (!info) return;
    auto request = std::make_shared<GetStuIndexContentReq>();
    request->classId = info->user ? info->user->ClassId : std::string();
    loadFromService<GetStuIndexContentRsp>(
        [request](auto completion, auto failure) {
            StudentNetWorkApiManager::request_GetStuIndexContent_WithParams(*request, std::move(completion),
                                                                            std::move(failure));
        },
        [this](const std::shared_ptr<GetStuIndexContentRsp>& rsp, const ns::Value&) {
            Account::share().setStuIndex(rsp);
            showSummary();
        });
}

}  // namespace ql
