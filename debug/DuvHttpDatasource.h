#pragma once
// DuvHttpDatasource: the process-wide list of observed exchanges, newest first. The ids of those that have
// one are read off the list; the recorders consult them so that one exchange seen twice is stored once.

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "debug/DuvHttpModel.h"
#include "platform/foundation/Data.h"

namespace ql {

// Posted with no object after every addition, on the thread that added.
inline constexpr std::string_view kNotifyKeyReloadHttp = "kNotifyKeyReloadHttp";

class DuvHttpDatasource {
public:
    static DuvHttpDatasource& shareInstance();

    // Puts the record first.
    void addHttpRequset(std::shared_ptr<DuvHttpModel> model);
    void clear();
    // Snapshots: the records, and the non-empty ids among them, oldest first.
    std::vector<std::shared_ptr<DuvHttpModel>> httpArray() const;
    std::vector<std::string> arrRequest() const;
    bool containsRequestId(const std::string& requestId) const;

    // Body bytes as text: a JSON object or array pretty-printed with plain slashes, else the bytes as UTF-8;
    // nothing for bytes that are neither.
    static std::optional<std::string> prettyJSONStringFromData(const ns::Data& data);

private:
    mutable std::mutex mutex_;
    std::vector<std::shared_ptr<DuvHttpModel>> httpArray_;  // oldest first; read back reversed
    // The records' ids as they were added: every exchange asks whether it was stored already, and a long
    // session would otherwise scan every record each time.
    std::unordered_set<std::string> requestIds_;
};

}  // namespace ql
