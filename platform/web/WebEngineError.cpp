#include "platform/web/WebEngineError.h"

namespace ql::ui {

ns::Error webEngineError(std::int64_t code, const std::string& description) {
    return ns::Error(std::string(WebEngineErrorDomain), code,
                     ns::Dictionary{{std::string(ns::LocalizedDescriptionKey), ns::Value(description)}});
}

}  // namespace ql::ui
