#pragma once
// ns::DataDetector: finds links (web addresses and e-mail addresses), phone numbers, street addresses,
// dates (numeric, English and Chinese forms, with an optional time) and flight numbers in a text, with
// ICU regular expressions underneath. Results come in text order without overlaps, each with its kind
// and payload; ranges count UTF-16 code units. Immutable, so one detector may serve several threads.

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/foundation/Error.h"
#include "platform/foundation/Range.h"
#include "platform/foundation/TextCheckingResult.h"

namespace ql::ns {

class DataDetector {
public:
    // Nothing when `types` holds no kind a detector finds, or kinds it does not find (spelling,
    // grammar...); `error` then receives NSCocoaErrorDomain code 2048.
    static std::optional<DataDetector> dataDetectorWithTypes(std::uint64_t types, Error* error = nullptr);

    std::uint64_t checkingTypes() const { return types_; }

    // Searches `range` of the text (all of it when absent); a range beyond the text raises
    // "NSRangeException".
    std::vector<TextCheckingResult> matchesInString(std::string_view text, unsigned options = 0,
                                                    std::optional<Range> range = std::nullopt) const;

private:
    explicit DataDetector(std::uint64_t types) : types_(types) {}
    std::uint64_t types_;
};

}  // namespace ql::ns
