#include "platform/foundation/Transliteration.h"

#include <unicode/translit.h>

#include <map>
#include <memory>
#include <mutex>
#include <utility>

#include "platform/foundation/UnicodeText.h"

namespace ql::ns {

namespace {

struct CachedTransliterator {
    std::unique_ptr<icu::Transliterator> transliterator;
    std::mutex mutex;
};

// Building a transform loads its rules, which takes milliseconds; each is built once per process.
CachedTransliterator* transliterator(std::string_view transform, bool reverse) {
    static std::mutex mutex;
    static auto& cache = *new std::map<std::pair<std::string, bool>, std::unique_ptr<CachedTransliterator>>;
    std::lock_guard lock(mutex);
    auto key = std::make_pair(std::string(transform), reverse);
    auto found = cache.find(key);
    if (found == cache.end()) {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<icu::Transliterator> made(icu::Transliterator::createInstance(
            detail::unicodeText(transform), reverse ? UTRANS_REVERSE : UTRANS_FORWARD, status));
        auto entry = std::make_unique<CachedTransliterator>();
        if (U_SUCCESS(status)) entry->transliterator = std::move(made);
        found = cache.emplace(std::move(key), std::move(entry)).first;
    }
    return found->second->transliterator ? found->second.get() : nullptr;
}

}  // namespace

std::optional<std::string> stringByApplyingTransform(std::string_view text, std::string_view transform, bool reverse) {
    CachedTransliterator* entry = transliterator(transform, reverse);
    if (!entry) return std::nullopt;
    icu::UnicodeString unicode = detail::unicodeText(text);
    {
        std::lock_guard lock(entry->mutex);
        entry->transliterator->transliterate(unicode);
    }
    return detail::utf8Text(unicode);
}

std::string transliteratedToASCII(std::string_view text) {
    return stringByApplyingTransform(text, "Any-Latin; Latin-ASCII; [:^ASCII:] Remove").value_or(std::string());
}

}  // namespace ql::ns
