#include "platform/net/LoadingEngine.h"

#include <pthread.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <utility>

#include "platform/foundation/BackgroundWork.h"
#include "platform/foundation/CryptoLibrary.h"
#include "platform/foundation/PerThread.h"
#include "platform/foundation/RunLoop.h"
#include "platform/net/HTTPExchange.h"

namespace ql::ns {

namespace {

// The longest wait of the I/O thread between looks at the exchanges' own deadlines.
constexpr long kLongestWaitMilliseconds = 1000;
// Connections kept open for reuse, across hosts.
constexpr long kMaximumCachedConnections = 32;
// Connections to one host at a time; further exchanges wait for one of them.
constexpr long kMaximumConnectionsPerHost = 6;

struct Registry {
    std::mutex mutex;
    std::unordered_map<std::uint64_t, HTTPExchange*> exchanges;
    std::uint64_t lastID = 0;
};

Registry& registry() {
    static auto* r = new Registry;
    return *r;
}

thread_local LoadingEngine* drivenByThisThread = nullptr;

}  // namespace

// The engine of a thread that loads synchronously; shut down when the thread ends by itself. Kept past the
// thread's thread_local objects: the thread that ends the process may still load from its exit handlers.
struct ThreadEngine {
    ThreadEngine() { engine->owner_ = std::this_thread::get_id(); }
    ~ThreadEngine() { engine->shutDown(); }
    std::shared_ptr<LoadingEngine> engine = LoadingEngine::make();
};

std::shared_ptr<LoadingEngine> LoadingEngine::make() {
    auto engine = std::make_shared<LoadingEngine>(Key{});
    Clock::addClient(engine);
    return engine;
}

const std::shared_ptr<LoadingEngine>& LoadingEngine::shared() {
    static const auto* engine = [] {
        auto* created = new std::shared_ptr<LoadingEngine>(make());
        std::thread([engine = *created] {
            pthread_setname_np(pthread_self(), "ql.net.io");
            engine->runForever();
        }).detach();
        return created;
    }();
    return *engine;
}

const std::shared_ptr<LoadingEngine>& LoadingEngine::ofCurrentThread() {
    static PerThread<ThreadEngine> engines;
    return engines.get().engine;
}

std::shared_ptr<LoadingEngine> LoadingEngine::newEngine() { return make(); }

LoadingEngine::LoadingEngine(Key) : wakeFd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    keepTheCryptoLibraryUntilTheProcessEnds();  // the transfers' TLS would otherwise be its first use
    static const bool initialized = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    (void)initialized;
    multi_ = curl_multi_init();
    curl_multi_setopt(multi_, CURLMOPT_MAXCONNECTS, kMaximumCachedConnections);
    curl_multi_setopt(multi_, CURLMOPT_MAX_HOST_CONNECTIONS, kMaximumConnectionsPerHost);
}

LoadingEngine::~LoadingEngine() {
    shutDown();
    if (wakeFd_ >= 0) close(wakeFd_);
}

void LoadingEngine::shutDown() {
    std::vector<std::function<void()>> dropped;
    {
        std::lock_guard lock(mutex_);
        if (shutDown_) return;
        shutDown_ = true;
        dropped.swap(commands_);
    }
    dropped.clear();
    std::vector<std::shared_ptr<HTTPExchange>> running;
    for (auto& [handle, exchange] : active_) running.push_back(exchange);
    for (auto& exchange : running) exchange->abort();
    for (CURL* handle : spareHandles_) curl_easy_cleanup(handle);
    spareHandles_.clear();
    curl_multi_cleanup(std::exchange(multi_, nullptr));
}

std::uint64_t LoadingEngine::registerExchange(HTTPExchange* exchange) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    r.exchanges[++r.lastID] = exchange;
    return r.lastID;
}

void LoadingEngine::unregisterExchange(std::uint64_t id) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    r.exchanges.erase(id);
}

HTTPExchange* LoadingEngine::exchangeWithID(std::uint64_t id) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    auto found = r.exchanges.find(id);
    return found == r.exchanges.end() ? nullptr : found->second;
}

void LoadingEngine::perform(std::function<void()> command) {
    {
        std::lock_guard lock(mutex_);
        if (shutDown_) return;
        commands_.push_back(std::move(command));
    }
    // The driving thread looks at its commands before it waits again: only other threads must wake it.
    const auto self = std::this_thread::get_id();
    if (self != driving_.load() && self != owner_) wakeUp();
}

void LoadingEngine::wakeUp() {
    // Not under mutex_: the woken thread takes that at once for its commands, and would wait for it here.
    if (wakePending_.exchange(true)) return;
    const std::uint64_t one = 1;
    if (write(wakeFd_, &one, sizeof one) < 0) {
        // Only a full counter fails, and that already wakes the thread.
    }
}

void LoadingEngine::add(const std::shared_ptr<HTTPExchange>& exchange, CURL* handle) {
    active_[handle] = exchange;
    curl_multi_add_handle(multi_, handle);
    performPending_ = true;
}

void LoadingEngine::remove(CURL* handle) {
    auto found = active_.find(handle);
    if (found == active_.end()) return;
    curl_multi_remove_handle(multi_, handle);
    // The exchange may be the last owner of itself: let it go once it is out of the map.
    auto exchange = std::move(found->second);
    active_.erase(found);
}

CURL* LoadingEngine::takeHandle() {
    if (spareHandles_.empty()) return curl_easy_init();
    CURL* handle = spareHandles_.back();
    spareHandles_.pop_back();
    curl_easy_reset(handle);
    return handle;
}

void LoadingEngine::returnHandle(CURL* handle) {
    if (spareHandles_.size() < static_cast<std::size_t>(kMaximumCachedConnections)) {
        spareHandles_.push_back(handle);
    } else {
        curl_easy_cleanup(handle);
    }
}

void LoadingEngine::runCommands() {
    {
        std::lock_guard lock(mutex_);
        running_.swap(commands_);
    }
    for (auto& command : running_) {
        command();
        command = nullptr;
    }
    running_.clear();
}

void LoadingEngine::collectFinished() {
    int queued = 0;
    while (CURLMsg* message = curl_multi_info_read(multi_, &queued)) {
        if (message->msg != CURLMSG_DONE) continue;
        auto found = active_.find(message->easy_handle);
        if (found == active_.end()) continue;
        auto exchange = found->second;  // alive through its last report
        exchange->complete(message->data.result);
    }
}

double LoadingEngine::nextDeadlineAfter(double) const { return Clock::kNever; }

void LoadingEngine::clockChanged() {
    // A manual clock steps through every animation's moments: only one that reached a time-out wakes the thread.
    if (Clock::now() >= earliestDeadline_.load()) wakeUp();
}

void LoadingEngine::expireDeadlines() {
    const double now = Clock::now();
    double earliest = Clock::kNever;
    std::vector<std::shared_ptr<HTTPExchange>> expired;
    for (const auto& [handle, exchange] : active_) {
        const auto deadline = exchange->nextDeadline();
        if (!deadline) continue;
        if (*deadline <= now) expired.push_back(exchange);
        else earliest = std::min(earliest, *deadline);
    }
    earliestDeadline_.store(earliest);
    for (const auto& exchange : expired) exchange->timeOut();
}

long LoadingEngine::waitMilliseconds(long longest) {
    {
        std::lock_guard lock(mutex_);
        if (!commands_.empty()) return 0;
    }
    if (performPending_) return 0;
    long wait = longest;
    long curlWait = -1;
    curl_multi_timeout(multi_, &curlWait);
    if (curlWait >= 0) wait = std::min(wait, curlWait);
    // On a manual clock this is no real time at all, but the wait is short, and moving the clock wakes it.
    const double now = Clock::now();
    for (const auto& [handle, exchange] : active_) {
        if (auto deadline = exchange->nextDeadline()) {
            const double left = std::ceil((*deadline - now) * 1000) + 1;
            wait = std::min<long>(wait, std::max<long>(0, static_cast<long>(std::min<double>(left, double(wait)))));
        }
    }
    return wait;
}

LoadingEngine* LoadingEngine::drivingEngine() { return drivenByThisThread; }

void LoadingEngine::runOnce(long longestWaitMilliseconds) {
    runRound();
    waitForActivity(longestWaitMilliseconds);
}

void LoadingEngine::runRound() {
    if (!multi_) return;  // shut down
    // Once the process ends, the driving thread stops here for good, inside a job too: curl is left as it is.
    BackgroundWork work;
    const std::thread::id previous = driving_.exchange(std::this_thread::get_id());
    LoadingEngine* const outer = std::exchange(drivenByThisThread, this);
    runCommands();
    performPending_ = false;
    int running = 0;
    curl_multi_perform(multi_, &running);
    collectFinished();
    expireDeadlines();
    // Work of the round may give more such work; all of it is done before the wait.
    while (!endOfRound_.empty())
        for (auto& work : std::exchange(endOfRound_, {})) work();
    drivenByThisThread = outer;
    driving_.store(previous);
}

bool LoadingEngine::hasPendingWork() {
    if (performPending_) return true;
    std::lock_guard lock(mutex_);
    return !commands_.empty();
}

void LoadingEngine::waitForActivity(long longestWaitMilliseconds) {
    if (!multi_) return;
    const long wait = waitMilliseconds(longestWaitMilliseconds);
    if (wait <= 0) return;
    curl_waitfd woken{wakeFd_, CURL_WAIT_POLLIN, 0};
    {
        // Waiting for the network is no work under way (a synchronous load's in a job, say): the end does not
        // wait for it, and once the process ends the thread stops as the wait ends.
        BackgroundWork::Pause waiting;
        curl_multi_poll(multi_, &woken, 1, static_cast<int>(wait), nullptr);
    }
    if (!(woken.revents & CURL_WAIT_POLLIN)) return;
    // Taken back before the round that follows looks at the commands, so that a command given after that
    // look wakes the thread again.
    std::uint64_t count = 0;
    if (read(wakeFd_, &count, sizeof count) < 0) {
        // Another wait took it already.
    }
    wakePending_.store(false);
}

// Lets a run loop wait on the engine's sockets and wake-ups instead of its own condition.
class LoadingEngine::RunLoopDriver final : public RunLoopWaiter {
public:
    explicit RunLoopDriver(std::shared_ptr<LoadingEngine> engine) : engine_(std::move(engine)) {}

    void wait(std::chrono::steady_clock::time_point until, const std::function<bool()>& hasWork) override {
        // Commands the loop's own work gave are run before any wait. A round for nothing is not run: it
        // costs curl a look at every transfer.
        if (engine_->hasPendingWork()) engine_->runRound();
        if (hasWork()) return;
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - std::chrono::steady_clock::now()).count();
        engine_->waitForActivity(std::clamp<long long>(left, 0, kLongestWaitMilliseconds));
        engine_->runRound();
    }
    void wake() override { engine_->wakeUp(); }

private:
    const std::shared_ptr<LoadingEngine> engine_;
};

namespace {
thread_local bool drivenByRunLoop = false;
}  // namespace

void LoadingEngine::driveWithCurrentRunLoop() {
    if (std::exchange(drivenByRunLoop, true)) return;
    RunLoop::current()->setWaiter(std::make_shared<RunLoopDriver>(ofCurrentThread()));
}

std::shared_ptr<LoadingEngine> LoadingEngine::ofCurrentRunLoop() {
    return drivenByRunLoop ? ofCurrentThread() : nullptr;
}

void LoadingEngine::runForever() {
    for (;;) runOnce(kLongestWaitMilliseconds);
}

}  // namespace ql::ns
