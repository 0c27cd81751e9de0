#include "debug/DuvHttpDatasource.h"

#include <algorithm>

#include "platform/foundation/JSONSerialization.h"
#include "platform/foundation/Text.h"

namespace ql {

DuvHttpDatasource& DuvHttpDatasource::shareInstance() {
    static DuvHttpDatasource* const shared = new DuvHttpDatasource();  // lives as long as the process
    return *shared;
}

void DuvHttpDatasource::addHttpRequset(std::shared_ptr<DuvHttpModel> model) {
    if (!model) return;
    std::optional<std::string> requestId = model->requestId;
    {
        std::lock_guard lock(httpMutex_);
        httpArray_.push_back(std::move(model));
    }
    if (requestId && !requestId->empty()) {
        std::lock_guard lock(requestMutex_);
        arrRequest_.push_back(std::move(*requestId));
    }
}

void DuvHttpDatasource::clear() {
    {
        std::lock_guard lock(httpMutex_);
        httpArray_.clear();
    }
    std::lock_guard lock(requestMutex_);
    arrRequest_.clear();
}

std::vector<std::shared_ptr<DuvHttpModel>> DuvHttpDatasource::httpArray() const {
    std::lock_guard lock(httpMutex_);
    return {httpArray_.rbegin(), httpArray_.rend()};
}

std::vector<std::string> DuvHttpDatasource::arrRequest() const {
    std::lock_guard lock(requestMutex_);
    return arrRequest_;
}

bool DuvHttpDatasource::containsRequestId(const std::string& requestId) const {
    std::lock_guard lock(requestMutex_);
    return std::find(arrRequest_.begin(), arrRequest_.end(), requestId) != arrRequest_.end();
}

std::optional<std::string> DuvHttpDatasource::prettyJSONStringFromData(const ns::Data& data) {
    const ns::Value object = ns::JSONSerialization::JSONObjectWithData(data, 0, nullptr);
    if ((object.isArray() || object.isDictionary()) && ns::JSONSerialization::isValidJSONObject(object)) {
        if (auto pretty = ns::JSONSerialization::dataWithJSONObject(object, ns::JSONWritingPrettyPrinted, nullptr)) {
            std::string text = pretty->toString();
            std::string plain;
            plain.reserve(text.size());
            // Escape pairs are walked whole, so an escaped backslash before a slash stays escaped.
            for (std::size_t i = 0; i < text.size(); ++i) {
                if (text[i] == '\\' && i + 1 < text.size()) {
                    if (text[i + 1] != '/') plain += '\\';
                    plain += text[++i];
                    continue;
                }
                plain += text[i];
            }
            return plain;
        }
    }
    if (!ns::isValidUTF8(data.view())) return std::nullopt;
    return data.toString();
}

}  // namespace ql
