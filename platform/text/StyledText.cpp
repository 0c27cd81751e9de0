#include "platform/text/StyledText.h"

#include <algorithm>

#include "platform/foundation/Exception.h"
#include "platform/foundation/Text.h"

namespace ql::ct {

StyledText::StyledText(std::string_view text, TextStyle style) : text_(ns::toUTF16(text)) {
    runs_.push_back({{0, text_.size()}, std::move(style)});
}

StyledText::StyledText(std::u16string text, std::vector<StyleRun> runs) : text_(std::move(text)) {
    if (runs.empty()) throw ns::Exception(ns::InvalidArgumentException, "a styled text needs at least one style run");
    std::uint64_t next = 0;
    for (const auto& run : runs) {
        if (run.range.location != next)
            throw ns::Exception(ns::InvalidArgumentException,
                                "style run " + run.range.description() + " does not start where the previous ends");
        next = run.range.end();
    }
    if (next != text_.size())
        throw ns::Exception(ns::InvalidArgumentException,
                            "style runs do not cover the text of length " + std::to_string(text_.size()));
    for (auto& run : runs) {
        if (run.range.length > 0) runs_.push_back(std::move(run));
    }
    if (runs_.empty()) runs_.push_back(std::move(runs.front()));
}

std::size_t StyledText::runIndexAt(std::uint64_t index) const {
    auto found = std::upper_bound(runs_.begin(), runs_.end(), index,
                                  [](std::uint64_t i, const StyleRun& run) { return i < run.range.end(); });
    if (found == runs_.end()) return runs_.size() - 1;
    return static_cast<std::size_t>(found - runs_.begin());
}

}  // namespace ql::ct
