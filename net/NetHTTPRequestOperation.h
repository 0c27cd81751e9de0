#pragma once
// NetHTTPRequestOperation: a connection operation for HTTP. Its response serializer judges the finished
// reply and turns the body into an object, parsed on a concurrent processing queue off the main thread;
// a refused reply becomes the operation's error. The two-block completion calls exactly one of a success
// and a failure block on the completion queue. Pausing turns the request into a range request for the
// rest of the body.

#include <functional>
#include <memory>
#include <optional>

#include "net/NetURLConnectionOperation.h"
#include "net/NetURLResponseSerialization.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/Value.h"

namespace ql {

class NetHTTPRequestOperation : public NetURLConnectionOperation {
    QL_OBJECT(NetHTTPRequestOperation, NetURLConnectionOperation)
public:
    using SuccessBlock =
        std::function<void(const std::shared_ptr<NetHTTPRequestOperation>& operation, const ns::Value& responseObject)>;
    // The operation is null when no request could be built (see the managers).
    using FailureBlock =
        std::function<void(const std::shared_ptr<NetHTTPRequestOperation>& operation, const ns::Error& error)>;

    // With a plain HTTP response serializer, which validates the status code only.
    explicit NetHTTPRequestOperation(ns::URLRequest request);
    NetHTTPRequestOperation() : NetHTTPRequestOperation(ns::URLRequest()) {}

    std::shared_ptr<NetURLResponseSerialization> responseSerializer() const;
    // Forgets the parsed object and its error, so that the next read parses with the new serializer.
    void setResponseSerializer(std::shared_ptr<NetURLResponseSerialization> serializer);

    // The parsed reply, once the operation finished without a transport error; parsed on first read. A
    // nil result is not remembered.
    ns::Value responseObject();
    void setResponseObject(ns::Value object);
    std::optional<ns::Error> responseSerializationError() const;
    void setResponseSerializationError(std::optional<ns::Error> error);
    // The serialization error, else the transport or cancellation error.
    std::optional<ns::Error> error() const override;

    // Parses on the processing queue, then calls one of the blocks on the completion queue, in the
    // completion group (the default HTTP group unless one is set).
    void setCompletionBlockWithSuccess(SuccessBlock success, FailureBlock failure);

    // Also asks the next run for the rest of the body ("Range", with "If-Range" when the reply had an ETag).
    void pause() override;
    // A reply to a range request that is not partial content (206) starts the body over.
    void connectionDidReceiveResponse(ns::URLConnection& connection,
                                      const std::shared_ptr<ns::URLResponse>& response) override;

    void encodeWithCoder(ns::KeyedArchiver& coder) const override;
    bool initWithCoder(ns::KeyedUnarchiver& coder) override;
    // The base copy with a copy of the response serializer.
    std::shared_ptr<ns::Object> copy() const override;

private:
    // Made on first use unless one was set: most operations get their serializer from a manager at once.
    mutable std::shared_ptr<NetURLResponseSerialization> responseSerializer_;
    mutable bool hasResponseSerializer_ = false;
    ns::Value responseObject_;
    std::optional<ns::Error> responseSerializationError_;
};

}  // namespace ql
