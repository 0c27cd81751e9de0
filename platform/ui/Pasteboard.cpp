#include "platform/ui/Pasteboard.h"

#include "platform/ui/MainThread.h"

namespace ql::ui {

Pasteboard& Pasteboard::generalPasteboard() {
    assertMainThread();
    static auto* pasteboard = new std::shared_ptr<Pasteboard>(std::make_shared<Pasteboard>());
    return **pasteboard;
}

}  // namespace ql::ui
