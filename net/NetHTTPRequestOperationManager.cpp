#include "net/NetHTTPRequestOperationManager.h"

#include "net/NetBaseURL.h"
#include "net/NetHTTPResponseSerializer.h"
#include "net/NetJSONResponseSerializer.h"
#include "net/NetMissingSerializerErrors.h"
#include "net/NetURLLoadingCoding.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/Locked.h"

namespace ql {

NetHTTPRequestOperationManager::NetHTTPRequestOperationManager(std::optional<ns::URL> baseURL)
    : baseURL_(NetBaseURLWithTrailingSlash(std::move(baseURL))),
      requestSerializer_(NetHTTPRequestSerializer::serializer()),
      responseSerializer_(NetJSONResponseSerializer::serializer()),
      operationQueue_(std::make_shared<ns::OperationQueue>()),
      securityPolicy_(NetSecurityPolicy::defaultPolicy()),
      reachabilityManager_(NetNetworkReachabilityManager::sharedManager()) {}

std::shared_ptr<NetHTTPRequestOperationManager> NetHTTPRequestOperationManager::manager() {
    return std::make_shared<NetHTTPRequestOperationManager>();
}

// ---- Fields ----

bool NetHTTPRequestOperationManager::shouldUseCredentialStorage() const {
    return ns::lockedCopy(mutex_, shouldUseCredentialStorage_);
}

void NetHTTPRequestOperationManager::setShouldUseCredentialStorage(bool use) {
    ns::lockedStore(mutex_, shouldUseCredentialStorage_, use);
}

std::optional<ns::URL> NetHTTPRequestOperationManager::baseURL() const { return ns::lockedCopy(mutex_, baseURL_); }

void NetHTTPRequestOperationManager::setBaseURL(std::optional<ns::URL> url) {
    ns::lockedStore(mutex_, baseURL_, std::move(url));
}

std::shared_ptr<NetHTTPRequestSerializer> NetHTTPRequestOperationManager::requestSerializer() const {
    return ns::lockedCopy(mutex_, requestSerializer_);
}

void NetHTTPRequestOperationManager::setRequestSerializer(std::shared_ptr<NetHTTPRequestSerializer> serializer) {
    ns::lockedStore(mutex_, requestSerializer_, std::move(serializer));
}

std::shared_ptr<NetURLResponseSerialization> NetHTTPRequestOperationManager::responseSerializer() const {
    return ns::lockedCopy(mutex_, responseSerializer_);
}

void NetHTTPRequestOperationManager::setResponseSerializer(std::shared_ptr<NetURLResponseSerialization> serializer) {
    ns::lockedStore(mutex_, responseSerializer_, std::move(serializer));
}

std::shared_ptr<ns::OperationQueue> NetHTTPRequestOperationManager::operationQueue() const {
    return ns::lockedCopy(mutex_, operationQueue_);
}

void NetHTTPRequestOperationManager::setOperationQueue(std::shared_ptr<ns::OperationQueue> queue) {
    ns::lockedStore(mutex_, operationQueue_, std::move(queue));
}

std::shared_ptr<ns::URLCredential> NetHTTPRequestOperationManager::credential() const {
    return ns::lockedCopy(mutex_, credential_);
}

void NetHTTPRequestOperationManager::setCredential(std::shared_ptr<ns::URLCredential> credential) {
    ns::lockedStore(mutex_, credential_, std::move(credential));
}

std::shared_ptr<NetSecurityPolicy> NetHTTPRequestOperationManager::securityPolicy() const {
    return ns::lockedCopy(mutex_, securityPolicy_);
}

void NetHTTPRequestOperationManager::setSecurityPolicy(std::shared_ptr<NetSecurityPolicy> policy) {
    ns::lockedStore(mutex_, securityPolicy_, std::move(policy));
}

std::shared_ptr<NetNetworkReachabilityManager> NetHTTPRequestOperationManager::reachabilityManager() const {
    return ns::lockedCopy(mutex_, reachabilityManager_);
}

void NetHTTPRequestOperationManager::setReachabilityManager(std::shared_ptr<NetNetworkReachabilityManager> manager) {
    ns::lockedStore(mutex_, reachabilityManager_, std::move(manager));
}

std::shared_ptr<ns::DispatchQueue> NetHTTPRequestOperationManager::completionQueue() const {
    return ns::lockedCopy(mutex_, completionQueue_);
}

void NetHTTPRequestOperationManager::setCompletionQueue(std::shared_ptr<ns::DispatchQueue> queue) {
    ns::lockedStore(mutex_, completionQueue_, std::move(queue));
}

std::shared_ptr<ns::DispatchGroup> NetHTTPRequestOperationManager::completionGroup() const {
    return ns::lockedCopy(mutex_, completionGroup_);
}

void NetHTTPRequestOperationManager::setCompletionGroup(std::shared_ptr<ns::DispatchGroup> group) {
    ns::lockedStore(mutex_, completionGroup_, std::move(group));
}

// ---- Making operations ----

void NetHTTPRequestOperationManager::failWithoutOperation(const FailureBlock& failure, const ns::Error& error) const {
    if (!failure) return;
    const auto queue = completionQueue();
    (queue ? queue : ns::DispatchQueue::main())->async([failure, error] { failure(nullptr, error); });
}

bool NetHTTPRequestOperationManager::hasSerializers(bool hasRequestSerializer, const FailureBlock& failure) const {
    // A manager decoded from an archive without serializers has none: it refuses to send rather than
    // sending requests nobody built or parsing replies with nothing.
    const auto missing = NetMissingSerializerError(hasRequestSerializer, responseSerializer() != nullptr);
    if (!missing) return true;
    failWithoutOperation(failure, *missing);
    return false;
}

std::shared_ptr<NetHTTPRequestOperation> NetHTTPRequestOperationManager::HTTPRequestOperationWithHTTPMethod(
    std::string_view method, std::string_view URLString, const ns::Value& parameters, SuccessBlock success,
    FailureBlock failure) {
    const auto serializer = requestSerializer();
    if (!hasSerializers(serializer != nullptr, failure)) return nullptr;
    std::optional<ns::Error> error;
    auto request = serializer->requestWithMethod(method, NetResolvedURLString(URLString, baseURL()), parameters, &error);
    if (error || !request) {
        failWithoutOperation(failure, error.value_or(NetMissingRequestSerializerError()));
        return nullptr;
    }
    return HTTPRequestOperationWithRequest(*request, std::move(success), std::move(failure));
}

std::shared_ptr<NetHTTPRequestOperation> NetHTTPRequestOperationManager::HTTPRequestOperationWithRequest(
    const ns::URLRequest& request, SuccessBlock success, FailureBlock failure) {
    auto operation = std::make_shared<NetHTTPRequestOperation>(request);
    operation->setResponseSerializer(responseSerializer());
    operation->setShouldUseCredentialStorage(shouldUseCredentialStorage());
    operation->setCredential(credential());
    operation->setSecurityPolicy(securityPolicy());
    operation->setCompletionBlockWithSuccess(std::move(success), std::move(failure));
    operation->setCompletionQueue(completionQueue());
    operation->setCompletionGroup(completionGroup());
    return operation;
}

std::shared_ptr<NetHTTPRequestOperation> NetHTTPRequestOperationManager::enqueue(
    std::shared_ptr<NetHTTPRequestOperation> operation) const {
    if (operation) operationQueue()->addOperation(operation);
    return operation;
}

std::shared_ptr<NetHTTPRequestOperation> NetHTTPRequestOperationManager::GET(std::string_view URLString,
                                                                             const ns::Value& parameters,
                                                                             SuccessBlock success, FailureBlock failure) {
    return enqueue(HTTPRequestOperationWithHTTPMethod("GET", URLString, parameters, std::move(success), std::move(failure)));
}

std::shared_ptr<NetHTTPRequestOperation> NetHTTPRequestOperationManager::HEAD(std::string_view URLString,
                                                                              const ns::Value& parameters,
                                                                              HeadSuccessBlock success,
                                                                              FailureBlock failure) {
    SuccessBlock operationOnly;
    if (success) {
        operationOnly = [success = std::move(success)](const std::shared_ptr<NetHTTPRequestOperation>& operation,
                                                       const ns::Value&) { success(operation); };
    }
    return enqueue(HTTPRequestOperationWithHTTPMethod("HEAD", URLString, parameters, std::move(operationOnly),
                                                      std::move(failure)));
}

std::shared_ptr<NetHTTPRequestOperation> NetHTTPRequestOperationManager::POST(std::string_view URLString,
                                                                              const ns::Value& parameters,
                                                                              SuccessBlock success,
                                                                              FailureBlock failure) {
    return enqueue(HTTPRequestOperationWithHTTPMethod("POST", URLString, parameters, std::move(success), std::move(failure)));
}

std::shared_ptr<NetHTTPRequestOperation> NetHTTPRequestOperationManager::POST(std::string_view URLString,
                                                                              const ns::Value& parameters,
                                                                              const ConstructingBodyBlock& block,
                                                                              SuccessBlock success,
                                                                              FailureBlock failure) {
    const auto serializer = requestSerializer();
    if (!hasSerializers(serializer != nullptr, failure)) return nullptr;
    std::optional<ns::Error> error;
    auto request = serializer->multipartFormRequestWithMethod("POST", NetResolvedURLString(URLString, baseURL()),
                                                              parameters, block, &error);
    if (error || !request) {
        failWithoutOperation(failure, error.value_or(NetMissingRequestSerializerError()));
        return nullptr;
    }
    return enqueue(HTTPRequestOperationWithRequest(*request, std::move(success), std::move(failure)));
}

std::shared_ptr<NetHTTPRequestOperation> NetHTTPRequestOperationManager::PUT(std::string_view URLString,
                                                                             const ns::Value& parameters,
                                                                             SuccessBlock success, FailureBlock failure) {
    return enqueue(HTTPRequestOperationWithHTTPMethod("PUT", URLString, parameters, std::move(success), std::move(failure)));
}

std::shared_ptr<NetHTTPRequestOperation> NetHTTPRequestOperationManager::PATCH(std::string_view URLString,
                                                                               const ns::Value& parameters,
                                                                               SuccessBlock success,
                                                                               FailureBlock failure) {
    return enqueue(
        HTTPRequestOperationWithHTTPMethod("PATCH", URLString, parameters, std::move(success), std::move(failure)));
}

std::shared_ptr<NetHTTPRequestOperation> NetHTTPRequestOperationManager::DELETE(std::string_view URLString,
                                                                                const ns::Value& parameters,
                                                                                SuccessBlock success,
                                                                                FailureBlock failure) {
    return enqueue(
        HTTPRequestOperationWithHTTPMethod("DELETE", URLString, parameters, std::move(success), std::move(failure)));
}

std::string NetHTTPRequestOperationManager::description() const {
    const auto base = baseURL();
    return "<" + std::string(className()) + ": " + ns::addressText(this) +
           ", baseURL: " + (base ? base->absoluteString() : "(null)") + ", operationQueue: " + operationQueue()->description() +
           ">";
}

// ---- Archiving and copying ----

void NetHTTPRequestOperationManager::encodeWithCoder(ns::KeyedArchiver& coder) const {
    NetEncodeURL(coder, baseURL(), "baseURL");
    coder.encodeObject(ns::Value(std::static_pointer_cast<ns::Object>(requestSerializer())), "requestSerializer");
    coder.encodeObject(ns::Value(std::dynamic_pointer_cast<ns::Object>(responseSerializer())), "responseSerializer");
    coder.encodeObject(ns::Value(std::static_pointer_cast<ns::Object>(securityPolicy())), "securityPolicy");
}

bool NetHTTPRequestOperationManager::initWithCoder(ns::KeyedUnarchiver& coder) {
    setBaseURL(NetBaseURLWithTrailingSlash(NetDecodeURL(coder, "baseURL")));
    setRequestSerializer(coder.decodeObjectOfClass<NetHTTPRequestSerializer>("requestSerializer"));
    setResponseSerializer(coder.decodeObjectOfClass<NetHTTPResponseSerializer>("responseSerializer"));
    if (auto policy = coder.decodeObjectOfClass<NetSecurityPolicy>("securityPolicy")) setSecurityPolicy(std::move(policy));
    return true;
}

std::shared_ptr<ns::Object> NetHTTPRequestOperationManager::copy() const {
    auto made = std::dynamic_pointer_cast<NetHTTPRequestOperationManager>(objectClass().createInstance());
    if (!made) return nullptr;
    made->setBaseURL(baseURL());
    const auto copied = [](const std::shared_ptr<ns::Object>& object) { return object ? object->copy() : nullptr; };
    made->setRequestSerializer(std::dynamic_pointer_cast<NetHTTPRequestSerializer>(copied(requestSerializer())));
    made->setResponseSerializer(std::dynamic_pointer_cast<NetURLResponseSerialization>(
        copied(std::dynamic_pointer_cast<ns::Object>(responseSerializer()))));
    made->setSecurityPolicy(std::dynamic_pointer_cast<NetSecurityPolicy>(copied(securityPolicy())));
    return made;
}

}  // namespace ql
