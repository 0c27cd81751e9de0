#include "platform/ui/DisplayCycle.h"

#include <memory>
#include <vector>

#include "platform/foundation/RunLoop.h"
#include "platform/ui/Application.h"
#include "platform/ui/Layer.h"
#include "platform/ui/MainThread.h"
#include "platform/ui/Window.h"

namespace ql::ui {

namespace {

bool scheduled = false;

}  // namespace

void DisplayCycle::schedule() {
    assertMainThread();
    if (scheduled) return;
    scheduled = true;
    ns::RunLoop::main()->performBlock([] {
        scheduled = false;
        flush();
    });
}

void DisplayCycle::flush() {
    const auto windows = Application::sharedApplication().windows();
    for (const auto& window : windows) window->layoutIfNeeded();
    for (const auto& window : windows) {
        if (!window->isHidden()) display(*window->layer());
    }
}

void DisplayCycle::display(Layer& root) {
    if (root.isHidden()) return;
    root.displayIfNeeded();
    for (const auto& sub : std::vector<std::shared_ptr<Layer>>(root.sublayers())) display(*sub);
}

}  // namespace ql::ui
