#pragma once
// The common ground of the three tab roots: each reloads what it shows when it first appears with a
// student signed in and whenever a silent sign-in posts "loginSuccess" (even before its view has loaded);
// and each draws a white card under the title bar for its content.

#include <memory>
#include <string>

#include "app/uikit/BasicVC.h"

namespace ql::ui {
class Label;
}

namespace ql {

class TabRootScreen : public BasicVC {
    QL_OBJECT(TabRootScreen, BasicVC)
public:
    void viewWillAppear(bool animated) override;
    // Starts following "loginSuccess". Called as the screen is made, so that a tab whose view has not
    // loaded yet still hears of a sign-in.
    void listenForSignIn();

    // Asks the service again; does nothing without a signed-in student.
    virtual void reloadContent() = 0;

    // How often the content was asked for, for tests and the run command.
    int reloadCount() const { return reloadCount_; }

protected:
    TabRootScreen() = default;
    void noteReload() { ++reloadCount_; }

    // A rounded white card at `frame` on the screen's view.
    std::shared_ptr<ui::View> addCard(const cg::Rect& frame);
    // Where a list starting `top` points down the screen fits: inset like the cards, ending above the tab
    // bar and its raised item.
    cg::Rect listFrame(double top);
    // A label on `parent`.
    static std::shared_ptr<ui::Label> addLabel(ui::View& parent, const cg::Rect& frame, double fontSize, bool bold = false);

private:
    bool appearedSignedIn_ = false;
    int reloadCount_ = 0;
};

}  // namespace ql
