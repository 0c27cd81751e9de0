#pragma once
// Serving a page's requests through the platform's URL loading: the engine holds each request the page
// makes; it is turned into a platform request, loaded like any other (registered URL protocols, cookies,
// the URL cache and server trust apply), and the reply is handed back to the engine whole. Redirects are
// handed back as they came, so the engine follows them and its view hears of each new document request.
//
// The engine takes a reply in one message, so each body is gathered first, within bounds: one reply may
// hold what one message carries, the replies of one view together and those of every view together may
// hold at once no more than their own bounds. A reply that would go past any of them (an endless stream, a
// camera's picture feed, too many large ones at once) is given up with "resource exceeds maximum size".

#include <cstddef>
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
#include "platform/web/WebEngine.h"
#include "platform/web/WebReplyBody.h"
#include "platform/web/WebReplyBudget.h"

namespace ql::ui {

// What one message to the engine carries of a body: its Base64 text (four bytes for three) within the
// engine's bound, with 4 MiB left for the rest of the message (the reply's header fields among it).
inline constexpr std::size_t kPageReplyLimit = (WebEngine::kLargestCommand + 1 - (std::size_t{4} << 20)) / 4 * 3;
inline constexpr std::size_t kViewRepliesLimit = std::size_t{128} << 20;
inline constexpr std::size_t kAllRepliesLimit = std::size_t{256} << 20;

// A budget for the replies of one view, within the one every view shares.
std::shared_ptr<WebReplyBudget> viewReplyBudget();

// A request a page made, as the platform's: from the "request" of a held request's event, with the body its
// body entries carry byte for byte (the body's text cannot give back bytes that are not UTF-8, and is left
// out as the event is read). The engine's own cookie header is left out, since the platform's cookie storage
// supplies the cookies.
struct PageRequest {
    ns::URLRequest request;
    // Why it cannot be sent as the page made it, if it cannot: the event does not carry the whole body (one
    // the page streams, or one left out for its size). Such a request is failed, never sent short.
    std::optional<ns::Error> unsendable;
};
PageRequest pageRequestFromEvent(const ns::Value& pageRequest);

// Why a page may not make the request, if it may not: a file outside the app's sandbox.
std::optional<ns::Error> refusalForPage(const ns::URLRequest& request);

using PageReplyHandler = std::function<void(const WebReplyBody& body, const std::shared_ptr<ns::URLResponse>& response,
                                            const std::optional<ns::Error>& error)>;

// Loads the request through the platform without following redirects, gathering the body within the
// view's budget; the handler runs on the main queue.
std::shared_ptr<ns::URLSessionTask> loadForPage(const ns::URLRequest& request, const std::shared_ptr<WebReplyBudget>& budget,
                                                PageReplyHandler handler);

// The media type with its text encoding as a content type header (and a data address) state it.
std::string contentType(const std::string& MIMEType, const std::string& textEncodingName);

// The parameters that hand a reply (or a given document) to the engine for the held request.
ns::Dictionary fulfilment(const std::string& requestID, const WebReplyBody& body, const ns::URLResponse& response);
ns::Dictionary fulfilment(const std::string& requestID, const ns::Data& body, const std::string& MIMEType,
                          const std::string& textEncodingName);
// The parameters that answer the held request with no content, which leaves the frame as it is.
ns::Dictionary noContent(const std::string& requestID);
// The parameters that fail the held request as the platform's error describes.
ns::Dictionary failure(const std::string& requestID, const ns::Error& error);

}  // namespace ql::ui
