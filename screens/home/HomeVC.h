#pragma once
// The home tab: the signed-in student's reading summary (tests, collection, class rank) and the books
// recommended to them, from the home-index operation.

#include <memory>

#include "screens/common/TabRootScreen.h"

namespace ql::ui {
class Label;
}

namespace ql {

class BookTable;

class HomeVC : public TabRootScreen {
    QL_OBJECT(HomeVC, TabRootScreen)
public:
    HomeVC() = default;
    static std::shared_ptr<ui::NavigationController> navigationControllerContainSelf();

    void viewDidLoad() override;
    void reloadContent() override;

private:
    void showSummary();

    std::shared_ptr<ui::Label> nameLabel_;
    std::shared_ptr<ui::Label> countersLabel_;
    std::shared_ptr<BookTable> books_;
};

}  // namespace ql
