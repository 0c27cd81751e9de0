#include "platform/web/WebNavigation.h"

#include <array>
#include <string>

#include "platform/net/URLError.h"

namespace ql::ui {

ns::Error cancelledError(const std::optional<ns::URLRequest>& request) {
    ns::Dictionary info{{std::string(ns::LocalizedDescriptionKey), ns::Value("cancelled")}};
    if (request && request->URL()) {
        info.set(std::string(ns::URLErrorFailingURLStringErrorKey), ns::Value(request->URL()->absoluteString()));
    }
    return ns::Error(std::string(ns::URLErrorDomain), ns::URLErrorCancelled, std::move(info));
}

WebViewNavigationType navigationTypeForReason(std::string_view reason) {
    if (reason == "anchorClick") return WebViewNavigationType::LinkClicked;
    if (reason == "formSubmissionGet" || reason == "formSubmissionPost") return WebViewNavigationType::FormSubmitted;
    if (reason == "reload") return WebViewNavigationType::Reload;
    return WebViewNavigationType::Other;
}

bool loadsInPage(const ns::URL& url) {
    static constexpr std::array<std::string_view, 7> kPageSchemes{"http", "https", "file", "data", "about", "blob", "javascript"};
    const std::string scheme = url.scheme().value_or("");
    for (std::string_view known : kPageSchemes) {
        if (scheme == known) return true;
    }
    return false;
}

}  // namespace ql::ui
