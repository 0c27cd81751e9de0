#pragma once
// ui::WebEngine: the one headless browser process behind every web view of the app. It is started when a
// view first needs it and driven over its debugging pipe: the engine reads commands on its descriptor 3
// and writes replies and events on its descriptor 4, one JSON message per NUL-terminated frame. A thread
// of its own reads what comes back and hands it to the main queue; a call that needs an answer waits for
// it with a bound. An engine that ends (crash, kill, hang) is not restarted in place: the next view that
// asks gets a fresh one, and every session of the old one hears "engine ended". The engine never outlives
// the app (WebEngineProcess), and its profile folder goes with it when the app exits; a child the app
// forks neither drives nor ends it, nor removes the folder, when it exits. Pages cannot open
// windows of their own: the engine tells of each window a page asks for (Page.windowOpen) and opens none.
//
// Only events some session listens for are read: the engine reports far more (every console message of a
// page, at any size), and those are passed over unread. An event that holds its page until answered (a
// held request, a dialog) is kept within the reader's bound by leaving the page's data out of it
// (WebEngineHeldEvent), or else answered at once as refused, so that no page waits for ever on one the app
// could not take in. A message the engine cannot take is not sent: it
// stops reading its pipe altogether at its intake bound, which would end it for every view.

#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/foundation/Error.h"
#include "platform/foundation/Value.h"
#include "platform/web/WebEngineLiveness.h"
#include "platform/web/WebEngineProcess.h"
#include "platform/web/WebEngineProfile.h"
#include "platform/web/WebEngineReading.h"

namespace ql::ui {

class WebEngineHeldEvent;

class WebEngine : public std::enable_shared_from_this<WebEngine> {
public:
    // The program run as the engine unless the environment names another in this variable.
    static constexpr std::string_view kExecutable = "chromium-headless-shell";
    static constexpr std::string_view kExecutableVariable = "QL_WEB_ENGINE";
    // What a session's handler hears when the engine has gone, instead of a protocol event.
    static constexpr std::string_view kEngineEnded = "";
    // How long a call waits for its answer by default.
    static constexpr double kCallTimeout = 10;
    // Once a call has waited out its bound, the browser itself is asked whether it is well (a ping): it is
    // taken as hung when it shows no sign of work (WebEngineWork: bytes arriving from it, the app's reader
    // at work on what came, or its processes using the processor) for this long before either answer comes...
    static constexpr double kPingTimeout = 3;
    // ... or goes this long without a byte coming, whatever else it does (a browser spinning without end
    // answers nothing). A message the engine takes long to make and hand over, which the answers wait
    // behind, takes far less. A command the engine is slow to take is written by the same rule, the bytes
    // it takes counting as signs of work and bytes moved (WebEngineLiveness).
    static constexpr double kBusyLimit = 60;
    // Why a call got no answer within its bound.
    static constexpr std::string_view kNoAnswer = "the web engine did not answer";
    // The largest message the engine takes, measured: 100 MiB with its terminating NUL. One byte more and
    // the engine reads nothing more from the app.
    static constexpr std::size_t kLargestCommand = (std::size_t{100} << 20) - 1;
    // Why a command was not sent.
    static constexpr std::string_view kCommandTooLarge = "the command is larger than the web engine takes";
    // Why a call's answer did not come: the engine's answer was larger than the app reads.
    static constexpr std::string_view kAnswerTooLarge = "the web engine's answer is larger than the app reads";
    // Why a call that runs the page's script got no answer: the page holds its scripts, while it shows a
    // dialog (until the dialog is answered) or awaits its main frame's next document (until the request for
    // it is answered).
    static constexpr std::string_view kScriptsHeld = "the page holds its scripts";
    // Why a call of a page got no answer: the page's own process ended (crashed or was killed). The engine
    // tells of that end with this event, and answers nothing the process was sent before it; from then on
    // the page is asked nothing more, so every call of it ends at once.
    static constexpr std::string_view kPageEnded = "the page's process ended";
    static constexpr std::string_view kPageEndedEvent = "Inspector.targetCrashed";

    using ReplyHandler = std::function<void(const ns::Value& result, const std::optional<std::string>& error)>;
    using EventHandler = std::function<void(std::string_view method, const ns::Value& params)>;

    // The app's engine, started when there is none or the last one ended; null with the reason when it
    // cannot be started (not installed, for one), and from the engine's own exit handler on (WebEngineErrorEnded):
    // nothing started as the process ends would be shut down.
    static std::shared_ptr<WebEngine> running(ns::Error* error);

    WebEngine(const WebEngine&) = delete;
    WebEngine& operator=(const WebEngine&) = delete;
    ~WebEngine();

    // False in a child the app forked: the engine, its pipe and its folder are the parent's alone.
    bool isAlive() const { return alive_ && startedHere(); }
    // The engine's process group (every process of the engine is in it).
    std::uint64_t processID() const { return static_cast<std::uint64_t>(process_.group()); }
    // The engine's resident memory (its own process and its helpers), in bytes; 0 when it is gone.
    std::uint64_t residentMemory() const;

    // Sends a command of the session ("" for the browser itself); the reply, if asked for, comes on the
    // main queue, unless the engine ends first. False when it was not sent: the engine is gone, or found
    // hung while it was to take the command (it is stopped then, as a hung one is), or the command is
    // larger than it takes (a reply asked for then comes with kCommandTooLarge).
    bool send(std::string_view method, ns::Dictionary params, const std::string& session, ReplyHandler reply = {});
    // Sends and waits for the reply, running nothing else meanwhile. Nil with the error's text when the
    // engine refuses or ends, or when the command is still unanswered after `timeout` seconds and the
    // browser answers a ping first (a page may hold its command back, while it navigates or runs a script).
    // The reply is still taken while the ping waits: both wait behind whatever the engine is still making
    // or handing over, for as long as it shows signs of work; an engine that answers neither and shows none
    // (see kPingTimeout and kBusyLimit) is stopped as hung, as is one found hung while it was to take the
    // command (kNoAnswer either way). A call that runs the page's script (Runtime) ends at once while the
    // page holds its scripts: what would let them go (a dialog's answer, the document's reply) could not
    // come while the call waits. A call of a page whose process ends ends then too, and every call of that
    // page made later, from any thread, ends at once (kPageEnded): its view leaves the page only when the
    // main queue next runs, and what the app asks of it meanwhile would otherwise wait out its bound.
    ns::Value call(std::string_view method, ns::Dictionary params, const std::string& session,
                   std::string* error = nullptr, double timeout = kCallTimeout);

    // Events of a session (a page whose main frame has the given id) of the methods named go to its handler
    // on the main queue.
    void setSessionHandler(const std::string& session, const std::string& mainFrame,
                           const std::vector<std::string_view>& methods, EventHandler handler);
    void removeSession(const std::string& session);

    // Ends the engine process at once (as a crash would).
    void terminate();

    // Tests make an engine that spins without end found hung sooner.
    static void setBusyLimitForTesting(double seconds);

private:
    struct Session {
        EventHandler handler;
        std::vector<std::string> methods;
        std::string mainFrame;
        bool inDialog = false;
        bool processEnded = false;
        std::set<std::string, std::less<>> awaitedDocuments{};  // main-frame document requests held unanswered
        bool holdsScripts() const { return inDialog || !awaitedDocuments.empty(); }
    };
    struct Waiter {
        std::string session;
        bool runsScript = false;
        bool done = false;
        ns::Value result;
        std::optional<std::string> error;
    };

    enum class Sent { Written, TooLarge, EngineGone, Hung };
    enum class Health { Answering, Hung };

    WebEngine() = default;
    bool launch(ns::Error* error);
    bool startedHere() const { return getpid() == starter_; }
    // Ends the process and waits for it, then removes its profile folder; nothing is heard of the end.
    void shutDown();
    static void shutDownAtExit();
    // Keeps for good a forked child's copy of its parent's engine: destroying it would end the parent's
    // engine, remove its folder and wait for a reader thread the child does not have.
    static void keepInherited(std::shared_ptr<WebEngine> engine);
    void readLoop();
    // Answers an event that holds its page, passed over for its size: a held request fails, a dialog is
    // cancelled.
    void releaseHeld(const WebEngineHeldEvent& event);
    bool listensFor(std::string_view method);
    void dispatch(std::string_view frame);
    void answer(std::uint64_t id, ns::Value result, std::optional<std::string> error);
    // Follows what holds a page's scripts, and the end of its process, from its events and from the commands
    // sent for it.
    void noteEvent(std::string_view session, std::string_view method, const ns::Value* params);
    void noteCommand(const std::string& session, std::string_view method, const ns::Dictionary& params);
    // No longer listens for these methods on behalf of a session (called with the lock held).
    void forget(const std::vector<std::string>& methods);
    // Ends the calls of a session waiting for their answers, or only those that run its script (called with
    // the lock held).
    void endCalls(std::string_view session, bool scriptsOnly, std::string_view why);
    void ended();
    void deliverEnded();
    // Pings the browser for a call left unanswered, and waits (the lock held) until either answers or the
    // engine is taken as hung.
    Health awaitEitherAnswer(std::unique_lock<std::mutex>& lock, const std::shared_ptr<Waiter>& call);
    Sent write(std::uint64_t id, std::string_view method, ns::Dictionary params, const std::string& session);
    // Writes one frame (the write lock held) for as long as the engine takes it or shows signs of work, so
    // that an engine that stopped reading holds the writer, and every command queued behind it, no longer
    // than a hung engine holds a call.
    Sent writeFrame(std::string_view message);
    // The rule a wait on the engine goes by.
    WebEngineLiveness liveness() const;

    pid_t starter_ = -1;                         // the process that started the engine
    std::unique_ptr<WebEngineProfile> profile_;  // goes after the process that uses it
    WebEngineProcess process_;
    int commandFd_ = -1;
    int replyFd_ = -1;
    std::thread reader_;
    std::atomic<bool> alive_{false};
    std::atomic<bool> closing_{false};
    WebEngineReading reading_;  // told by the reader, as signs of the engine's work
    std::mutex writeMutex_;

    std::mutex mutex_;  // guards what follows
    std::condition_variable answered_;
    std::uint64_t nextID_ = 1;
    std::map<std::uint64_t, ReplyHandler> replies_;
    std::map<std::uint64_t, std::shared_ptr<Waiter>> waiters_;
    std::map<std::string, Session, std::less<>> sessions_;
    std::map<std::string, int, std::less<>> listened_;  // how many sessions listen for each method
};

}  // namespace ql::ui
