#include "storage/foundation/UTFileWrapperCopying.h"

#include <vector>

namespace ql {

namespace {

// Deep trees are copied with an explicit stack, so no nesting depth can exhaust the call stack.
struct Pending {
    const ns::FileWrapper* source;
    std::shared_ptr<ns::FileWrapper> copy;
};

std::shared_ptr<ns::FileWrapper> shallowCopy(const ns::FileWrapper& source) {
    if (source.isDirectory()) return ns::FileWrapper::directoryWithFileWrappers({});
    // A link copied as a file would lose what it points to.
    if (auto destination = source.symbolicLinkDestination()) return ns::FileWrapper::symbolicLinkWithDestination(*destination);
    return ns::FileWrapper::regularFileWithContents(source.regularFileContents());
}

}  // namespace

std::shared_ptr<ns::FileWrapper> fileWrapperByDeepCopying(const ns::FileWrapper& wrapper) {
    auto root = shallowCopy(wrapper);
    std::vector<Pending> pending{{&wrapper, root}};
    while (!pending.empty()) {
        Pending next = pending.back();
        pending.pop_back();
        for (const auto& [name, child] : next.source->fileWrappers()) {
            auto copy = shallowCopy(*child);
            next.copy->addFileWrapper(name, copy);
            if (child->isDirectory()) pending.push_back({child.get(), copy});
        }
    }
    return root;
}

}  // namespace ql
