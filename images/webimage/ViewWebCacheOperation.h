#pragma once
// The loads a view is running, by key, kept on the view itself: starting a load under a key cancels the
// one before it, so that a reused cell never shows the image its previous row asked for.

#include <memory>
#include <string_view>
#include <vector>

#include "images/webimage/WebImageOperation.h"
#include "platform/ui/View.h"

namespace ql {

// Cancels what runs under the key, then keeps the operation (or the operations) there.
void wi_setImageLoadOperation(ui::View& view, std::shared_ptr<WebImageOperation> operation, std::string_view key);
void wi_setImageLoadOperations(ui::View& view, std::vector<std::shared_ptr<WebImageOperation>> operations,
                               std::string_view key);
// Cancels and forgets what runs under the key; nothing when nothing does.
void wi_cancelImageLoadOperationWithKey(ui::View& view, std::string_view key);
// Forgets what runs under the key without cancelling it.
void wi_removeImageLoadOperationWithKey(ui::View& view, std::string_view key);
// How many operations the view keeps under the key.
std::size_t wi_imageLoadOperationCount(ui::View& view, std::string_view key);

}  // namespace ql
