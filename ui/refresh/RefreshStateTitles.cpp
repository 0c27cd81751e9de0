#include "ui/refresh/RefreshStateTitles.h"

#include "ui/refresh/RefreshLabel.h"

namespace ql {

std::shared_ptr<ui::Label> RefreshStateTitles::label(ui::View& host) {
    auto label = label_.lock();
    if (!label) {
        label = refreshLabel();
        label_ = label;
        host.addSubview(label);
    }
    return label;
}

std::optional<std::string> RefreshStateTitles::titleForState(RefreshState state) const {
    const auto found = titles_.find(state);
    if (found == titles_.end()) return std::nullopt;
    return found->second;
}

void RefreshStateTitles::setTitle(ui::View& host, std::optional<std::string> title, RefreshState state,
                                  RefreshState current) {
    if (!title) return;
    titles_[state] = std::move(*title);
    show(host, current);
}

void RefreshStateTitles::show(ui::View& host, RefreshState state) { label(host)->setText(titleForState(state)); }

}  // namespace ql
