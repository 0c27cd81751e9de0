#include "debug/DuvHttpDatasource.h"

#include "platform/foundation/JSONSerialization.h"
#include "platform/foundation/Text.h"

namespace ql {

DuvHttpDatasource& DuvHttpDatasource::shareInstance() {
    static DuvHttpDatasource* const shared = new DuvHttpDatasource();  // lives as long as the process
    return *shared;
}

void DuvHttpDatasource::addHttpRequset(std::shared_ptr<DuvHttpModel> model) {
    if (!model) return;
    std::lock_guard lock(mutex_);
    if (model->requestId && !model->requestId->empty()) requestIds_.insert(*model->requestId);
    httpArray_.push_back(std::move(model));
}

void DuvHttpDatasource::clear() {
    std::lock_guard lock(mutex_);
    httpArray_.clear();
    requestIds_.clear();
}

std::vector<std::shared_ptr<DuvHttpModel>> DuvHttpDatasource::httpArray() const {
    std::lock_guard lock(mutex_);
    return {httpArray_.rbegin(), httpArray_.rend()};
}

std::vector<std::string> DuvHttpDatasource::arrRequest() const {
    std::vector<std::string> ids;
    std::lock_guard lock(mutex_);
    for (const auto& model : httpArray_) {
        if (model->requestId && !model->requestId->empty()) ids.push_back(*model->requestId);
    }
    return ids;
}

bool DuvHttpDatasource::containsRequestId(const std::string& requestId) const {
    std::lock_guard lock(mutex_);
    return requestIds_.contains(requestId);
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
