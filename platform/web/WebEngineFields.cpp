#include "platform/web/WebEngineFields.h"

namespace ql::ui {

const ns::Dictionary& fieldsOf(const ns::Value& value) {
    static const auto& none = *new ns::Dictionary;
    const auto* fields = value.asDictionary();
    return fields ? *fields : none;
}

std::string textField(const ns::Dictionary& fields, std::string_view key) {
    const ns::Value* value = fields.find(key);
    return value ? value->stringValue() : std::string();
}

double numberField(const ns::Dictionary& fields, std::string_view key) {
    const ns::Value* value = fields.find(key);
    return value ? value->doubleValue() : 0;
}

}  // namespace ql::ui
