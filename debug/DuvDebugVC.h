#pragma once
// DuvDebugVC: the inspector, a white tab container of the "Http", "Crash" and "Log" screens, each in its own
// navigation stack.

#include "platform/ui/TabBarController.h"

namespace ql {

class DuvDebugVC final : public ui::TabBarController {
    QL_OBJECT(DuvDebugVC, ui::TabBarController)
public:
    void viewDidLoad() override;
    // Fills the three tabs with their screens in the tool's colour.
    void makeTabs();
};

}  // namespace ql
