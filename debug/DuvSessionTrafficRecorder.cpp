#include "debug/DuvSessionTrafficRecorder.h"

#include <mutex>
#include <typeinfo>

#include "debug/DuvExchangeText.h"
#include "debug/DuvHttpDatasource.h"
#include "platform/foundation/Date.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Runtime.h"
#include "platform/foundation/UUID.h"
#include "platform/net/URLSessionTask.h"

namespace ql {

namespace {

// Keys of the values a task carries for the recorder.
const char requestIdKey = 0;
const char startTimeKey = 0;
const char taskDataIdentifyKey = 0;
const char responseDatasKey = 0;

// The response bytes of one task, appended by the delegate that saw the task first.
class DuvResponseBuffer final : public ns::Object {
    QL_OBJECT(DuvResponseBuffer, ns::Object)
public:
    void append(const ns::Data& data) {
        std::lock_guard lock(mutex_);
        data_.append(data);
    }
    ns::Data data() const {
        std::lock_guard lock(mutex_);
        return data_;
    }

private:
    mutable std::mutex mutex_;
    ns::Data data_;
};

std::string receiverClassName(ns::URLSessionDataDelegate& receiver) {
    const auto* object = dynamic_cast<const ns::Object*>(&receiver);
    return object ? std::string(object->objectClass().name()) : typeid(receiver).name();
}

// Only delegates that take data-task calls are watched, as the recorder chooses classes by those calls.
bool watches(ns::URLSessionTaskDelegate& receiver) {
    return dynamic_cast<ns::URLSessionDataDelegate*>(&receiver) != nullptr;
}

void stamp(ns::URLSessionTask& task) {
    task.setAssociatedValue(&requestIdKey, ns::UUID().UUIDString());
    task.setAssociatedValue(&startTimeKey, ns::Date::now().timeIntervalSince1970());
}

void install() {
    ns::URLSessionDelegateDispatch::addInterceptor(std::make_shared<DuvSessionTrafficRecorder>());
    // A task that sends no body is never stamped by a body-sent call: it gets its identity when it starts,
    // so it too is recorded once and with its whole duration.
    ns::URLSessionTask::installResumeHook([](ns::URLSessionTask& task, const std::function<void()>& original) {
        if (task.associatedValue(&requestIdKey).isNil()) stamp(task);
        original();
    });
}

}  // namespace

void DuvSessionTrafficRecorder::registerLoadHook() {
    ns::Runtime::registerLoadHook(ns::Runtime::LoadPhase::CategoryLoad, std::string(kLoadHookName), &install);
}

void DuvSessionTrafficRecorder::install() {
    static std::once_flag once;
    std::call_once(once, &ql::install);
}

void DuvSessionTrafficRecorder::URLSessionTaskDidSendBodyData(ns::URLSessionTaskDelegate& receiver, ns::URLSession&,
                                                              ns::URLSessionTask& task, std::int64_t, std::int64_t,
                                                              std::int64_t, const std::function<void()>& forward) {
    if (watches(receiver)) stamp(task);
    forward();
}

void DuvSessionTrafficRecorder::URLSessionDataTaskDidReceiveData(ns::URLSessionDataDelegate& receiver,
                                                                 ns::URLSession&, ns::URLSessionDataTask& dataTask,
                                                                 const ns::Data& data,
                                                                 const std::function<void()>& forward) {
    const std::string owner = receiverClassName(receiver);
    auto buffer = dataTask.associatedValue(&responseDatasKey).asObject<DuvResponseBuffer>();
    if (!buffer) {
        buffer = std::make_shared<DuvResponseBuffer>();
        dataTask.setAssociatedValue(&responseDatasKey, ns::Value(buffer));
        dataTask.setAssociatedValue(&taskDataIdentifyKey, owner);
    }
    if (dataTask.associatedValue(&taskDataIdentifyKey).stringValue() == owner) buffer->append(data);
    forward();
}

void DuvSessionTrafficRecorder::URLSessionTaskDidCompleteWithError(ns::URLSessionTaskDelegate& receiver,
                                                                   ns::URLSession&, ns::URLSessionTask& task,
                                                                   const std::optional<ns::Error>&,
                                                                   const std::function<void()>& forward) {
    forward();
    if (!watches(receiver)) return;
    const ns::Value requestId = task.associatedValue(&requestIdKey);
    if (requestId.isString() && DuvHttpDatasource::shareInstance().containsRequestId(requestId.stringValue())) return;

    const ns::URLRequest& request = task.originalRequest();
    const std::string absoluteURL = request.URL() ? request.URL()->absoluteString() : std::string();
    if (!DuvExchangeText::passesHostFilter(absoluteURL)) return;

    std::optional<ns::Data> responseBytes;
    if (auto buffer = task.associatedValue(&responseDatasKey).asObject<DuvResponseBuffer>()) responseBytes = buffer->data();
    auto model = DuvExchangeText::model(request, task.response(), responseBytes,
                                        task.associatedValue(&startTimeKey).doubleValue());
    if (requestId.isString()) model->requestId = requestId.stringValue();

    DuvHttpDatasource::shareInstance().addHttpRequset(std::move(model));
    ns::NotificationCenter::defaultCenter().post(kNotifyKeyReloadHttp);
}

}  // namespace ql
