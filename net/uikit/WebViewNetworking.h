#pragma once
// A web view that loads its document through an HTTP request operation, so the request goes through the
// view's request serializer (default headers) and the reply through its response serializer, with progress
// and a chance to rewrite the document before the view shows it.

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "net/NetHTTPRequestOperation.h"
#include "net/NetURLRequestSerialization.h"
#include "net/NetURLResponseSerialization.h"
#include "platform/foundation/Data.h"
#include "platform/foundation/Error.h"
#include "platform/net/URLRequest.h"
#include "platform/net/URLResponse.h"
#include "platform/web/WebView.h"

namespace ql {

using NetWebViewProgressBlock = NetURLConnectionOperation::ProgressBlock;
// Each returns the document to show.
using NetWebViewHTMLSuccessBlock =
    std::function<std::string(const std::shared_ptr<ns::HTTPURLResponse>& response, const std::string& HTML)>;
using NetWebViewDataSuccessBlock =
    std::function<ns::Data(const std::shared_ptr<ns::HTTPURLResponse>& response, const ns::Data& data)>;
using NetWebViewFailureBlock = std::function<void(const ns::Error& error)>;

// The view's serializers, else shared defaults (a plain HTTP request and response serializer).
std::shared_ptr<NetURLRequestSerialization> net_requestSerializer(const ui::WebView& view);
void net_setRequestSerializer(ui::WebView& view, const std::shared_ptr<NetURLRequestSerialization>& serializer);
std::shared_ptr<NetURLResponseSerialization> net_responseSerializer(const ui::WebView& view);
void net_setResponseSerializer(ui::WebView& view, const std::shared_ptr<NetURLResponseSerialization>& serializer);
std::shared_ptr<NetHTTPRequestOperation> net_HTTPRequestOperation(const ui::WebView& view);
void net_setHTTPRequestOperation(ui::WebView& view, const std::shared_ptr<NetHTTPRequestOperation>& operation);

// The reply is read as text in its own encoding (UTF-8 when it names none or one unknown here) and shown
// again in that encoding, or as UTF-8 when the rewritten text cannot be carried by it.
void net_loadRequest(const std::shared_ptr<ui::WebView>& view, const ns::URLRequest& request,
                     NetWebViewProgressBlock progress, NetWebViewHTMLSuccessBlock success,
                     NetWebViewFailureBlock failure);
// The MIME type and text encoding name default to the reply's. A request the serializer refuses fails at
// once with its error and loads nothing.
void net_loadRequest(const std::shared_ptr<ui::WebView>& view, const ns::URLRequest& request,
                     const std::optional<std::string>& MIMEType, const std::optional<std::string>& textEncodingName,
                     NetWebViewProgressBlock progress, NetWebViewDataSuccessBlock success,
                     NetWebViewFailureBlock failure);

}  // namespace ql
