#pragma once
// What image views and buttons share when they load remote images: the request they make for a bare URL
// and the reading of an image operation's results.

#include <memory>

#include "net/NetHTTPRequestOperation.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/Value.h"
#include "platform/net/URLRequest.h"
#include "platform/net/URLResponse.h"
#include "platform/ui/Image.h"

namespace ql {

// A request for the URL that accepts images only ("Accept: image/*").
ns::URLRequest net_imageRequestWithURL(const ns::URL& url);

// The operation's reply when it is an HTTP one.
std::shared_ptr<ns::HTTPURLResponse> net_HTTPResponseOf(const NetURLConnectionOperation& operation);

// The decoded image a response serializer produced, none when it produced something else.
inline std::shared_ptr<ui::Image> net_imageOf(const ns::Value& responseObject) {
    return responseObject.asObject<ui::Image>();
}

}  // namespace ql
