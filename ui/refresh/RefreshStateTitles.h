#pragma once
// The state label and its title per state, as the state headers and footers keep them. The label is
// made on first use and owned by the control it is put in.

#include <map>
#include <memory>
#include <optional>
#include <string>

#include "platform/ui/Label.h"
#include "ui/refresh/RefreshComponent.h"

namespace ql {

class RefreshStateTitles {
public:
    // The label, put into `host` when first asked for (or again after it was taken out of the tree).
    std::shared_ptr<ui::Label> label(ui::View& host);
    bool hasLabel() const { return !label_.expired(); }

    std::optional<std::string> titleForState(RefreshState state) const;
    // Stores the title and shows the current state's one; no title changes nothing.
    void setTitle(ui::View& host, std::optional<std::string> title, RefreshState state, RefreshState current);
    // Shows the title stored for the state, or none.
    void show(ui::View& host, RefreshState state);

private:
    std::weak_ptr<ui::Label> label_;
    std::map<RefreshState, std::string> titles_;
};

}  // namespace ql
