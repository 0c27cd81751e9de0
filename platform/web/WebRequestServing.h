#pragma once
// Serving a page's requests through the platform's URL loading: the engine holds each request the page
// makes; it is turned into a platform request, loaded like any other (registered URL protocols, cookies,
// the URL cache and server trust apply), and the reply is handed back to the engine whole. Redirects are
// handed back as they came, so the engine follows them and its view hears of each new document request.

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/Data.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/Value.h"
#include "platform/net/URLRequest.h"
#include "platform/net/URLResponse.h"
#include "platform/net/URLSessionTask.h"

namespace ql::ui {

// The platform request for the request a page made (the "request" of a held request's event); the
// engine's own cookie header is left out, since the platform's cookie storage supplies the cookies.
ns::URLRequest platformRequestFromPage(const ns::Value& pageRequest);

// Why a page may not make the request, if it may not: a file outside the app's sandbox.
std::optional<ns::Error> refusalForPage(const ns::URLRequest& request);

using PageReplyHandler = std::function<void(const ns::Data& body, const std::shared_ptr<ns::URLResponse>& response,
                                            const std::optional<ns::Error>& error)>;

// Loads the request through the platform without following redirects; the handler runs on the main queue.
std::shared_ptr<ns::URLSessionTask> loadForPage(const ns::URLRequest& request, PageReplyHandler handler);

// The media type with its text encoding as a content type header (and a data address) state it.
std::string contentType(const std::string& MIMEType, const std::string& textEncodingName);

// The parameters that hand a reply (or a given document) to the engine for the held request.
ns::Dictionary fulfilment(const std::string& requestID, const ns::Data& body, const ns::URLResponse& response);
ns::Dictionary fulfilment(const std::string& requestID, const ns::Data& body, const std::string& MIMEType,
                          const std::string& textEncodingName);
// The parameters that answer the held request with no content, which leaves the frame as it is.
ns::Dictionary noContent(const std::string& requestID);
// The parameters that fail the held request as the platform's error describes.
ns::Dictionary failure(const std::string& requestID, const ns::Error& error);

}  // namespace ql::ui
