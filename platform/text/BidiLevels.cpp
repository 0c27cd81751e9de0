#include "platform/text/BidiLevels.h"

#include <unicode/ubidi.h>
#include <unicode/uchar.h>
#include <unicode/utf16.h>

#include <algorithm>
#include <memory>
#include <string>

#include "platform/foundation/Exception.h"

namespace ql::ct::detail {

namespace {

struct BidiDeleter {
    void operator()(UBiDi* bidi) const { ubidi_close(bidi); }
};

// Whether any character can give the paragraph a level other than 0 or change the order of what it
// shows: right-to-left letters, Arabic digits (neutrals between them turn right to left), and the
// controls that open right-to-left embeddings, overrides and isolates. Nothing below Hebrew can, nor
// anything from the CJK radicals to the surrogates, so most text is passed over a code unit at a time.
bool needsResolution(std::u16string_view paragraph) {
    const auto length = static_cast<std::int32_t>(paragraph.size());
    for (std::int32_t i = 0; i < length;) {
        const char16_t unit = paragraph[static_cast<std::size_t>(i)];
        if (unit < 0x0590 || (unit >= 0x2E80 && unit < 0xD800)) {
            ++i;
            continue;
        }
        UChar32 c;
        U16_NEXT(paragraph.data(), i, length, c);
        switch (u_charDirection(c)) {
        case U_RIGHT_TO_LEFT:
        case U_RIGHT_TO_LEFT_ARABIC:
        case U_ARABIC_NUMBER:
        case U_RIGHT_TO_LEFT_EMBEDDING:
        case U_RIGHT_TO_LEFT_OVERRIDE:
        case U_RIGHT_TO_LEFT_ISOLATE:
        case U_FIRST_STRONG_ISOLATE: return true;
        default: break;
        }
    }
    return false;
}

UBiDiLevel paragraphLevel(WritingDirection direction) {
    switch (direction) {
    case WritingDirection::LeftToRight: return 0;
    case WritingDirection::RightToLeft: return 1;
    case WritingDirection::Natural: break;
    }
    return UBIDI_DEFAULT_LTR;
}

[[noreturn]] void fail(const char* what, UErrorCode status) {
    throw ns::Exception(ns::InternalInconsistencyException, std::string(what) + ": " + u_errorName(status));
}

}  // namespace

BidiLevels::BidiLevels(std::u16string_view text, const std::function<WritingDirection(std::uint64_t)>& direction) {
    struct Found {
        std::uint64_t start;
        std::uint64_t end;
        WritingDirection direction;
        bool resolves;
    };
    std::vector<Found> found;
    bool any = false;
    for (std::uint64_t start = 0; start < text.size();) {
        std::uint64_t end = start;
        while (end < text.size() && !endsParagraphAt(text, end)) ++end;
        end = std::min<std::uint64_t>(end + 1, text.size());
        const WritingDirection base = direction(start);
        const bool resolves = base == WritingDirection::RightToLeft || needsResolution(text.substr(start, end - start));
        any = any || resolves;
        found.push_back({start, end, base, resolves});
        start = end;
    }
    if (!any) return;

    levels_.assign(text.size(), 0);
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<UBiDi, BidiDeleter> bidi(ubidi_open());
    if (!bidi) fail("ICU bidi unavailable", U_MEMORY_ALLOCATION_ERROR);
    for (const Found& paragraph : found) {
        if (!paragraph.resolves) {
            paragraphs_.push_back({paragraph.start, 0});
            continue;
        }
        const auto length = static_cast<std::int32_t>(paragraph.end - paragraph.start);
        ubidi_setPara(bidi.get(), reinterpret_cast<const UChar*>(text.data() + paragraph.start), length,
                      paragraphLevel(paragraph.direction), nullptr, &status);
        const UBiDiLevel* levels = ubidi_getLevels(bidi.get(), &status);
        if (U_FAILURE(status)) fail("bidi levels could not be resolved", status);
        std::copy(levels, levels + length, levels_.begin() + static_cast<std::ptrdiff_t>(paragraph.start));
        paragraphs_.push_back({paragraph.start, static_cast<std::uint8_t>(ubidi_getParaLevel(bidi.get()) & 1)});
    }
}

std::uint8_t BidiLevels::paragraphLevelAt(std::uint64_t index) const {
    auto after = std::upper_bound(paragraphs_.begin(), paragraphs_.end(), index,
                                  [](std::uint64_t i, const Paragraph& p) { return i < p.start; });
    return after == paragraphs_.begin() ? 0 : std::prev(after)->level;
}

std::vector<std::size_t> visualOrder(std::span<const std::uint8_t> levels) {
    std::vector<std::size_t> order(levels.size());
    if (std::all_of(levels.begin(), levels.end(), [](std::uint8_t l) { return l % 2 == 0; })) {
        // Even levels only: every stretch is turned round an even number of times.
        for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
        return order;
    }
    std::vector<std::int32_t> map(levels.size());
    ubidi_reorderVisual(reinterpret_cast<const UBiDiLevel*>(levels.data()), static_cast<std::int32_t>(levels.size()),
                        map.data());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = static_cast<std::size_t>(map[i]);
    return order;
}

}  // namespace ql::ct::detail
