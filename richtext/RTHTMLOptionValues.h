#pragma once
// The import options that are no property-list values, boxed so that they travel in the options
// dictionary: the flush callback (RTWillFlushBlockCallBack) and a stylesheet (RTDefaultStyleSheet).

#include <functional>
#include <memory>
#include <utility>

#include "platform/foundation/Object.h"
#include "richtext/RTCSSStylesheet.h"

namespace ql {

class RTHTMLElement;

// Called with each element about to be appended to the import's text, on the import's assembly queue.
using RTWillFlushCallback = std::function<void(const std::shared_ptr<RTHTMLElement>&)>;

class RTWillFlushBlock final : public ns::Object {
    QL_OBJECT(RTWillFlushBlock, ns::Object)
public:
    explicit RTWillFlushBlock(RTWillFlushCallback callback) : callback_(std::move(callback)) {}
    const RTWillFlushCallback& callback() const { return callback_; }

private:
    RTWillFlushCallback callback_;
};

class RTStylesheetOption final : public ns::Object {
    QL_OBJECT(RTStylesheetOption, ns::Object)
public:
    explicit RTStylesheetOption(RTCSSStylesheet stylesheet) : stylesheet_(std::move(stylesheet)) {}
    const RTCSSStylesheet& stylesheet() const { return stylesheet_; }

private:
    RTCSSStylesheet stylesheet_;
};

}  // namespace ql
