#pragma once
// An independent deep copy of a file wrapper: directories are copied child by child under the same names,
// links stay links, and every other wrapper becomes a regular file with the same contents.

#include <memory>

#include "platform/foundation/FileWrapper.h"

namespace ql {

std::shared_ptr<ns::FileWrapper> fileWrapperByDeepCopying(const ns::FileWrapper& wrapper);

}  // namespace ql
