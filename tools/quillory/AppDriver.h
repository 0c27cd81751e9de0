#pragma once
// The app running on the headless device as the run command drives it: booted the way the program
// starts (load hooks, then the application delegate), worked by the script commands, and read back as a
// screen summary (the top controller, its title and the visible texts, overlays and toasts included).
// After every command that acts it waits until the app is quiet: no service call unanswered and nothing due
// on the main run loop soon, and no picture still coming; after a wait, a tree or a shot only for what is
// still coming, so that the app's clock moves no further than the script says. A command marked nowait waits
// only for the screen to stop moving, so what it leaves on its way can be looked at.

#include <memory>
#include <string>
#include <vector>

#include "app/service/BaseNetHTTPManager.h"
#include "platform/device/Device.h"
#include "tools/quillory/ScriptCommand.h"

namespace ql::ui {
class ViewController;
}

namespace ql::standin {
class StandinService;
}

namespace ql::quillory {

struct ScreenSummary {
    std::string controller;  // the class of the screen on top
    std::string title;
    std::vector<std::string> texts;  // what a person can read, back to front; empty fields as "[placeholder]"
};

class AppDriver {
public:
    // How long each reply may take to come in full (real seconds), from when a command began waiting for
    // it, before settle() gives up (ReplyLimit): longer than the app's own request time-out, so that a
    // service that goes quiet ends in the app's failure, as a student would see it, and each call of a chain
    // has it to itself. A reply still trickling in by then stops the run command, so nothing keeps it waiting
    // for ever.
    static constexpr double kReplyTimeout = BaseNetHTTPManager::kRequestTimeout + 30;

    // `replyLimit` in place of kReplyTimeout lets a test reach the limit without waiting a minute and a half.
    AppDriver(const sim::ScreenProfile& profile, std::string shotsDirectory, double replyLimit = kReplyTimeout);

    // Boots the app and waits until it is quiet.
    void boot();
    // Boots the app and lets the screen settle without waiting for the service: the first command waits
    // for the launch's replies before it runs, unless it is a nowait one, which sees the launch as it is.
    void bootWithoutWaiting();
    // Runs until the app is quiet; raises when a reply has not come in full within the limit. While it
    // waits for the service, the app's clock keeps pace with real time, unless every call waits for a reply
    // the in-process stand-in holds: then it goes from deadline to deadline up to the app's own time-out.
    // Raises Interrupted once the run is interrupted.
    void settle();
    // Runs one command and settles (for a nowait command, lets the screen settle); gives what the command
    // prints (the tree, the shot's path) or "". A wait, a tree or a shot moves the app's clock no further
    // than it says: it settles only while a reply is still on its way. Raises ScriptError naming the
    // command's line when it cannot be done, and Interrupted once the run is interrupted.
    std::string run(const ScriptCommand& command);
    // The in-process stand-in whose held replies `release` sends; none with a real service.
    void setStandin(standin::StandinService* service) { standin_ = service; }

    ScreenSummary screen() const;
    static std::string describe(const ScreenSummary& summary);
    // Writes NAME.png into the shots folder and gives its path.
    std::string shot(const std::string& name);

    sim::Device& device() { return device_; }
    // The screen on top: through presentations, navigation stacks and the tab shell's current tab.
    std::shared_ptr<ui::ViewController> topController() const;

private:
    struct Waiting;

    void settle(Waiting& waiting);
    void waitForTheNetwork(Waiting& waiting);
    void perform(const ScriptCommand& command, std::string& output);
    // Every service call in flight waits for a reply the in-process stand-in holds, and no picture is coming.
    bool waitingOnlyForHeldReplies() const;

    sim::Device device_;
    std::string shotsDirectory_;
    standin::StandinService* standin_ = nullptr;
    double replyLimit_;
    bool launchUnsettled_ = false;
};

}  // namespace ql::quillory
