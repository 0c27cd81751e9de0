#include "platform/net/URLRequest.h"

#include "platform/foundation/Object.h"
#include "platform/foundation/Stream.h"

namespace ql::ns {

URLRequest::URLRequest(std::optional<ns::URL> url, URLRequestCachePolicy cachePolicy, double timeoutInterval)
    : url_(std::move(url)), timeout_(timeoutInterval), cachePolicy_(cachePolicy) {}

void URLRequest::setHTTPMethod(std::string method) { method_ = method.empty() ? "GET" : std::move(method); }

void URLRequest::setHTTPBody(std::optional<Data> body) {
    body_ = std::move(body);
    if (body_) bodyStream_.reset();
}

void URLRequest::setHTTPBodyStream(std::shared_ptr<InputStream> stream) {
    bodyStream_ = std::move(stream);
    if (bodyStream_) body_.reset();
}

std::string URLRequest::description() const {
    return "<NSMutableURLRequest: " + addressText(this) + "> { URL: " + (url_ ? url_->absoluteString() : "(null)") +
           " }";
}

}  // namespace ql::ns
