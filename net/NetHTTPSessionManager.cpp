#include "net/NetHTTPSessionManager.h"

#include "net/NetBaseURL.h"
#include "net/NetHTTPResponseSerializer.h"
#include "net/NetMissingSerializerErrors.h"
#include "net/NetURLLoadingCoding.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/Locked.h"

namespace ql {

NetHTTPSessionManager::NetHTTPSessionManager(std::optional<ns::URL> baseURL,
                                             std::shared_ptr<ns::URLSessionConfiguration> configuration)
    : NetURLSessionManager(std::move(configuration)),
      baseURL_(NetBaseURLWithTrailingSlash(std::move(baseURL))),
      requestSerializer_(NetHTTPRequestSerializer::serializer()) {}

std::shared_ptr<NetHTTPSessionManager> NetHTTPSessionManager::manager() {
    return std::make_shared<NetHTTPSessionManager>();
}

std::optional<ns::URL> NetHTTPSessionManager::baseURL() const { return ns::lockedCopy(mutex_, baseURL_); }

void NetHTTPSessionManager::setBaseURL(std::optional<ns::URL> url) {
    ns::lockedStore(mutex_, baseURL_, std::move(url));
}

std::shared_ptr<NetHTTPRequestSerializer> NetHTTPSessionManager::requestSerializer() const {
    return ns::lockedCopy(mutex_, requestSerializer_);
}

void NetHTTPSessionManager::setRequestSerializer(std::shared_ptr<NetHTTPRequestSerializer> serializer) {
    ns::lockedStore(mutex_, requestSerializer_, std::move(serializer));
}

// ---- Requests ----

NetURLSessionManager::CompletionHandler NetHTTPSessionManager::splitting(
    std::shared_ptr<std::shared_ptr<ns::URLSessionDataTask>> task, SuccessBlock success, FailureBlock failure) {
    return [task = std::move(task), success = std::move(success), failure = std::move(failure)](
               const std::shared_ptr<ns::URLResponse>&, const ns::Value& responseObject,
               const std::optional<ns::Error>& error) {
        if (error) {
            if (failure) failure(*task, *error);
        } else if (success) {
            success(*task, responseObject);
        }
    };
}

void NetHTTPSessionManager::failWithoutTask(const FailureBlock& failure, const ns::Error& error) const {
    if (!failure) return;
    const auto queue = completionQueue();
    (queue ? queue : ns::DispatchQueue::main())->async([failure, error] { failure(nullptr, error); });
}

bool NetHTTPSessionManager::hasSerializers(const FailureBlock& failure) const {
    // A manager decoded from an archive without serializers has none: it refuses to send rather than
    // sending requests nobody built or delivering replies nobody parsed.
    const auto missing = NetMissingSerializerError(requestSerializer() != nullptr, responseSerializer() != nullptr);
    if (!missing) return true;
    failWithoutTask(failure, *missing);
    return false;
}

std::shared_ptr<ns::URLSessionDataTask> NetHTTPSessionManager::resumed(std::shared_ptr<ns::URLSessionDataTask> task) {
    if (task) task->resume();
    return task;
}

std::shared_ptr<ns::URLSessionDataTask> NetHTTPSessionManager::dataTaskWithHTTPMethod(std::string_view method,
                                                                                      std::string_view URLString,
                                                                                      const ns::Value& parameters,
                                                                                      SuccessBlock success,
                                                                                      FailureBlock failure) {
    if (!hasSerializers(failure)) return nullptr;
    std::optional<ns::Error> error;
    auto request = requestSerializer()->requestWithMethod(method, NetResolvedURLString(URLString, baseURL()), parameters,
                                                          &error);
    if (error || !request) {
        failWithoutTask(failure, error.value_or(NetMissingRequestSerializerError()));
        return nullptr;
    }
    auto made = std::make_shared<std::shared_ptr<ns::URLSessionDataTask>>();
    auto task = dataTaskWithRequest(*request, splitting(made, std::move(success), std::move(failure)));
    *made = task;
    return task;
}

std::shared_ptr<ns::URLSessionDataTask> NetHTTPSessionManager::GET(std::string_view URLString,
                                                                   const ns::Value& parameters, SuccessBlock success,
                                                                   FailureBlock failure) {
    return resumed(dataTaskWithHTTPMethod("GET", URLString, parameters, std::move(success), std::move(failure)));
}

std::shared_ptr<ns::URLSessionDataTask> NetHTTPSessionManager::HEAD(std::string_view URLString,
                                                                    const ns::Value& parameters,
                                                                    HeadSuccessBlock success, FailureBlock failure) {
    SuccessBlock taskOnly;
    if (success) {
        taskOnly = [success = std::move(success)](const std::shared_ptr<ns::URLSessionDataTask>& task,
                                                  const ns::Value&) { success(task); };
    }
    return resumed(dataTaskWithHTTPMethod("HEAD", URLString, parameters, std::move(taskOnly), std::move(failure)));
}

std::shared_ptr<ns::URLSessionDataTask> NetHTTPSessionManager::POST(std::string_view URLString,
                                                                    const ns::Value& parameters, SuccessBlock success,
                                                                    FailureBlock failure) {
    return resumed(dataTaskWithHTTPMethod("POST", URLString, parameters, std::move(success), std::move(failure)));
}

std::shared_ptr<ns::URLSessionDataTask> NetHTTPSessionManager::POST(std::string_view URLString,
                                                                    const ns::Value& parameters,
                                                                    const ConstructingBodyBlock& block,
                                                                    SuccessBlock success, FailureBlock failure) {
    if (!hasSerializers(failure)) return nullptr;
    std::optional<ns::Error> error;
    auto request = requestSerializer()->multipartFormRequestWithMethod(
        "POST", NetResolvedURLString(URLString, baseURL()), parameters, block, &error);
    if (error || !request) {
        failWithoutTask(failure, error.value_or(NetMissingRequestSerializerError()));
        return nullptr;
    }
    auto made = std::make_shared<std::shared_ptr<ns::URLSessionDataTask>>();
    std::shared_ptr<ns::URLSessionDataTask> task =
        uploadTaskWithStreamedRequest(*request, nullptr, splitting(made, std::move(success), std::move(failure)));
    *made = task;
    return resumed(std::move(task));
}

std::shared_ptr<ns::URLSessionDataTask> NetHTTPSessionManager::PUT(std::string_view URLString,
                                                                   const ns::Value& parameters, SuccessBlock success,
                                                                   FailureBlock failure) {
    return resumed(dataTaskWithHTTPMethod("PUT", URLString, parameters, std::move(success), std::move(failure)));
}

std::shared_ptr<ns::URLSessionDataTask> NetHTTPSessionManager::PATCH(std::string_view URLString,
                                                                     const ns::Value& parameters, SuccessBlock success,
                                                                     FailureBlock failure) {
    return resumed(dataTaskWithHTTPMethod("PATCH", URLString, parameters, std::move(success), std::move(failure)));
}

std::shared_ptr<ns::URLSessionDataTask> NetHTTPSessionManager::DELETE(std::string_view URLString,
                                                                      const ns::Value& parameters, SuccessBlock success,
                                                                      FailureBlock failure) {
    return resumed(dataTaskWithHTTPMethod("DELETE", URLString, parameters, std::move(success), std::move(failure)));
}

std::string NetHTTPSessionManager::description() const {
    const auto base = baseURL();
    return "<" + std::string(className()) + ": " + ns::addressText(this) +
           ", baseURL: " + (base ? base->absoluteString() : "(null)") + ", session: " + session()->description() +
           ", operationQueue: " + operationQueue()->description() + ">";
}

// ---- Archiving and copying ----

void NetHTTPSessionManager::encodeWithCoder(ns::KeyedArchiver& coder) const {
    NetURLSessionManager::encodeWithCoder(coder);  // the session configuration
    NetEncodeURL(coder, baseURL(), "baseURL");
    coder.encodeObject(ns::Value(std::static_pointer_cast<ns::Object>(requestSerializer())), "requestSerializer");
    coder.encodeObject(ns::Value(std::dynamic_pointer_cast<ns::Object>(responseSerializer())), "responseSerializer");
    coder.encodeObject(ns::Value(std::static_pointer_cast<ns::Object>(securityPolicy())), "securityPolicy");
}

bool NetHTTPSessionManager::initWithCoder(ns::KeyedUnarchiver& coder) {
    if (!NetURLSessionManager::initWithCoder(coder)) return false;
    setBaseURL(NetBaseURLWithTrailingSlash(NetDecodeURL(coder, "baseURL")));
    setRequestSerializer(coder.decodeObjectOfClass<NetHTTPRequestSerializer>("requestSerializer"));
    setResponseSerializer(coder.decodeObjectOfClass<NetHTTPResponseSerializer>("responseSerializer"));
    if (auto policy = coder.decodeObjectOfClass<NetSecurityPolicy>("securityPolicy")) setSecurityPolicy(std::move(policy));
    return true;
}

std::shared_ptr<ns::Object> NetHTTPSessionManager::copy() const {
    auto made = std::dynamic_pointer_cast<NetHTTPSessionManager>(NetURLSessionManager::copy());
    if (!made) return nullptr;
    const auto copied = [](const std::shared_ptr<ns::Object>& object) { return object ? object->copy() : nullptr; };
    made->setBaseURL(baseURL());
    made->setRequestSerializer(std::dynamic_pointer_cast<NetHTTPRequestSerializer>(copied(requestSerializer())));
    made->setResponseSerializer(std::dynamic_pointer_cast<NetURLResponseSerialization>(
        copied(std::dynamic_pointer_cast<ns::Object>(responseSerializer()))));
    made->setSecurityPolicy(std::dynamic_pointer_cast<NetSecurityPolicy>(copied(securityPolicy())));
    return made;
}

}  // namespace ql
