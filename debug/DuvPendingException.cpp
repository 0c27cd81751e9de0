#include "debug/DuvPendingException.h"

#include <unistd.h>

#include <algorithm>
#include <ctime>

#include "debug/DuvFirstFault.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/PropertyListSerialization.h"

namespace ql::duv_pending_exception {

namespace {

constexpr std::string_view kFilePrefix = "pending-exception-";
// A record holds at most a few hundred frames and what the exception carried; anything far larger is not ours.
constexpr std::size_t kLargestNote = 4 << 20;

}  // namespace

void note(const std::string& folder, const ns::Dictionary& record) {
    if (processFirstFault().begin() != DuvFirstFault::Turn::First) return;
    const ns::Dictionary pending{{"seconds", static_cast<std::int64_t>(std::time(nullptr))}, {"record", record}};
    const auto data =
        ns::PropertyListSerialization::dataWithPropertyList(ns::Value(pending), ns::PropertyListFormat::XML, nullptr);
    if (!data) return;
    // A plain write: the atomic one consults a hook under a lock. A note cut short is dropped when collected.
    ns::writeToFile(*data, folder + "/" + std::string(kFilePrefix) + std::to_string(::getpid()),
                    ns::DataWritingWithoutOverwriting);
}

std::vector<PendingException> collect(const std::string& folder) {
    std::vector<PendingException> pending;
    const auto& files = ns::FileManager::defaultManager();
    for (const std::string& name : files.contentsOfDirectoryAtPath(folder).value_or(std::vector<std::string>{})) {
        if (!name.starts_with(kFilePrefix)) continue;
        const std::string path = folder + "/" + name;
        if (const auto data = ns::dataWithContentsOfFile(path, kLargestNote)) {
            const ns::Value note =
                ns::PropertyListSerialization::propertyListWithData(*data, ns::PropertyListImmutable, nullptr, nullptr);
            const ns::Value& seconds = note["seconds"];
            if (seconds.isNumber() && seconds.int64Value() >= 0 && note["record"].isDictionary())
                pending.push_back({seconds.int64Value(), *note["record"].asDictionary()});
        }
        ::unlink(path.c_str());
    }
    std::stable_sort(pending.begin(), pending.end(),
                     [](const PendingException& a, const PendingException& b) { return a.seconds < b.seconds; });
    return pending;
}

}  // namespace ql::duv_pending_exception
