#pragma once
// DuvDebugTool: the inspector's shared settings (accent colour, host filter, log count), the strip over the
// status bar with its button, and the once-a-second timer that shows the heap's size on that button. The
// settings may be read from any thread; the strip, button and timer belong to the main thread and are made
// there even when the tool is first reached from a network thread.

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Object.h"
#include "platform/foundation/Timer.h"
#include "platform/ui/Button.h"
#include "platform/ui/Color.h"
#include "platform/ui/Window.h"

namespace ql {

class DuvDebugVC;

// The strip's window: it never keeps the keyboard focus, handing it to the app's own window.
class DuvDebugWindow final : public ui::Window {
    QL_OBJECT(DuvDebugWindow, ui::Window)
public:
    using ui::Window::Window;
    void becomeKeyWindow() override;
};

class DuvDebugTool final : public ns::Object {
    QL_OBJECT(DuvDebugTool, ns::Object)
public:
    static std::shared_ptr<DuvDebugTool> shareInstance();

    std::shared_ptr<ui::Color> mainColor() const;
    void setMainColor(std::shared_ptr<ui::Color> color);
    // How many log lines the log screen reads; 0 means 50.
    std::int32_t maxLogsCount() const;
    void setMaxLogsCount(std::int32_t count);
    // Both recorders keep only exchanges whose URL holds one of these (ignoring case); none keeps all.
    std::optional<std::vector<std::string>> arrOnlyHosts() const;
    void setArrOnlyHosts(std::optional<std::vector<std::string>> hosts);

    // Main thread only; null until made there.
    std::shared_ptr<DuvDebugWindow> debugWin() const { return debugWin_; }
    std::shared_ptr<ui::Button> debugBtn() const { return debugBtn_; }
    std::shared_ptr<ns::Timer> debugTimer() const { return debugTimer_; }
    std::shared_ptr<DuvDebugVC> debugVC() const { return debugVC_; }

    // Shows the strip with its button, titled "Debug Starting" until the first tick.
    void showOnStatusBar();
    void timerMonitor();
    // "1023B", "1.0K", "1.0M", "1.0G".
    static std::string number2String(std::int64_t bytes);

    // Registers the URL-protocol recorder, installs the crash store and shows the strip 0.1 s later.
    void enableDebugMode();
    // The status button's action: opens the inspector over the app's top controller, or closes it.
    void showDebug();
    // The inspector's screens close it through here, so the button's next tap opens it again.
    void inspectorDidClose(const DuvDebugVC& inspector);

    DuvDebugTool();

private:
    void makeMainThreadParts();

    mutable std::mutex mutex_;
    std::shared_ptr<ui::Color> mainColor_;
    std::int32_t maxLogsCount_ = 0;
    std::optional<std::vector<std::string>> arrOnlyHosts_;

    std::shared_ptr<DuvDebugWindow> debugWin_;
    std::shared_ptr<ui::Button> debugBtn_;
    std::shared_ptr<ns::Timer> debugTimer_;
    std::shared_ptr<DuvDebugVC> debugVC_;
};

}  // namespace ql
