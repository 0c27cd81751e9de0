#include "mapping/MMPropertyType.h"

#include <map>
#include <memory>
#include <mutex>

#include "mapping/MMFoundation.h"

namespace ql {

const MMPropertyType& MMPropertyType::cachedTypeWithCode(std::string_view code) {
    // Never destroyed: property records keep references to these for the life of the process.
    struct Types {
        std::mutex mutex;
        std::map<std::string, std::unique_ptr<const MMPropertyType>, std::less<>> byCode;
    };
    static Types* types = new Types;
    std::lock_guard lock(types->mutex);
    auto it = types->byCode.find(code);
    if (it == types->byCode.end())
        it = types->byCode.emplace(std::string(code), std::make_unique<MMPropertyType>(std::string(code))).first;
    return *it->second;
}

MMPropertyType::MMPropertyType(std::string code) : code_(std::move(code)) {
    if (code_ == "@") {
        idType_ = true;
    } else if (code_.empty()) {
        kvcDisabled_ = true;
    } else if (code_.size() >= 4 && code_.starts_with("@\"")) {
        code_ = code_.substr(2, code_.size() - 3);
        typeClass_ = ns::Class::named(code_);
        fromFoundation_ = MMFoundation::isClassFromFoundation(typeClass_);
        static const ns::Class& number = MMFoundation::requiredClass("NSNumber");
        numberType_ = typeClass_ && typeClass_->isSubclassOf(number);
    } else if (code_ == ":" || code_ == "^{objc_ivar=}" || code_ == "^{objc_method=}") {
        kvcDisabled_ = true;
    }
    if (code_.size() == 1) {
        char lower = static_cast<char>(code_[0] | 0x20);
        if (std::string_view("iscbfdlq").find(lower) != std::string_view::npos) numberType_ = true;
        if (lower == 'c' || lower == 'b') boolType_ = true;
    }
}

}  // namespace ql
