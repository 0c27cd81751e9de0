#pragma once
// What the web view's parts share about navigations: the error of a load given up, the navigation type for
// the reason the engine gives, and which addresses a page loads at all.

#include <optional>
#include <string_view>

#include "platform/foundation/Error.h"
#include "platform/foundation/URL.h"
#include "platform/net/URLRequest.h"
#include "platform/web/WebView.h"

namespace ql::ui {

// The platform's cancelled error for a load of the request.
ns::Error cancelledError(const std::optional<ns::URLRequest>& request);

WebViewNavigationType navigationTypeForReason(std::string_view reason);

// Whether a page shows what is at the address; other schemes (mailto:, tel:, sms:, an app's own) belong
// to other applications.
bool loadsInPage(const ns::URL& url);

}  // namespace ql::ui
