#include "net/NetHTTPRequestOperation.h"

#include <string>
#include <utility>

#include "net/NetHTTPResponseSerializer.h"
#include "net/NetMissingSerializerErrors.h"
#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/Stream.h"
#include "platform/net/URLError.h"

namespace ql {

namespace {

const std::shared_ptr<ns::DispatchQueue>& processingQueue() {
    static const auto* queue = new std::shared_ptr<ns::DispatchQueue>(
        ns::DispatchQueue::concurrent("com.varnholt.networking.http-request.processing"));
    return *queue;
}

const std::shared_ptr<ns::DispatchGroup>& defaultHTTPCompletionGroup() {
    static const auto* group = new std::shared_ptr<ns::DispatchGroup>(std::make_shared<ns::DispatchGroup>());
    return *group;
}

// How much of the body a stream holds: a file stream's position, else what it wrote to memory.
std::uint64_t collectedLength(const ns::OutputStream& stream) {
    const ns::Value offset = stream.propertyForKey(ns::StreamFileCurrentOffsetKey);
    if (!offset.isNil()) return offset.uint64Value();
    const ns::Value written = stream.propertyForKey(ns::StreamDataWrittenToMemoryStreamKey);
    return written.asData() ? written.asData()->length() : 0;
}

}  // namespace

NetHTTPRequestOperation::NetHTTPRequestOperation(ns::URLRequest request)
    : NetURLConnectionOperation(std::move(request)) {}

std::shared_ptr<NetURLResponseSerialization> NetHTTPRequestOperation::responseSerializer() const {
    std::lock_guard guard(lock());
    if (!std::exchange(hasResponseSerializer_, true)) responseSerializer_ = NetHTTPResponseSerializer::serializer();
    return responseSerializer_;
}

void NetHTTPRequestOperation::setResponseSerializer(std::shared_ptr<NetURLResponseSerialization> serializer) {
    std::lock_guard guard(lock());
    responseSerializer_ = std::move(serializer);
    hasResponseSerializer_ = true;
    responseObject_ = ns::Value();
    responseSerializationError_.reset();
}

ns::Value NetHTTPRequestOperation::responseObject() {
    std::lock_guard guard(lock());
    if (responseObject_.isNil() && isFinished() && !error()) {
        std::optional<ns::Error> serializationError;
        if (const auto serializer = responseSerializer()) {
            responseObject_ = serializer->responseObjectForResponse(response(), responseData(), &serializationError);
        } else {
            serializationError = NetMissingResponseSerializerError();
        }
        if (serializationError) responseSerializationError_ = std::move(serializationError);
    }
    return responseObject_;
}

void NetHTTPRequestOperation::setResponseObject(ns::Value object) {
    std::lock_guard guard(lock());
    responseObject_ = std::move(object);
}

std::optional<ns::Error> NetHTTPRequestOperation::responseSerializationError() const {
    std::lock_guard guard(lock());
    return responseSerializationError_;
}

void NetHTTPRequestOperation::setResponseSerializationError(std::optional<ns::Error> error) {
    std::lock_guard guard(lock());
    responseSerializationError_ = std::move(error);
}

std::optional<ns::Error> NetHTTPRequestOperation::error() const {
    std::lock_guard guard(lock());
    if (responseSerializationError_) return responseSerializationError_;
    return NetURLConnectionOperation::error();
}

void NetHTTPRequestOperation::setCompletionBlockWithSuccess(SuccessBlock success, FailureBlock failure) {
    // The block holds the operation until it has run, so an operation nobody else keeps still reports.
    auto self = std::static_pointer_cast<NetHTTPRequestOperation>(shared_from_this());
    setCompletionBlock([self, success = std::move(success), failure = std::move(failure)] {
        const auto group = self->completionGroup();
        if (group) group->enter();
        processingQueue()->async([self, success, failure, group] {
            const auto deliveryGroup = group ? group : defaultHTTPCompletionGroup();
            const auto queue = self->completionQueue() ? self->completionQueue() : ns::DispatchQueue::main();
            const auto fail = [&](const ns::Error& error) {
                if (failure) deliveryGroup->async(queue, [self, failure, error] { failure(self, error); });
            };
            if (auto transportError = self->error()) {
                fail(*transportError);
            } else {
                const ns::Value object = self->responseObject();
                if (auto serializationError = self->error()) fail(*serializationError);
                else if (success) deliveryGroup->async(queue, [self, success, object] { success(self, object); });
            }
            if (group) group->leave();
        });
    });
}

void NetHTTPRequestOperation::pause() {
    NetURLConnectionOperation::pause();
    std::lock_guard guard(lock());
    const std::uint64_t offset = collectedLength(*outputStream());
    ns::URLRequest resumed = request();
    if (auto http = std::dynamic_pointer_cast<ns::HTTPURLResponse>(response())) {
        if (auto etag = http->valueForHTTPHeaderField("ETag")) resumed.setValue(*etag, "If-Range");
    }
    resumed.setValue("bytes=" + std::to_string(offset) + "-", "Range");
    setRequest(std::move(resumed));
}

void NetHTTPRequestOperation::connectionDidReceiveResponse(ns::URLConnection& connection,
                                                           const std::shared_ptr<ns::URLResponse>& response) {
    std::lock_guard guard(lock());  // a pause waits until the reply has been taken or refused
    if (!isCurrentConnection(connection)) return;
    NetURLConnectionOperation::connectionDidReceiveResponse(connection, response);
    const auto* http = dynamic_cast<const ns::HTTPURLResponse*>(response.get());
    if (!http || http->statusCode() == 206 || !request().valueForHTTPHeaderField("Range")) return;
    // The server sent the whole body instead of the rest: appending it would repeat what came before.
    if (collectedLength(*outputStream()) == 0 || restartResponseBody()) return;
    failLoad(connection, ns::urlError(ns::URLErrorCannotWriteToFile, request().URL()));
}

void NetHTTPRequestOperation::encodeWithCoder(ns::KeyedArchiver& coder) const {
    NetURLConnectionOperation::encodeWithCoder(coder);
    coder.encodeObject(ns::Value(std::dynamic_pointer_cast<ns::Object>(responseSerializer())), "responseSerializer");
}

bool NetHTTPRequestOperation::initWithCoder(ns::KeyedUnarchiver& coder) {
    if (!NetURLConnectionOperation::initWithCoder(coder)) return false;
    setResponseSerializer(coder.decodeObjectOfClass<NetHTTPResponseSerializer>("responseSerializer"));
    return true;
}

std::shared_ptr<ns::Object> NetHTTPRequestOperation::copy() const {
    auto made = std::dynamic_pointer_cast<NetHTTPRequestOperation>(NetURLConnectionOperation::copy());
    if (!made) return nullptr;
    const auto serializer = std::dynamic_pointer_cast<ns::Object>(responseSerializer());
    made->setResponseSerializer(
        std::dynamic_pointer_cast<NetURLResponseSerialization>(serializer ? serializer->copy() : nullptr));
    return made;
}

}  // namespace ql
