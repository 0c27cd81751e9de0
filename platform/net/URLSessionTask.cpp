#include "platform/net/URLSessionTask.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "platform/foundation/Locked.h"
#include "platform/foundation/OperationQueue.h"
#include "platform/net/LoadingEngine.h"
#include "platform/net/URLError.h"
#include "platform/net/URLSession.h"
#include "platform/net/URLSessionDelegateDispatch.h"

namespace ql::ns {

namespace {

template <class... F>
struct Overloaded : F... {
    using F::operator()...;
};
template <class... F>
Overloaded(F...) -> Overloaded<F...>;

struct Hooks {
    std::mutex mutex;
    std::vector<URLSessionTask::MethodHook> resume;
    std::vector<URLSessionTask::MethodHook> suspend;
};

Hooks& hooks() {
    static auto* h = new Hooks;
    return *h;
}

// Runs `original` through the hooks, the last installed outermost.
void callThroughHooks(URLSessionTask& task, std::vector<URLSessionTask::MethodHook> installed,
                      std::function<void()> original) {
    std::function<void()> call = std::move(original);
    for (auto& hook : installed) {
        call = [&task, hook = std::move(hook), inner = std::move(call)] { hook(task, inner); };
    }
    call();
}

const char* stateWord(URLSessionTaskState state) {
    switch (state) {
        case URLSessionTaskState::Running: return "running";
        case URLSessionTaskState::Suspended: return "suspended";
        case URLSessionTaskState::Canceling: return "canceling";
        case URLSessionTaskState::Completed: return "completed";
    }
    return "";
}

// The platform's way of answering a challenge through a session's completion handler.
URLSessionChallengeCompletion answerThroughSender(std::shared_ptr<URLAuthenticationChallenge> challenge) {
    return [challenge](URLSessionAuthChallengeDisposition disposition, std::shared_ptr<URLCredential> credential) {
        URLAuthenticationChallengeSender& sender = *challenge->sender();
        switch (disposition) {
            case URLSessionAuthChallengeDisposition::UseCredential:
                if (credential) sender.useCredential(credential, *challenge);
                else sender.continueWithoutCredentialForAuthenticationChallenge(*challenge);
                break;
            case URLSessionAuthChallengeDisposition::PerformDefaultHandling:
                sender.performDefaultHandlingForAuthenticationChallenge(*challenge);
                break;
            case URLSessionAuthChallengeDisposition::CancelAuthenticationChallenge:
                sender.cancelAuthenticationChallenge(*challenge);
                break;
            case URLSessionAuthChallengeDisposition::RejectProtectionSpace:
                sender.rejectProtectionSpaceAndContinueWithChallenge(*challenge);
                break;
        }
    };
}

}  // namespace

// ---- Hooks ----

void URLSessionTask::installResumeHook(MethodHook hook) {
    std::lock_guard lock(hooks().mutex);
    hooks().resume.push_back(std::move(hook));
}

void URLSessionTask::installSuspendHook(MethodHook hook) {
    std::lock_guard lock(hooks().mutex);
    hooks().suspend.push_back(std::move(hook));
}

void URLSessionTask::removeAllHooks() {
    std::lock_guard lock(hooks().mutex);
    hooks().resume.clear();
    hooks().suspend.clear();
}

// ---- The task ----

URLSessionTask::URLSessionTask(std::weak_ptr<URLSession> session, std::uint64_t identifier, URLRequest request,
                               Upload upload, std::int64_t expectedToSend)
    : weakSession_(std::move(session)),
      identifier_(identifier),
      originalRequest_(std::move(request)),
      upload_(std::move(upload)),
      queue_([this](bool held) {
          if (auto load = backpressureTarget_.lock()) load->setBackpressure(held);
      }),
      expectedToSend_(expectedToSend) {}

URLSessionTask::~URLSessionTask() = default;

std::shared_ptr<URLSession> URLSessionTask::session() const {
    {
        std::lock_guard lock(mutex_);
        if (runningSession_) return runningSession_;
    }
    return weakSession_.lock();
}

std::shared_ptr<URLSessionDelegate> URLSessionTask::delegate() const {
    auto session = this->session();
    return session ? session->delegate() : nullptr;
}

URLRequest URLSessionTask::currentRequest() const {
    std::lock_guard lock(mutex_);
    return redirectedRequest_ ? *redirectedRequest_ : originalRequest_;
}

std::shared_ptr<URLResponse> URLSessionTask::response() const { return ns::lockedCopy(mutex_, response_); }

std::optional<Error> URLSessionTask::error() const { return ns::lockedCopy(mutex_, error_); }

URLSessionTaskState URLSessionTask::state() const { return ns::lockedCopy(mutex_, state_); }

std::int64_t URLSessionTask::countOfBytesSent() const { return ns::lockedCopy(mutex_, sent_); }

std::int64_t URLSessionTask::countOfBytesReceived() const { return ns::lockedCopy(mutex_, received_); }

std::int64_t URLSessionTask::countOfBytesExpectedToSend() const { return ns::lockedCopy(mutex_, expectedToSend_); }

std::int64_t URLSessionTask::countOfBytesExpectedToReceive() const {
    return ns::lockedCopy(mutex_, expectedToReceive_);
}

std::optional<std::string> URLSessionTask::taskDescription() const { return ns::lockedCopy(mutex_, description_); }

void URLSessionTask::setTaskDescription(std::optional<std::string> description) {
    willChangeValueForKey("taskDescription");
    {
        std::lock_guard lock(mutex_);
        description_ = std::move(description);
    }
    didChangeValueForKey("taskDescription");
}

std::string URLSessionTask::description() const {
    return "<" + std::string(className()) + ": " + addressText(this) + "> { taskIdentifier: " +
           std::to_string(identifier_) + " } { " + stateWord(state()) + " }";
}

Value URLSessionTask::valueForKey(std::string_view key) const {
    if (key == "state") return Value(static_cast<std::int64_t>(state()));
    if (key == "taskIdentifier") return Value(identifier_);
    if (key == "countOfBytesSent") return Value(countOfBytesSent());
    if (key == "countOfBytesReceived") return Value(countOfBytesReceived());
    if (key == "countOfBytesExpectedToSend") return Value(countOfBytesExpectedToSend());
    if (key == "countOfBytesExpectedToReceive") return Value(countOfBytesExpectedToReceive());
    if (key == "taskDescription") {
        auto description = taskDescription();
        return description ? Value(*description) : Value();
    }
    return Object::valueForKey(key);
}

void URLSessionTask::changeState(URLSessionTaskState state) {
    willChangeValueForKey("state");
    {
        std::lock_guard lock(mutex_);
        state_ = state;
    }
    didChangeValueForKey("state");
}

void URLSessionTask::addReceivedBytes(std::int64_t count) {
    willChangeValueForKey("countOfBytesReceived");
    {
        std::lock_guard lock(mutex_);
        received_ += count;
    }
    didChangeValueForKey("countOfBytesReceived");
}

void URLSessionTask::setExpectedToReceive(std::int64_t count) {
    willChangeValueForKey("countOfBytesExpectedToReceive");
    {
        std::lock_guard lock(mutex_);
        expectedToReceive_ = count;
    }
    didChangeValueForKey("countOfBytesExpectedToReceive");
}

void URLSessionTask::resume() {
    std::vector<MethodHook> installed;
    {
        std::lock_guard lock(hooks().mutex);
        installed = hooks().resume;
    }
    if (installed.empty()) return resumeTask();
    callThroughHooks(*this, std::move(installed), [this] { resumeTask(); });
}

void URLSessionTask::suspend() {
    std::vector<MethodHook> installed;
    {
        std::lock_guard lock(hooks().mutex);
        installed = hooks().suspend;
    }
    if (installed.empty()) return suspendTask();
    callThroughHooks(*this, std::move(installed), [this] { suspendTask(); });
}

void URLSessionTask::resumeTask() {
    std::shared_ptr<URLSession> session;
    std::shared_ptr<URLLoad> load;
    {
        std::lock_guard lock(mutex_);
        if (state_ != URLSessionTaskState::Suspended) return;
        load = load_;
        if (!load) session = weakSession_.lock();
    }
    const bool starting = !load;
    if (starting) {
        if (!session) return;  // its session is gone: there is nobody to tell
        // The session is asked outside the task's lock: the session asks its tasks under its own.
        URLLoadOptions options = session->loadOptions();
        std::visit(Overloaded{[](std::monostate) {}, [&](const Data& data) { options.uploadBody = data; },
                              [&](const std::string& path) { options.uploadBody = path; }},
                   upload_);
        prepareLoad(options);
        auto self = std::static_pointer_cast<URLSessionTask>(shared_from_this());
        load = URLLoad::create(originalRequest_, std::shared_ptr<URLLoadClient>(self, static_cast<URLLoadClient*>(this)),
                               std::move(options));
        std::lock_guard lock(mutex_);
        if (load_ || state_ != URLSessionTaskState::Suspended) return;  // another thread got there first
        runningSession_ = session;
        load_ = load;
        backpressureTarget_ = load;
    }
    changeState(URLSessionTaskState::Running);
    if (starting) {
        session->taskDidStart();
        load->start();
    } else {
        load->setSuspended(false);
    }
    requestDrain();
}

void URLSessionTask::suspendTask() {
    std::shared_ptr<URLLoad> load;
    {
        std::lock_guard lock(mutex_);
        if (state_ != URLSessionTaskState::Running) return;
        load = load_;
    }
    changeState(URLSessionTaskState::Suspended);
    if (load) load->setSuspended(true);
}

void URLSessionTask::cancel() {
    cancelWithError(urlError(URLErrorCancelled, originalRequest_.URL()));
}

void URLSessionTask::cancelWithError(Error error) {
    std::lock_guard delivering(deliveryMutex_);
    std::shared_ptr<URLLoad> load;
    std::shared_ptr<URLSession> startedNow;
    {
        std::lock_guard lock(mutex_);
        if (cancelled_ || state_ == URLSessionTaskState::Completed) return;
        cancelled_ = true;
        held_ = false;
        load = load_;
        if (!runningSession_) startedNow = runningSession_ = weakSession_.lock();
    }
    changeState(URLSessionTaskState::Canceling);
    if (startedNow) startedNow->taskDidStart();
    if (load) load->cancel();
    queue_.clear();
    queue_.push(load_event::Failed{std::move(error)});
    requestDrain();
}

void URLSessionTask::hold() { ns::lockedStore(mutex_, held_, true); }

void URLSessionTask::release() {
    {
        std::lock_guard lock(mutex_);
        held_ = false;
    }
    requestDrain();
}

void URLSessionTask::requestDrain() {
    std::shared_ptr<URLSession> session;
    {
        std::lock_guard lock(mutex_);
        if (draining_ || held_ || state_ == URLSessionTaskState::Suspended || queue_.empty()) return;
        session = runningSession_;
        if (!session) return;
        draining_ = true;
    }
    auto self = std::static_pointer_cast<URLSessionTask>(shared_from_this());
    session->delegateQueue()->addOperationWithBlock([self] { self->drain(); });
}

void URLSessionTask::drain() {
    std::lock_guard delivering(deliveryMutex_);
    for (;;) {
        std::optional<LoadEvent> event;
        {
            std::lock_guard lock(mutex_);
            if (!held_ && state_ != URLSessionTaskState::Suspended) event = queue_.pop();
            if (!event) {
                draining_ = false;
                return;
            }
        }
        dispatch(*event);
    }
}

void URLSessionTask::dispatch(LoadEvent& event) {
    auto session = this->session();
    if (!session) return;
    auto sessionDelegate = session->delegate();
    auto delegate = std::dynamic_pointer_cast<URLSessionTaskDelegate>(sessionDelegate);
    std::weak_ptr<URLSessionTask> weak = std::static_pointer_cast<URLSessionTask>(shared_from_this());
    std::visit(
        Overloaded{
            [&](load_event::WillSendRequest& e) {
                auto redirect = std::dynamic_pointer_cast<HTTPURLResponse>(e.redirectResponse);
                auto answer = [weak, answer = std::move(e.answer)](std::optional<URLRequest> request) {
                    auto self = weak.lock();
                    if (!self) return;
                    if (request) {
                        std::lock_guard lock(self->mutex_);
                        self->redirectedRequest_ = *request;
                    }
                    answer(std::move(request));
                    self->release();
                };
                hold();
                if (!delegate || !redirect) return answer(e.request);
                delegate->URLSessionTaskWillPerformHTTPRedirection(*session, *this, redirect, e.request,
                                                                   std::move(answer));
            },
            [&](load_event::Challenge& e) {
                if (e.cancelled) return;
                auto handler = answerThroughSender(e.challenge);
                if (delegate) return delegate->URLSessionTaskDidReceiveChallenge(*session, *this, e.challenge, handler);
                if (sessionDelegate) return sessionDelegate->URLSessionDidReceiveChallenge(*session, e.challenge, handler);
                handler(URLSessionAuthChallengeDisposition::PerformDefaultHandling, nullptr);
            },
            [&](load_event::NeedNewBodyStream& e) {
                if (!delegate) return e.answer(nullptr);
                delegate->URLSessionTaskNeedNewBodyStream(*session, *this, std::move(e.answer));
            },
            [&](load_event::SentBodyData& e) {
                willChangeValueForKey("countOfBytesSent");
                {
                    std::lock_guard lock(mutex_);
                    sent_ = e.totalBytesSent;
                }
                didChangeValueForKey("countOfBytesSent");
                if (delegate)
                    URLSessionDelegateDispatch::URLSessionTaskDidSendBodyData(
                        *delegate, *session, *this, e.bytesSent, e.totalBytesSent, e.totalBytesExpectedToSend);
            },
            [&](load_event::Response& e) {
                {
                    std::lock_guard lock(mutex_);
                    response_ = e.response;
                }
                setExpectedToReceive(e.response->expectedContentLength());
                deliverResponse(e.response);
            },
            [&](load_event::Received& e) {
                addReceivedBytes(static_cast<std::int64_t>(e.data.length()));
                deliverData(e.data);
            },
            [&](load_event::WillCache& e) { deliverCacheOffer(e); },
            [&](load_event::Finished&) { complete(std::nullopt); },
            [&](load_event::Failed& e) { complete(e.error); },
        },
        event);
}

void URLSessionTask::complete(const std::optional<Error>& error) {
    {
        std::lock_guard lock(mutex_);
        error_ = error;
    }
    changeState(URLSessionTaskState::Completed);
    deliverCompletion(error);
    std::shared_ptr<URLSession> session;
    {
        std::lock_guard lock(mutex_);
        session = std::move(runningSession_);
        load_.reset();
    }
    queue_.clear();
    if (session) session->taskDidComplete(*this);
}

void URLSessionTask::tellDelegateCompleted(const std::optional<Error>& error) {
    auto session = this->session();
    auto delegate = std::dynamic_pointer_cast<URLSessionTaskDelegate>(session ? session->delegate() : nullptr);
    if (delegate) URLSessionDelegateDispatch::URLSessionTaskDidCompleteWithError(*delegate, *session, *this, error);
}

// ---- Load reports (any thread) ----

void URLSessionTask::enqueue(LoadEvent event) {
    {
        std::lock_guard lock(mutex_);
        if (cancelled_) return;  // a report that crossed the cancellation
    }
    queue_.push(std::move(event));
    // Reports of one round of the engine wake the delegate's queue once, at the end of the round, unless
    // enough of the body waits (a round can last a whole download).
    LoadingEngine* engine = LoadingEngine::drivingEngine();
    if (!engine || queue_.wantsDeliveryNow()) return requestDrain();
    {
        std::lock_guard lock(mutex_);
        if (std::exchange(drainDeferred_, true)) return;
    }
    engine->atEndOfRound([self = std::static_pointer_cast<URLSessionTask>(shared_from_this())] {
        {
            std::lock_guard lock(self->mutex_);
            self->drainDeferred_ = false;
        }
        self->requestDrain();
    });
}

void URLSessionTask::loadDidReceiveResponse(const std::shared_ptr<URLResponse>& response) {
    if (!takesReplyOnArrival()) return enqueue(load_event::Response{response});
    {
        std::lock_guard lock(mutex_);
        if (cancelled_) return;
        response_ = response;
    }
    setExpectedToReceive(response->expectedContentLength());
}

void URLSessionTask::loadDidReceiveData(const Data& data) {
    if (!takesReplyOnArrival()) return enqueue(load_event::Received{data});
    {
        std::lock_guard lock(mutex_);
        if (cancelled_) return;
    }
    addReceivedBytes(static_cast<std::int64_t>(data.length()));
    takeData(data);
}

// ---- Data tasks ----

URLSessionDataTask::URLSessionDataTask(Key, std::weak_ptr<URLSession> session, std::uint64_t identifier,
                                       URLRequest request, Upload upload, std::int64_t expectedToSend,
                                       CompletionHandler completionHandler)
    : URLSessionTask(std::move(session), identifier, std::move(request), std::move(upload), expectedToSend),
      completionHandler_(std::move(completionHandler)) {
    if (completionHandler_) setHasCompletionHandler();
}

void URLSessionDataTask::deliverResponse(const std::shared_ptr<URLResponse>& response) {
    if (hasCompletionHandler()) return;
    auto session = this->session();
    auto delegate = std::dynamic_pointer_cast<URLSessionDataDelegate>(this->delegate());
    if (!delegate || !session) return;
    hold();
    std::weak_ptr<URLSessionDataTask> weak = std::static_pointer_cast<URLSessionDataTask>(shared_from_this());
    delegate->URLSessionDataTaskDidReceiveResponse(*session, *this, response,
                                                   [weak](URLSessionResponseDisposition disposition) {
                                                       auto self = weak.lock();
                                                       if (!self) return;
                                                       if (disposition == URLSessionResponseDisposition::Allow)
                                                           return self->release();
                                                       self->cancel();
                                                   });
}

void URLSessionDataTask::takeData(const Data& data) {
    std::lock_guard lock(bodyMutex_);
    body_.append(data);
}

void URLSessionDataTask::deliverData(const Data& data) {
    if (hasCompletionHandler()) return takeData(data);
    auto session = this->session();
    auto delegate = std::dynamic_pointer_cast<URLSessionDataDelegate>(this->delegate());
    if (delegate && session) URLSessionDelegateDispatch::URLSessionDataTaskDidReceiveData(*delegate, *session, *this, data);
}

void URLSessionDataTask::deliverCacheOffer(load_event::WillCache& offer) {
    auto session = this->session();
    auto delegate = std::dynamic_pointer_cast<URLSessionDataDelegate>(this->delegate());
    if (hasCompletionHandler() || !delegate || !session) return offer.answer(offer.proposed);
    hold();
    std::weak_ptr<URLSessionDataTask> weak = std::static_pointer_cast<URLSessionDataTask>(shared_from_this());
    delegate->URLSessionDataTaskWillCacheResponse(
        *session, *this, offer.proposed, [weak, answer = offer.answer](std::shared_ptr<CachedURLResponse> kept) {
            answer(std::move(kept));
            if (auto self = weak.lock()) self->release();
        });
}

void URLSessionDataTask::deliverCompletion(const std::optional<Error>& error) {
    if (!hasCompletionHandler()) return tellDelegateCompleted(error);
    auto handler = std::move(completionHandler_);
    Data body;
    {
        std::lock_guard lock(bodyMutex_);
        body = std::exchange(body_, Data());
    }
    if (handler) handler(error ? std::nullopt : std::optional<Data>(std::move(body)), response(), error);
}

}  // namespace ql::ns
