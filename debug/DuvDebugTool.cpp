#include "debug/DuvDebugTool.h"

#include <cstdio>

#include "debug/DuvMemoryHelper.h"
#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/Locked.h"
#include "platform/foundation/Thread.h"
#include "platform/ui/Application.h"
#include "platform/ui/Font.h"
#include "platform/ui/Label.h"
#include "platform/ui/Screen.h"

namespace ql {

void DuvDebugWindow::becomeKeyWindow() {
    auto& application = ui::Application::sharedApplication();
    if (const auto& delegate = application.delegate()) {
        if (auto window = delegate->window(); window && window.get() != this) {
            window->makeKeyWindow();
            return;
        }
    }
    ui::Window::becomeKeyWindow();
}

std::shared_ptr<DuvDebugTool> DuvDebugTool::shareInstance() {
    static const auto& shared = *new std::shared_ptr<DuvDebugTool>([] {
        auto tool = std::make_shared<DuvDebugTool>();
        if (ns::Thread::isMainThread()) {
            tool->makeMainThreadParts();
        } else {
            ns::DispatchQueue::main()->async([tool] { tool->makeMainThreadParts(); });
        }
        return tool;
    }());
    return shared;
}

DuvDebugTool::DuvDebugTool() : mainColor_(ui::Color::redColor()) {}

void DuvDebugTool::makeMainThreadParts() {
    debugWin_ = std::make_shared<DuvDebugWindow>(
        cg::Rect{0, 0, ui::Screen::mainScreen().bounds().size.width, 20});
    std::weak_ptr<DuvDebugTool> weak = std::static_pointer_cast<DuvDebugTool>(shared_from_this());
    debugTimer_ = ns::Timer::scheduledTimer(1.0, true, [weak](ns::Timer&) {
        if (auto tool = weak.lock()) tool->timerMonitor();
    });
}

std::shared_ptr<ui::Color> DuvDebugTool::mainColor() const { return ns::lockedCopy(mutex_, mainColor_); }
void DuvDebugTool::setMainColor(std::shared_ptr<ui::Color> color) { ns::lockedStore(mutex_, mainColor_, std::move(color)); }
std::int32_t DuvDebugTool::maxLogsCount() const { return ns::lockedCopy(mutex_, maxLogsCount_); }
void DuvDebugTool::setMaxLogsCount(std::int32_t count) { ns::lockedStore(mutex_, maxLogsCount_, count); }
std::optional<std::vector<std::string>> DuvDebugTool::arrOnlyHosts() const { return ns::lockedCopy(mutex_, arrOnlyHosts_); }
void DuvDebugTool::setArrOnlyHosts(std::optional<std::vector<std::string>> hosts) {
    ns::lockedStore(mutex_, arrOnlyHosts_, std::move(hosts));
}

void DuvDebugTool::showOnStatusBar() {
    if (!debugWin_) makeMainThreadParts();
    debugWin_->setWindowLevel(ui::WindowLevelStatusBar + 1);
    debugWin_->setHidden(false);
    if (debugBtn_) return;
    debugBtn_ = ui::Button::buttonWithType(ui::ButtonType::Custom);
    debugBtn_->setFrame({2, 2, 91, 15});
    debugBtn_->setBackgroundColor(mainColor());
    debugBtn_->layer()->setCornerRadius(3);
    debugBtn_->titleLabel()->setFont(ui::Font::systemFontOfSize(10));
    debugBtn_->setTitle("Debug Starting", ui::ControlStateNormal);
    debugBtn_->setTitleColor(ui::Color::whiteColor(), ui::ControlStateNormal);
    debugBtn_->addTarget(weak_from_this(), &DuvDebugTool::showDebug, ui::ControlEventTouchUpInside);
    debugWin_->addSubview(debugBtn_);
}

void DuvDebugTool::timerMonitor() {
    if (debugBtn_)
        debugBtn_->setTitle("Debug(" + number2String(DuvMemoryHelper::bytesOfUsedMemory()) + ")",
                            ui::ControlStateNormal);
}

std::string DuvDebugTool::number2String(std::int64_t bytes) {
    char text[64];
    // Single precision, as the strip has always shown it.
    const auto scaled = [bytes](float reciprocal) { return static_cast<double>(static_cast<float>(bytes) * reciprocal); };
    if (bytes <= 1023) {
        std::snprintf(text, sizeof text, "%lldB", static_cast<long long>(bytes));
    } else if (bytes < 1048576) {
        std::snprintf(text, sizeof text, "%.1fK", scaled(1.0f / 1024));
    } else if (bytes <= 1073741823) {
        std::snprintf(text, sizeof text, "%.1fM", scaled(1.0f / 1048576));
    } else {
        std::snprintf(text, sizeof text, "%.1fG", scaled(1.0f / 1073741824));
    }
    return text;
}

}  // namespace ql
