#pragma once
// Events timed by the host app: the record given when one begins is kept until the matching end, which
// gives it its duration and hands it back to be added. Begun events are told apart by whether they carry
// values, their identifier and their label.

#include <cstddef>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <tuple>

#include "analytics/StatEvent.h"

namespace ql {

class RezOzovaTimedEvents {
public:
    // Events begun and not yet ended beyond which further ones are refused.
    static constexpr std::size_t MaxBegun = 5000;

    // Keeps the record (its own time stamp is the beginning); one begun again starts over. False when too
    // many are waiting for their end.
    bool begin(bool withValues, std::shared_ptr<StatEvent> event);
    // The record begun with the same identifier and label, its duration running to now; nothing when none
    // was begun.
    std::shared_ptr<StatEvent> end(bool withValues, const StatEvent& ending);

    void clear();

private:
    using Key = std::tuple<bool, std::optional<std::string>, std::optional<std::string>>;

    std::mutex mutex_;
    std::map<Key, std::shared_ptr<StatEvent>> begun_;
};

}  // namespace ql
