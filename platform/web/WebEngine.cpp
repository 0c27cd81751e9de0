#include "platform/web/WebEngine.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/JSONSerialization.h"
#include "platform/ui/Screen.h"
#include "platform/web/WebEngineError.h"
#include "platform/web/WebEngineFrames.h"
#include "platform/web/WebEngineFields.h"
#include "platform/web/WebEngineHeldEvent.h"
#include "platform/web/WebEngineLiveness.h"

namespace ql::ui {
namespace {

// The largest message read from the engine: far above any answer the app asks for or event it listens
// to. A larger one (a page's own data sent along) is passed over; one that holds its page is kept within it
// by leaving the page's data out, or else answered as refused.
constexpr std::size_t kLargestFrame = std::size_t{128} << 20;

// The events that tell whether a page holds its scripts, read whoever listens.
constexpr std::string_view kDialogOpening = "Page.javascriptDialogOpening";
constexpr std::string_view kDialogClosed = "Page.javascriptDialogClosed";
constexpr std::string_view kFrameNavigated = "Page.frameNavigated";
constexpr std::string_view kRequestPaused = "Fetch.requestPaused";
// And the one that tells that a page's process ended, which answers none of the calls it was sent.
constexpr std::string_view kFollowedEvents[] = {kDialogOpening, kDialogClosed, kFrameNavigated, kRequestPaused,
                                                WebEngine::kPageEndedEvent};

// Why a command was not sent to an engine that is gone.
constexpr std::string_view kNotRunning = "the web engine is not running";

// How often the engine is looked at for signs of work while the app waits on it.
constexpr std::chrono::milliseconds kLookInterval{100};

std::shared_ptr<WebEngine>& instance() {
    // Shut down by an exit handler of its own (shutDownAtExit); the holder serves code still running after it.
    static auto& engine = *new std::shared_ptr<WebEngine>;
    return engine;
}

// Set once the engine's exit handler has run in this process: code still running after it (a later exit handler)
// gets no engine, rather than one launched as the process ends that nothing would shut down.
std::atomic<bool> shutDownForGood{false};

// Keeps the descriptor clear of 0 to 4, which the engine's side is laid out on.
int highDescriptor(int fd) {
    const int moved = fcntl(fd, F_DUPFD_CLOEXEC, 10);
    close(fd);
    return moved;
}

std::string executable() {
    const char* chosen = std::getenv(std::string(WebEngine::kExecutableVariable).c_str());
    return chosen && *chosen ? std::string(chosen) : std::string(WebEngine::kExecutable);
}

std::atomic<double>& busyLimit() {
    static std::atomic<double> limit{WebEngine::kBusyLimit};
    return limit;
}

std::optional<std::string> errorText(const ns::Dictionary& message) {
    const ns::Value* error = message.find("error");
    if (!error) return std::nullopt;
    if (const auto* details = error->asDictionary()) {
        if (const ns::Value* text = details->find("message")) return text->stringValue();
    }
    return std::string("the web engine refused the command");
}

}  // namespace

std::shared_ptr<WebEngine> WebEngine::running(ns::Error* error) {
    if (shutDownForGood.load()) {
        if (error) *error = webEngineError(WebEngineErrorEnded, "The web engine was shut down as the app ends.");
        return nullptr;
    }
    auto& engine = instance();
    if (engine && engine->isAlive()) return engine;
    if (engine && !engine->startedHere()) keepInherited(std::move(engine));
    engine.reset();
    std::shared_ptr<WebEngine> fresh(new WebEngine());
    if (!fresh->launch(error)) return nullptr;
    // Views still holding the engine keep it from being destroyed at exit: it is shut down there, before the
    // holder above goes.
    [[maybe_unused]] static const bool shutDownAtExitArranged = std::atexit(shutDownAtExit) == 0;
    engine = fresh;
    return engine;
}

void WebEngine::shutDownAtExit() {
    shutDownForGood.store(true);
    // The handler is inherited by a child the app forks, which may exit through it too.
    auto& engine = instance();
    if (!engine) return;
    if (engine->startedHere()) {
        engine->shutDown();
    } else {
        keepInherited(std::move(engine));
    }
}

void WebEngine::keepInherited(std::shared_ptr<WebEngine> engine) {
    static auto* const inherited = new std::vector<std::shared_ptr<WebEngine>>();  // never destroyed
    inherited->push_back(std::move(engine));
}

bool WebEngine::launch(ns::Error* error) {
    const std::string program = executable();
    const auto cannotStart = [&](const std::string& why) {
        if (error) *error = webEngineError(WebEngineErrorCannotStart, "The web engine (" + program + ") could not be started: " + why + ".");
        return false;
    };
    std::string problem;
    profile_ = WebEngineProfile::make(&problem);
    if (!profile_) return cannotStart(problem);
    int commands[2];
    int replies[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, commands) != 0) return cannotStart(std::strerror(errno));
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, replies) != 0) {
        const int failure = errno;
        close(commands[0]);
        close(commands[1]);
        return cannotStart(std::strerror(failure));
    }
    for (int* fd : {&commands[0], &commands[1], &replies[0], &replies[1]}) *fd = highDescriptor(*fd);

    std::vector<std::string> arguments{program,
                                       "--headless",
                                       "--remote-debugging-pipe",
                                       "--user-data-dir=" + profile_->path(),
                                       "--no-first-run",
                                       "--hide-scrollbars",
                                       "--mute-audio",
                                       // A page cannot open windows: the engine reports each one asked for
                                       // and opens none, so the view decides about it as a navigation.
                                       "--block-new-web-contents",
                                       // Each view's page gets a process of its own (every target starts a
                                       // browsing instance of its own), so a page that waits on a dialog or
                                       // runs a script without end holds up no other view. Without site
                                       // isolation every frame of a page shares its process, so one page
                                       // session sees them all; history loads pages again instead of keeping
                                       // them whole.
                                       "--disable-features=IsolateOrigins,site-per-process,BackForwardCache",
                                       // The screen's scale from the start: a page drawn before an
                                       // emulated scale reaches it comes out at the wrong size.
                                       "--force-device-scale-factor=" + std::to_string(ui::Screen::mainScreen().scale())};
    if (geteuid() == 0) arguments.insert(arguments.begin() + 1, "--no-sandbox");
    const int failed = process_.start(arguments, commands[1], replies[1]);
    close(commands[1]);
    close(replies[1]);
    if (failed != 0) {
        close(commands[0]);
        close(replies[0]);
        return cannotStart(std::strerror(failed));
    }
    commandFd_ = commands[0];
    replyFd_ = replies[0];
    starter_ = getpid();
    alive_ = true;
    reader_ = std::thread([this] { readLoop(); });
    return true;
}

WebEngine::~WebEngine() {
    shutDown();
    if (commandFd_ >= 0) close(commandFd_);
    if (replyFd_ >= 0) close(replyFd_);
}

void WebEngine::shutDown() {
    closing_ = true;
    if (commandFd_ >= 0) shutdown(commandFd_, SHUT_RDWR);
    // The profile goes only once nothing of the engine can write into it any more.
    process_.end();
    if (reader_.joinable() && reader_.get_id() != std::this_thread::get_id()) reader_.join();
    profile_.reset();
}

void WebEngine::terminate() {
    // Taken as gone at once, so that the next view asking for the engine gets a fresh one rather than
    // this one before its reader has seen it end.
    if (startedHere() && alive_.exchange(false)) process_.kill();
}

void WebEngine::readLoop() {
    WebEngineFrames frames(
        kLargestFrame, [this](std::string_view method) { return listensFor(method); },
        [this](std::string_view frame) { dispatch(frame); },
        [this](std::uint64_t id) { answer(id, ns::Value(), std::string(kAnswerTooLarge)); },
        [this](const WebEngineHeldEvent& event) { releaseHeld(event); });
    std::vector<char> chunk(1 << 16);
    for (;;) {
        const ssize_t n = read(replyFd_, chunk.data(), chunk.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        reading_.arrived += static_cast<std::uint64_t>(n);
        const WebEngineReading::Marked digesting(reading_, true);
        frames.take(std::string_view(chunk.data(), static_cast<std::size_t>(n)));
    }
    ended();
}

void WebEngine::releaseHeld(const WebEngineHeldEvent& event) {
    if (event.session().empty()) return;
    // Answered at once from here: the page waits meanwhile, and its view never hears of it.
    const WebEngineReading::Marked writing(reading_, false);
    if (event.method() == kRequestPaused && !event.requestID().empty()) {
        send("Fetch.failRequest", {{"requestId", ns::Value(event.requestID())}, {"errorReason", ns::Value("Failed")}},
             event.session());
    } else if (event.method() == kDialogOpening) {
        send("Page.handleJavaScriptDialog", {{"accept", ns::Value(false)}}, event.session());
    }
}

bool WebEngine::listensFor(std::string_view method) {
    if (std::find(std::begin(kFollowedEvents), std::end(kFollowedEvents), method) != std::end(kFollowedEvents)) return true;
    std::lock_guard lock(mutex_);
    return listened_.contains(method);
}

void WebEngine::answer(std::uint64_t id, ns::Value result, std::optional<std::string> error) {
    std::unique_lock lock(mutex_);
    if (auto waiter = waiters_.find(id); waiter != waiters_.end()) {
        waiter->second->done = true;
        waiter->second->result = std::move(result);
        waiter->second->error = std::move(error);
        waiters_.erase(waiter);
        answered_.notify_all();
        return;
    }
    auto handler = replies_.find(id);
    if (handler == replies_.end()) return;
    ReplyHandler reply = std::move(handler->second);
    replies_.erase(handler);
    lock.unlock();
    if (closing_) return;
    ns::DispatchQueue::main()->async(
        [reply = std::move(reply), result = std::move(result), error = std::move(error)] { reply(result, error); });
}

void WebEngine::dispatch(std::string_view frame) {
    ns::Value message = ns::JSONSerialization::JSONObjectWithData(frame, 0, nullptr);
    const ns::Dictionary* fields = message.asDictionary();
    if (!fields) return;
    if (const ns::Value* id = fields->find("id")) {
        const ns::Value* result = fields->find("result");
        answer(id->uint64Value(), result ? *result : ns::Value(), errorText(*fields));
        return;
    }
    const ns::Value* method = fields->find("method");
    if (!method || closing_) return;
    const ns::Value* session = fields->find("sessionId");
    const ns::Value* params = fields->find("params");
    if (session) noteEvent(session->asString(), method->asString(), params);
    std::weak_ptr<WebEngine> weak = weak_from_this();
    ns::DispatchQueue::main()->async([weak, name = method->stringValue(), key = session ? session->stringValue() : "",
                                      value = params ? *params : ns::Value()] {
        auto self = weak.lock();
        if (!self) return;
        EventHandler handler;
        {
            std::lock_guard lock(self->mutex_);
            auto found = self->sessions_.find(key);
            if (found == self->sessions_.end()) return;
            handler = found->second.handler;
        }
        handler(name, value);
    });
}

void WebEngine::noteEvent(std::string_view session, std::string_view method, const ns::Value* params) {
    const ns::Dictionary& fields = params ? fieldsOf(*params) : fieldsOf(ns::Value());
    std::lock_guard lock(mutex_);
    auto found = sessions_.find(session);
    if (found == sessions_.end()) return;
    Session& page = found->second;
    if (method == kPageEndedEvent) {
        page.processEnded = true;
        endCalls(session, false, kPageEnded);
        return;
    }
    if (method == kDialogOpening) {
        page.inDialog = true;
    } else if (method == kDialogClosed) {
        page.inDialog = false;
    } else if (method == kFrameNavigated && textField(fieldsOf(fields["frame"]), "id") == page.mainFrame) {
        // A new document in the main frame: a dialog of the one before went with it.
        page.inDialog = false;
    } else if (method == kRequestPaused && textField(fields, "resourceType") == "Document" &&
               textField(fields, "frameId") == page.mainFrame) {
        page.awaitedDocuments.insert(textField(fields, "requestId"));
    } else {
        return;
    }
    if (page.holdsScripts()) endCalls(session, true, kScriptsHeld);
}

void WebEngine::endCalls(std::string_view session, bool scriptsOnly, std::string_view why) {
    for (auto it = waiters_.begin(); it != waiters_.end();) {
        if ((it->second->runsScript || !scriptsOnly) && it->second->session == session) {
            it->second->done = true;
            it->second->error = std::string(why);
            it = waiters_.erase(it);
        } else {
            ++it;
        }
    }
    answered_.notify_all();
}

void WebEngine::noteCommand(const std::string& session, std::string_view method, const ns::Dictionary& params) {
    if (session.empty() || !method.starts_with("Fetch.")) return;
    const ns::Value* request = params.find("requestId");
    if (!request) return;
    std::lock_guard lock(mutex_);
    if (auto found = sessions_.find(session); found != sessions_.end()) {
        if (auto held = found->second.awaitedDocuments.find(request->asString()); held != found->second.awaitedDocuments.end()) {
            found->second.awaitedDocuments.erase(held);
        }
    }
}

void WebEngine::ended() {
    alive_ = false;
    {
        std::lock_guard lock(mutex_);
        for (auto& [id, waiter] : waiters_) {
            waiter->done = true;
            waiter->error = "the web engine ended";
        }
        waiters_.clear();
        replies_.clear();
        answered_.notify_all();
    }
    if (closing_) return;
    std::weak_ptr<WebEngine> weak = weak_from_this();
    ns::DispatchQueue::main()->async([weak] {
        if (auto self = weak.lock()) self->deliverEnded();
    });
}

void WebEngine::deliverEnded() {
    std::map<std::string, Session, std::less<>> sessions;
    {
        std::lock_guard lock(mutex_);
        sessions.swap(sessions_);
        listened_.clear();
    }
    for (auto& [key, page] : sessions) page.handler(kEngineEnded, ns::Value());
}

WebEngine::Sent WebEngine::write(std::uint64_t id, std::string_view method, ns::Dictionary params, const std::string& session) {
    ns::Dictionary message{{"id", ns::Value(id)}, {"method", ns::Value(method)}, {"params", ns::Value(std::move(params))}};
    if (!session.empty()) message.set("sessionId", ns::Value(session));
    auto json = ns::JSONSerialization::dataWithJSONObject(ns::Value(std::move(message)), 0, nullptr);
    if (!json) return Sent::EngineGone;
    if (json->length() > kLargestCommand) return Sent::TooLarge;
    // Checked before the lock, which a forked child may have inherited held.
    if (!startedHere()) return Sent::EngineGone;
    std::lock_guard lock(writeMutex_);
    if (!alive_) return Sent::EngineGone;
    const Sent sent = writeFrame(json->view());
    if (sent == Sent::Hung) {
        // Stopped before the lock goes, so that no command waiting for it is written to a hung engine.
        terminate();
    } else if (sent == Sent::EngineGone) {
        // The engine let go of its end of the pipe: it is gone, whether or not its reader has seen it end
        // yet, so the next view asking for an engine starts a fresh one instead of being handed this one.
        alive_ = false;
    }
    return sent;
}

WebEngine::Sent WebEngine::writeFrame(std::string_view message) {
    // Looked at only once the engine keeps a write waiting: most commands go whole at the first try.
    std::optional<WebEngineLiveness> watch;
    bool took = false;
    // The frame's end goes apart rather than the whole message being copied to carry it.
    for (std::string_view bytes : {message, std::string_view("\0", 1)}) {
        while (!bytes.empty()) {
            const ssize_t n = ::send(commandFd_, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n > 0) {
                bytes.remove_prefix(static_cast<std::size_t>(n));
                took = true;
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) return Sent::EngineGone;
            // Room, or the pipe's end (which the next send tells of), ends the wait at once.
            pollfd room{commandFd_, POLLOUT, 0};
            if (poll(&room, 1, static_cast<int>(kLookInterval.count())) > 0) continue;
            if (!watch) watch.emplace(liveness());
            if (!watch->stillAlive(took)) return Sent::Hung;
            took = false;
        }
    }
    return Sent::Written;
}

WebEngineLiveness WebEngine::liveness() const {
    return WebEngineLiveness(reading_, process_.group(), {kPingTimeout, busyLimit().load()});
}

bool WebEngine::send(std::string_view method, ns::Dictionary params, const std::string& session, ReplyHandler reply) {
    noteCommand(session, method, params);
    std::unique_lock lock(mutex_);
    const std::uint64_t id = nextID_++;
    if (reply) replies_[id] = std::move(reply);
    lock.unlock();
    const Sent sent = write(id, method, std::move(params), session);
    if (sent == Sent::TooLarge) answer(id, ns::Value(), std::string(kCommandTooLarge));
    if (sent == Sent::Written) return true;
    lock.lock();
    replies_.erase(id);
    return false;
}

ns::Value WebEngine::call(std::string_view method, ns::Dictionary params, const std::string& session,
                          std::string* error, double timeout) {
    auto waiter = std::make_shared<Waiter>();
    waiter->session = session;
    waiter->runsScript = method.starts_with("Runtime.");
    noteCommand(session, method, params);
    std::unique_lock lock(mutex_);
    if (auto page = sessions_.find(session); page != sessions_.end()) {
        const Session& state = page->second;
        if (state.processEnded || (waiter->runsScript && state.holdsScripts())) {
            if (error) *error = std::string(state.processEnded ? kPageEnded : kScriptsHeld);
            return ns::Value();
        }
    }
    const std::uint64_t id = nextID_++;
    waiters_[id] = waiter;
    lock.unlock();
    if (const Sent sent = write(id, method, std::move(params), session); sent != Sent::Written) {
        lock.lock();
        waiters_.erase(id);
        // An engine found hung while it was to take the command fails the call as one found hung later would.
        if (error) *error = std::string(sent == Sent::TooLarge ? kCommandTooLarge : sent == Sent::Hung ? kNoAnswer : kNotRunning);
        return ns::Value();
    }
    lock.lock();
    if (!answered_.wait_for(lock, std::chrono::duration<double>(timeout), [&] { return waiter->done; }) &&
        awaitEitherAnswer(lock, waiter) == Health::Hung && !waiter->done) {
        waiters_.erase(id);
        lock.unlock();
        // Stopping a hung engine ends every load on it with an error, and the next load starts a fresh one.
        terminate();
        if (error) *error = std::string(kNoAnswer);
        return ns::Value();
    }
    if (!waiter->done) {
        // The browser answered, the command did not: its page holds it back.
        waiters_.erase(id);
        if (error) *error = std::string(kNoAnswer);
        return ns::Value();
    }
    if (waiter->error) {
        if (error) *error = *waiter->error;
        return ns::Value();
    }
    return waiter->result;
}

void WebEngine::setBusyLimitForTesting(double seconds) { busyLimit() = seconds; }

WebEngine::Health WebEngine::awaitEitherAnswer(std::unique_lock<std::mutex>& lock, const std::shared_ptr<Waiter>& call) {
    auto ping = std::make_shared<Waiter>();
    const std::uint64_t id = nextID_++;
    waiters_[id] = ping;
    lock.unlock();
    const bool sent = write(id, "Browser.getVersion", {}, "") == Sent::Written;
    WebEngineLiveness watch = liveness();
    watch.stillAlive();
    lock.lock();
    const auto answered = [&] { return call->done || ping->done; };
    while (sent && !answered()) {
        if (answered_.wait_for(lock, kLookInterval, answered)) break;
        lock.unlock();
        const bool alive = watch.stillAlive();
        lock.lock();
        if (!alive) break;
    }
    waiters_.erase(id);
    return answered() ? Health::Answering : Health::Hung;
}

void WebEngine::setSessionHandler(const std::string& session, const std::string& mainFrame,
                                  const std::vector<std::string_view>& methods, EventHandler handler) {
    std::lock_guard lock(mutex_);
    Session& page = sessions_[session];
    forget(page.methods);
    page = Session{std::move(handler), std::vector<std::string>(methods.begin(), methods.end()), mainFrame};
    for (const auto& method : page.methods) ++listened_[method];
}

void WebEngine::removeSession(const std::string& session) {
    std::lock_guard lock(mutex_);
    auto found = sessions_.find(session);
    if (found == sessions_.end()) return;
    forget(found->second.methods);
    sessions_.erase(found);
}

void WebEngine::forget(const std::vector<std::string>& methods) {
    for (const auto& method : methods) {
        auto listened = listened_.find(method);
        if (listened != listened_.end() && --listened->second == 0) listened_.erase(listened);
    }
}

std::uint64_t WebEngine::residentMemory() const {
    if (!alive_) return 0;
    // The engine's helpers are its descendants: walk the process table once for parents.
    std::map<long, std::vector<long>> children;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        std::ifstream stat(entry.path() / "stat");
        std::string line;
        if (!std::getline(stat, line)) continue;
        const auto close = line.rfind(')');
        if (close == std::string::npos) continue;
        char state = 0;
        long parent = 0;
        if (std::sscanf(line.c_str() + close + 1, " %c %ld", &state, &parent) == 2) children[parent].push_back(std::stol(name));
    }
    std::uint64_t total = 0;
    std::vector<long> pending{static_cast<long>(process_.group())};
    const auto page = static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE));
    while (!pending.empty()) {
        const long pid = pending.back();
        pending.pop_back();
        std::ifstream statm("/proc/" + std::to_string(pid) + "/statm");
        std::uint64_t size = 0;
        std::uint64_t resident = 0;
        if (statm >> size >> resident) total += resident * page;
        for (long child : children[pid]) pending.push_back(child);
    }
    return total;
}

}  // namespace ql::ui
