#include "platform/ui/TapSelection.h"

namespace ql::ui {

std::vector<ns::IndexPath> TapSelection::replacedBy(const std::optional<ns::IndexPath>& path,
                                                    const std::set<ns::IndexPath>& selected, bool allowsMultiple) {
    std::vector<ns::IndexPath> replaced;
    if (path && allowsMultiple) return replaced;
    for (const auto& other : selected) {
        if (!path || other != *path) replaced.push_back(other);
    }
    return replaced;
}

std::optional<ns::IndexPath> TapSelection::underTouch(const TouchSet& touches) const {
    if (touches.size() != 1) return std::nullopt;
    return host_.indexPathUnderTouch(**touches.begin());
}

void TapSelection::unhighlight() {
    if (!pending_) return;
    const ns::IndexPath path = *pending_;
    pending_.reset();
    host_.setElementHighlighted(path, false);
    host_.didUnhighlightElement(path);
}

void TapSelection::touchesBegan(const TouchSet& touches) {
    unhighlight();
    if (!host_.tapMayBegin()) return;
    const auto path = underTouch(touches);
    if (!path || !host_.hasVisibleElement(*path) || !host_.shouldHighlightElement(*path)) return;
    pending_ = path;
    host_.setElementHighlighted(*path, true);
    host_.didHighlightElement(*path);
}

void TapSelection::touchesMoved(const TouchSet& touches) {
    if (pending_ && underTouch(touches) != pending_) unhighlight();
}

void TapSelection::touchesEnded(const TouchSet& touches) {
    if (!pending_) return;
    const ns::IndexPath path = *pending_;
    unhighlight();
    if (underTouch(touches) == path) host_.elementTapped(path);
}

}  // namespace ql::ui
