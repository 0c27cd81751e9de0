#include "platform/foundation/JSONTextBuffer.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <utility>

#include "platform/foundation/JSONKeptMemory.h"
#include "platform/foundation/PerThread.h"

namespace ql::ns::detail {

namespace {

// The scratch's room on a thread's first write; it doubles from there, up to keptWriteBytes.
constexpr std::size_t firstScratchBytes = 4096;

// The spare pages: those of the latest large text let go while large texts keep coming. Keeping and
// releasing allocate nothing, so that pages are kept from a result's last owner, and unmap outside the lock.
class SparePages {
public:
    static SparePages& shared() {
        static SparePages* spares = new SparePages;  // never destroyed: results may go during static destruction
        return *spares;
    }

    // From a large text on, until the release.
    void keepWhileLargeTextsCome() noexcept {
        std::lock_guard lock(mutex_);
        keeping_ = true;
    }

    PageMemory take() noexcept {
        std::lock_guard lock(mutex_);
        return std::move(spare_);
    }

    // Keeps `pages` in place of the spare there was, if keeping is on; else they go with the call.
    void keep(PageMemory pages) noexcept {
        if (pages.size() > maxSpareWriteBytes) return;
        PageMemory gone;
        std::lock_guard lock(mutex_);
        if (keeping_) gone = std::exchange(spare_, std::move(pages));
    }

    std::size_t bytes() {
        std::lock_guard lock(mutex_);
        return spare_.size();
    }

    void release() noexcept {
        PageMemory gone;
        std::lock_guard lock(mutex_);
        gone = std::move(spare_);
        keeping_ = false;
    }

private:
    SparePages() = default;

    std::mutex mutex_;
    PageMemory spare_;
    bool keeping_ = false;
};

void keepForTheNextText(PageMemory pages) noexcept { SparePages::shared().keep(std::move(pages)); }

}  // namespace

std::size_t spareWritePageBytes() { return SparePages::shared().bytes(); }

void releaseSpareWritePages() noexcept { SparePages::shared().release(); }

JSONTextBuffer::Scratch& JSONTextBuffer::threadScratch() {
    // Kept past the thread's thread_local objects: JSON is written at the end of the process too.
    static PerThread<Scratch> scratches;
    return scratches.get();
}

std::size_t keptWriteScratchBytes() { return JSONTextBuffer::threadScratch().size; }

JSONTextBuffer::JSONTextBuffer() : scratch_(threadScratch()) {
    if (scratch_.size < firstScratchBytes) {
        scratch_.bytes = std::make_unique_for_overwrite<char[]>(firstScratchBytes);
        scratch_.size = firstScratchBytes;
    }
    at_ = scratch_.bytes.get();
    end_ = at_ + scratch_.size;
}

void JSONTextBuffer::makeRoom(std::size_t n) {
    if (pages_.data() || !growScratch(n)) growPages(n);
}

bool JSONTextBuffer::growScratch(std::size_t n) {
    const std::size_t used = length();
    if (used + n > keptWriteBytes) return false;
    const std::size_t size = std::min(std::max(scratch_.size * 2, used + n), keptWriteBytes);
    auto bytes = std::make_unique_for_overwrite<char[]>(size);
    std::memcpy(bytes.get(), scratch_.bytes.get(), used);
    scratch_.bytes = std::move(bytes);
    scratch_.size = size;
    at_ = scratch_.bytes.get() + used;
    end_ = scratch_.bytes.get() + size;
    return true;
}

void JSONTextBuffer::growPages(std::size_t n) {
    const std::size_t used = length();
    const bool fromScratch = !pages_.data();
    if (fromScratch) {
        // A large text: the pages of the last one are kept while such texts keep coming. Keeping starts
        // before the text is noted, so that the release it schedules comes after it.
        SparePages::shared().keepWhileLargeTextsCome();
        noteLargeJSONText();
        pages_ = SparePages::shared().take();
    }
    if (pages_.size() < used + n) {
        // Pages never written take no memory: room for any text that may be kept means that such a text is
        // never copied as it grows (a spare too small for it is, once), and doubling keeps the copies of
        // larger ones few.
        pages_.resize(std::max({2 * pages_.size(), used + n, maxSpareWriteBytes}));
        adviseLargePages(pages_.data(), pages_.size());
    }
    if (fromScratch) std::memcpy(pages_.data(), scratch_.bytes.get(), used);
    at_ = pages_.data() + used;
    end_ = pages_.data() + pages_.size();
}

Data JSONTextBuffer::take() {
    const std::size_t used = length();
    if (!pages_.data()) return Data(scratch_.bytes.get(), used);
    // What lies past twice the text goes back now: a result may be kept for long, and the next text is
    // likely of a similar size.
    if (pages_.size() / 2 > used) pages_.resize(2 * used);
    return Data(std::move(pages_).share(keepForTheNextText), used);
}

}  // namespace ql::ns::detail
