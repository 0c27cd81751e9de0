#include "net/uikit/NetImageLoading.h"

namespace ql {

ns::URLRequest net_imageRequestWithURL(const ns::URL& url) {
    ns::URLRequest request{std::optional<ns::URL>(url)};
    request.setValue("image/*", "Accept");
    return request;
}

std::shared_ptr<ns::HTTPURLResponse> net_HTTPResponseOf(const NetURLConnectionOperation& operation) {
    return std::dynamic_pointer_cast<ns::HTTPURLResponse>(operation.response());
}

}  // namespace ql
