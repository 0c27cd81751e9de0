#pragma once
// The "me" tab: who is signed in (photo, name, title, flowers, bound mobile number) and the way to the
// account screens: changing the password and the bound mobile number.

#include <memory>

#include "screens/common/TabRootScreen.h"

namespace ql::ui {
class Button;
class ImageView;
class Label;
}  // namespace ql::ui

namespace ql {

class MineVC : public TabRootScreen {
    QL_OBJECT(MineVC, TabRootScreen)
public:
    enum Tag : std::int64_t { kChangePasswordTag = 0, kChangeMobileTag = 1 };

    MineVC() = default;
    static std::shared_ptr<ui::NavigationController> navigationControllerContainSelf();

    void viewDidLoad() override;
    // Shows the session's student again; the session is all this screen reads.
    void reloadContent() override;
    void btnClickAction(ui::Button* sender);

    const std::shared_ptr<ui::ImageView>& photoView() const { return photoView_; }

private:
    std::shared_ptr<ui::ImageView> photoView_;
    std::shared_ptr<ui::Label> nameLabel_;
    std::shared_ptr<ui::Label> detailLabel_;
    std::shared_ptr<ui::Label> mobileLabel_;
};

}  // namespace ql
