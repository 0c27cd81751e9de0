#include "images/webimage/ViewWebCacheOperation.h"

#include <map>
#include <mutex>
#include <string>
#include <utility>

namespace ql {

namespace {

// The view's table: a load key to the operation, or the operations, running under it.
class WebCacheOperationTable final : public ns::Object {
    QL_OBJECT(WebCacheOperationTable, ns::Object)
public:
    std::mutex mutex;
    std::map<std::string, std::vector<std::shared_ptr<WebImageOperation>>, std::less<>> operations;
};

const char kOperationTableKey = 0;

WebCacheOperationTable& operationTable(ui::View& view) {
    if (auto table = view.associatedValue(&kOperationTableKey).asObject<WebCacheOperationTable>()) return *table;
    auto table = std::make_shared<WebCacheOperationTable>();
    view.setAssociatedValue(&kOperationTableKey, ns::Value(table));
    return *table;
}

std::vector<std::shared_ptr<WebImageOperation>> take(ui::View& view, std::string_view key) {
    WebCacheOperationTable& table = operationTable(view);
    std::lock_guard lock(table.mutex);
    auto found = table.operations.find(key);
    if (found == table.operations.end()) return {};
    auto taken = std::move(found->second);
    table.operations.erase(found);
    return taken;
}

}  // namespace

void wi_setImageLoadOperation(ui::View& view, std::shared_ptr<WebImageOperation> operation, std::string_view key) {
    std::vector<std::shared_ptr<WebImageOperation>> operations;
    if (operation) operations.push_back(std::move(operation));
    wi_setImageLoadOperations(view, std::move(operations), key);
}

void wi_setImageLoadOperations(ui::View& view, std::vector<std::shared_ptr<WebImageOperation>> operations,
                               std::string_view key) {
    wi_cancelImageLoadOperationWithKey(view, key);
    WebCacheOperationTable& table = operationTable(view);
    std::lock_guard lock(table.mutex);
    table.operations[std::string(key)] = std::move(operations);
}

void wi_cancelImageLoadOperationWithKey(ui::View& view, std::string_view key) {
    // Cancelled outside the table's lock: a cancellation may finish a load that touches the view again.
    for (const auto& operation : take(view, key)) {
        if (operation) operation->cancel();
    }
}

void wi_removeImageLoadOperationWithKey(ui::View& view, std::string_view key) { take(view, key); }

std::size_t wi_imageLoadOperationCount(ui::View& view, std::string_view key) {
    WebCacheOperationTable& table = operationTable(view);
    std::lock_guard lock(table.mutex);
    auto found = table.operations.find(key);
    return found == table.operations.end() ? 0 : found->second.size();
}

}  // namespace ql
