#include "platform/net/URLConnection.h"

#include <algorithm>

#include "platform/net/LoadingEngine.h"
#include "platform/foundation/Locked.h"
#include "platform/foundation/RunLoop.h"
#include "platform/net/HTTPCookieStorage.h"

namespace ql::ns {

namespace {

template <class... F>
struct Overloaded : F... {
    using F::operator()...;
};
template <class... F>
Overloaded(F...) -> Overloaded<F...>;

// A synchronous load, which follows redirects and takes the default answers. Its caller drives the
// load's engine while it waits, so the load runs on the caller's thread.
class SynchronousClient final : public URLLoadClient {
public:
    explicit SynchronousClient(std::shared_ptr<LoadingEngine> engine) : engine_(std::move(engine)) {}

    void loadWillSendRequest(const URLRequest& request, const std::shared_ptr<URLResponse>&,
                             std::function<void(std::optional<URLRequest>)> answer) override {
        answer(request);
    }
    void loadDidReceiveChallenge(const std::shared_ptr<URLAuthenticationChallenge>& challenge) override {
        challenge->sender()->performDefaultHandlingForAuthenticationChallenge(*challenge);
    }
    void loadDidCancelChallenge(const std::shared_ptr<URLAuthenticationChallenge>&) override {}
    void loadNeedsNewBodyStream(std::function<void(std::shared_ptr<InputStream>)> answer) override { answer(nullptr); }
    void loadDidSendBodyData(std::int64_t, std::int64_t, std::int64_t) override {}
    void loadDidReceiveResponse(const std::shared_ptr<URLResponse>& response) override {
        std::lock_guard lock(mutex_);
        response_ = response;
    }
    void loadDidReceiveData(const Data& data) override {
        std::lock_guard lock(mutex_);
        if (data_.empty()) data_ = data;  // shares the bytes until a second piece comes
        else data_.append(data);
    }
    void loadWillCacheResponse(const std::shared_ptr<CachedURLResponse>& proposed,
                               std::function<void(std::shared_ptr<CachedURLResponse>)> answer) override {
        answer(proposed);
    }
    void loadDidFinish() override { end(std::nullopt); }
    void loadDidFail(const Error& error) override { end(error); }

    std::optional<Data> wait(std::shared_ptr<URLResponse>* response, Error* error) {
        for (;;) {
            {
                std::lock_guard lock(mutex_);
                if (done_) break;
            }
            engine_->runOnce(kLongestWaitMilliseconds);
        }
        std::lock_guard lock(mutex_);
        if (response) *response = response_;
        if (error_) {
            if (error) *error = *error_;
            return std::nullopt;
        }
        return data_;
    }

private:
    static constexpr long kLongestWaitMilliseconds = 1000;

    void end(std::optional<Error> error) {
        {
            std::lock_guard lock(mutex_);
            error_ = std::move(error);
            done_ = true;
        }
        // The caller's next wait must not begin (when the end came from the engine's own work) or must end
        // (when it came from elsewhere, a protocol's thread say).
        if (engine_->isDriving()) engine_->needsPerform();
        else engine_->wakeUp();
    }

    const std::shared_ptr<LoadingEngine> engine_;
    std::mutex mutex_;
    bool done_ = false;
    std::shared_ptr<URLResponse> response_;
    Data data_;
    std::optional<Error> error_;
};

// Answers for a connection made without a delegate: the platform's defaults.
const std::shared_ptr<URLConnectionDelegate>& defaultDelegate() {
    static const auto* delegate = new std::shared_ptr<URLConnectionDelegate>(std::make_shared<URLConnectionDelegate>());
    return *delegate;
}

URLLoadOptions connectionOptions(bool hasDelegate) {
    URLLoadOptions options;
    options.cache = URLCache::sharedURLCache();
    options.cookies = HTTPCookieStorage::sharedHTTPCookieStorage();
    options.ownerJudgesServerTrust = hasDelegate;
    options.asksForFirstRequest = hasDelegate;
    options.cancelledChallengeErrorCode = URLErrorUserCancelledAuthentication;
    // What a delegate accepted holds for the redirects of its own load only.
    if (hasDelegate) options.approvals = std::make_shared<ServerTrustApprovals>();
    return options;
}

}  // namespace

// ---- Delegate defaults ----

void URLConnectionDelegate::connectionDidFailWithError(URLConnection&, const Error&) {}

bool URLConnectionDelegate::connectionShouldUseCredentialStorage(URLConnection&) { return true; }

void URLConnectionDelegate::connectionWillSendRequestForAuthenticationChallenge(
    URLConnection& connection, const std::shared_ptr<URLAuthenticationChallenge>& challenge) {
    connectionDidReceiveAuthenticationChallenge(connection, challenge);
}

void URLConnectionDelegate::connectionDidReceiveAuthenticationChallenge(
    URLConnection&, const std::shared_ptr<URLAuthenticationChallenge>& challenge) {
    challenge->sender()->performDefaultHandlingForAuthenticationChallenge(*challenge);
}

void URLConnectionDelegate::connectionDidCancelAuthenticationChallenge(
    URLConnection&, const std::shared_ptr<URLAuthenticationChallenge>&) {}

std::optional<URLRequest> URLConnectionDelegate::connectionWillSendRequest(URLConnection&, const URLRequest& request,
                                                                           const std::shared_ptr<URLResponse>&) {
    return request;
}

void URLConnectionDelegate::connectionDidReceiveResponse(URLConnection&, const std::shared_ptr<URLResponse>&) {}

void URLConnectionDelegate::connectionDidReceiveData(URLConnection&, const Data&) {}

std::shared_ptr<InputStream> URLConnectionDelegate::connectionNeedNewBodyStream(URLConnection&, const URLRequest&) {
    return nullptr;
}

void URLConnectionDelegate::connectionDidSendBodyData(URLConnection&, std::int64_t, std::int64_t, std::int64_t) {}

std::shared_ptr<CachedURLResponse> URLConnectionDelegate::connectionWillCacheResponse(
    URLConnection&, const std::shared_ptr<CachedURLResponse>& cachedResponse) {
    return cachedResponse;
}

void URLConnectionDelegate::connectionDidFinishLoading(URLConnection&) {}

// ---- The connection ----

URLConnection::URLConnection(Key, URLRequest request, std::shared_ptr<URLConnectionDelegate> delegate)
    : originalRequest_(request),
      queue_([this](bool held) {
          if (auto load = backpressureTarget_.lock()) load->setBackpressure(held);
      }),
      currentRequest_(std::move(request)),
      delegate_(std::move(delegate)) {}

URLConnection::~URLConnection() = default;

std::shared_ptr<URLConnection> URLConnection::create(const URLRequest& request,
                                                     std::shared_ptr<URLConnectionDelegate> delegate,
                                                     bool startImmediately) {
    auto connection = std::make_shared<URLConnection>(Key{}, request, std::move(delegate));
    std::weak_ptr<URLConnection> weak = connection;
    connection->source_ = std::make_shared<RunLoopSource>([weak] {
        if (auto alive = weak.lock()) alive->deliver();
    });
    if (startImmediately) connection->start();
    return connection;
}

std::shared_ptr<URLConnection> URLConnection::connectionWithRequest(const URLRequest& request,
                                                                    std::shared_ptr<URLConnectionDelegate> delegate) {
    return create(request, std::move(delegate), true);
}

URLRequest URLConnection::currentRequest() const { return ns::lockedCopy(mutex_, currentRequest_); }

void URLConnection::start() {
    std::vector<Schedule> schedules;
    std::shared_ptr<URLLoad> load;
    {
        std::lock_guard lock(mutex_);
        if (started_ || ended_) return;
        started_ = true;
        if (schedules_.empty()) schedules_.push_back({RunLoop::current(), std::string(DefaultRunLoopMode)});
        schedules = schedules_;
        URLLoadOptions options = connectionOptions(delegate_ != nullptr);
        // On a thread whose run loop waits on the sockets of its loads, a connection reporting only to that
        // loop loads there: its reports need no hand-off between threads.
        const auto here = RunLoop::current();
        if (auto engine = LoadingEngine::ofCurrentRunLoop();
            engine && std::all_of(schedules.begin(), schedules.end(), [&](const Schedule& s) { return s.loop.lock() == here; }))
            options.engine = std::move(engine);
        auto self = std::static_pointer_cast<URLConnection>(shared_from_this());
        load = URLLoad::create(originalRequest_, std::shared_ptr<URLLoadClient>(self, static_cast<URLLoadClient*>(this)),
                               std::move(options));
        load_ = load;
        backpressureTarget_ = load;
    }
    for (const auto& schedule : schedules) {
        if (auto loop = schedule.loop.lock()) loop->addSource(source_, schedule.mode);
    }
    load->start();
}

void URLConnection::cancel() {
    // Waits for a delegate call in progress on another thread; the delegate hears nothing after it.
    std::lock_guard delivering(deliveryMutex_);
    std::shared_ptr<URLLoad> load;
    {
        std::lock_guard lock(mutex_);
        if (ended_) return;
        load = load_;
    }
    if (load) load->cancel();
    end();
}

void URLConnection::scheduleInRunLoop(const std::shared_ptr<RunLoop>& runLoop, std::string_view mode) {
    bool running;
    {
        std::lock_guard lock(mutex_);
        if (ended_) return;
        schedules_.push_back({runLoop, std::string(mode)});
        running = started_;
    }
    if (running) runLoop->addSource(source_, mode);
}

void URLConnection::unscheduleFromRunLoop(const std::shared_ptr<RunLoop>& runLoop, std::string_view mode) {
    {
        std::lock_guard lock(mutex_);
        std::erase_if(schedules_, [&](const Schedule& s) { return s.loop.lock() == runLoop && s.mode == mode; });
    }
    runLoop->removeSource(source_, mode);
}

void URLConnection::end() {
    std::shared_ptr<URLConnectionDelegate> delegate;
    std::shared_ptr<URLLoad> load;
    std::vector<Schedule> schedules;
    {
        std::lock_guard lock(mutex_);
        if (ended_) return;
        ended_ = true;
        delegate = std::move(delegate_);
        load = std::move(load_);
        schedules = std::move(schedules_);
    }
    queue_.clear();
    for (const auto& schedule : schedules) {
        if (auto loop = schedule.loop.lock()) loop->removeSource(source_, schedule.mode);
    }
}

void URLConnection::enqueue(LoadEvent event) {
    {
        std::lock_guard lock(mutex_);
        if (ended_) return;
    }
    const bool wasEmpty = queue_.push(std::move(event));
    // Reports of one round of the engine (a reply's head, body and end, often) reach the run loop together,
    // with one wake-up at the end of the round, unless enough of the body waits (a round can last a whole
    // download).
    if (queue_.wantsDeliveryNow()) return source_->signal();
    if (!wasEmpty) return;  // a delivery is on its way already
    if (LoadingEngine* engine = LoadingEngine::drivingEngine()) {
        engine->atEndOfRound([source = source_] { source->signal(); });
        return;
    }
    source_->signal();
}

void URLConnection::deliver() {
    auto self = shared_from_this();  // the delegate may drop its last reference to the connection
    for (;;) {
        std::lock_guard delivering(deliveryMutex_);
        std::shared_ptr<URLConnectionDelegate> delegate;
        {
            std::lock_guard lock(mutex_);
            if (ended_) return;
            delegate = delegate_;
        }
        auto event = queue_.pop();
        if (!event) return;
        const bool final = isFinal(*event);
        dispatch(*event, delegate ? delegate : defaultDelegate());
        if (final) return end();
    }
}

void URLConnection::dispatch(LoadEvent& event, const std::shared_ptr<URLConnectionDelegate>& delegate) {
    URLConnection& self = *this;
    std::visit(Overloaded{
                   [&](load_event::WillSendRequest& e) {
                       auto request = delegate->connectionWillSendRequest(self, e.request, e.redirectResponse);
                       if (request) {
                           std::lock_guard lock(mutex_);
                           currentRequest_ = *request;
                       }
                       e.answer(std::move(request));
                   },
                   [&](load_event::Challenge& e) {
                       if (e.cancelled) delegate->connectionDidCancelAuthenticationChallenge(self, e.challenge);
                       else delegate->connectionWillSendRequestForAuthenticationChallenge(self, e.challenge);
                   },
                   [&](load_event::NeedNewBodyStream& e) {
                       e.answer(delegate->connectionNeedNewBodyStream(self, currentRequest()));
                   },
                   [&](load_event::SentBodyData& e) {
                       delegate->connectionDidSendBodyData(self, e.bytesSent, e.totalBytesSent,
                                                           e.totalBytesExpectedToSend);
                   },
                   [&](load_event::Response& e) { delegate->connectionDidReceiveResponse(self, e.response); },
                   [&](load_event::Received& e) { delegate->connectionDidReceiveData(self, e.data); },
                   [&](load_event::WillCache& e) { e.answer(delegate->connectionWillCacheResponse(self, e.proposed)); },
                   [&](load_event::Finished&) { delegate->connectionDidFinishLoading(self); },
                   [&](load_event::Failed& e) { delegate->connectionDidFailWithError(self, e.error); },
               },
               event);
}

void URLConnection::loadOnCurrentThread() { LoadingEngine::driveWithCurrentRunLoop(); }

// ---- Synchronous loads ----

std::optional<Data> URLConnection::sendSynchronousRequest(const URLRequest& request,
                                                          std::shared_ptr<URLResponse>* response, Error* error) {
    // A synchronous load made while this thread drives its engine (from inside another one's report) must
    // not drive it again: that one runs on an engine of its own.
    auto engine = LoadingEngine::ofCurrentThread();
    if (engine->isDriving()) engine = LoadingEngine::newEngine();
    auto client = std::make_shared<SynchronousClient>(engine);
    URLLoadOptions options = connectionOptions(false);
    options.engine = engine;
    auto load = URLLoad::create(request, client, std::move(options));
    load->start();
    return client->wait(response, error);
}

}  // namespace ql::ns
