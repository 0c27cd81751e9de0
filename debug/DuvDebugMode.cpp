// The debug tool's switch and the status button's toggle of the inspector.

#include "debug/DuvCrashHelper.h"
#include "debug/DuvDebugTool.h"
#include "debug/DuvDebugVC.h"
#include "debug/DuvHttpProtocol.h"
#include "platform/foundation/DispatchQueue.h"
#include "platform/ui/Application.h"

namespace ql {

void DuvDebugTool::enableDebugMode() {
    ns::URLProtocol::registerClass<DuvHttpProtocol>();
    DuvCrashHelper::sharedInstance().install();
    std::weak_ptr<DuvDebugTool> weak = std::static_pointer_cast<DuvDebugTool>(shared_from_this());
    ns::DispatchQueue::main()->after(0.1, [weak] {
        if (auto tool = weak.lock()) tool->showOnStatusBar();
    });
}

void DuvDebugTool::showDebug() {
    if (debugVC_) {
        debugVC_->dismissViewControllerAnimated(true);
        debugVC_.reset();
        return;
    }
    const auto& delegate = ui::Application::sharedApplication().delegate();
    auto window = delegate ? delegate->window() : nullptr;
    auto presenter = window ? window->rootViewController() : nullptr;
    if (!presenter) return;
    // Over whatever is on top, however deep the presentations go.
    while (presenter->presentedViewController()) presenter = presenter->presentedViewController();
    debugVC_ = std::make_shared<DuvDebugVC>();
    debugVC_->makeTabs();
    presenter->presentViewController(debugVC_, true);
}

void DuvDebugTool::inspectorDidClose(const DuvDebugVC& inspector) {
    if (debugVC_.get() == &inspector) debugVC_.reset();
}

}  // namespace ql
