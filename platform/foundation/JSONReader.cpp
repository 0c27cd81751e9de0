#include "platform/foundation/JSONReader.h"

#include <simdjson.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <system_error>
#include <vector>

#include "platform/foundation/JSONKeptMemory.h"
#include "platform/foundation/JSONMemberOrder.h"
#include "platform/foundation/JSONSerialization.h"
#include "platform/foundation/JSONSyntax.h"
#include "platform/foundation/PerThread.h"
#include "platform/foundation/ValueArena.h"

namespace ql::ns::detail {

namespace {

// simdjson's parser keeps buffers sized to the largest text it has seen (about 14 bytes of address space and
// 4 to 6 resident per byte of text). One is kept per thread for texts up to a few megabytes, so that replies
// of ordinary size parse without allocating.
constexpr std::size_t perThreadParserCapacity = std::size_t{4} << 20;
// Larger texts, up to this size, share one parser kept for the whole process: sized to the largest of them
// read since the last memory warning, which gives it back. Beyond it a text gets a parser of its own, freed
// afterwards.
constexpr std::size_t keptParserCapacity = std::size_t{32} << 20;
// Texts from this size on have trees of a megabyte or more, whose chunks are kept for the next such tree
// (see ValueArena::keepChunks) until memory is given back.
constexpr std::size_t largeText = std::size_t{192} << 10;

// simdjson's implementations (the parsers' and the writer's UTF-8 check, one for each kind of processor) are objects
// of static storage, destroyed as the process ends while a thread that is still running may be reading or writing
// JSON. The one chosen for this processor is replaced, as the program loads, by one of the same kind that is never
// destroyed; its code and tables are the library's own. A kind this header does not know keeps the library's.
const simdjson::implementation* keptForGood(const simdjson::implementation& chosen) {
    const std::string& name = chosen.name();
#if SIMDJSON_IMPLEMENTATION_ICELAKE
    if (name == "icelake") return new simdjson::icelake::implementation;
#endif
#if SIMDJSON_IMPLEMENTATION_HASWELL
    if (name == "haswell") return new simdjson::haswell::implementation;
#endif
#if SIMDJSON_IMPLEMENTATION_WESTMERE
    if (name == "westmere") return new simdjson::westmere::implementation;
#endif
#if SIMDJSON_IMPLEMENTATION_ARM64
    if (name == "arm64") return new simdjson::arm64::implementation;
#endif
#if SIMDJSON_IMPLEMENTATION_PPC64
    if (name == "ppc64") return new simdjson::ppc64::implementation;
#endif
#if SIMDJSON_IMPLEMENTATION_FALLBACK
    if (name == "fallback") return new simdjson::fallback::implementation;
#endif
    return nullptr;
}

[[gnu::constructor(101)]] void keepTheParsersImplementationForGood() {
    simdjson::internal::atomic_ptr<const simdjson::implementation>& active = simdjson::get_active_implementation();
    // Asking its name makes the library choose.
    if (const simdjson::implementation* kept = keptForGood(*active)) active = kept;
}

std::unique_ptr<simdjson::dom::parser> makeParser(std::size_t capacity) {
    auto parser = std::make_unique<simdjson::dom::parser>();
    if (parser->allocate(capacity, JSONMaxNestingDepth)) return nullptr;
    return parser;
}

// The shared parser for large texts, lent to one read at a time; a read that finds it lent makes its own.
class KeptParser {
public:
    static KeptParser& shared() {
        static KeptParser* kept = new KeptParser;  // never destroyed: reads may run during static destruction
        return *kept;
    }

    std::unique_ptr<simdjson::dom::parser> borrow(std::size_t capacity) {
        {
            std::lock_guard lock(mutex_);
            if (parser_) return std::move(parser_);
        }
        return makeParser(capacity);
    }

    void giveBack(std::unique_ptr<simdjson::dom::parser> parser) {
        std::lock_guard lock(mutex_);
        if (!parser_) parser_ = std::move(parser);
        // Otherwise one made meanwhile was given back first; this one goes once the lock is let go.
    }

    std::size_t capacity() {
        std::lock_guard lock(mutex_);
        return parser_ ? parser_->capacity() : 0;
    }

    void release() noexcept {
        std::unique_ptr<simdjson::dom::parser> gone;
        std::lock_guard lock(mutex_);
        gone.swap(parser_);
    }

private:
    KeptParser() = default;

    std::mutex mutex_;
    std::unique_ptr<simdjson::dom::parser> parser_;
};

// Lays out simdjson's document as a tree of Values in an arena; the parser has checked the text and bounded
// its depth already. Containers are made before their members, at their final size, and members are built
// in place, so the tree lies in the arena in the order it is read.
//
// The document is read straight from its tape, as simdjson lays it out: a 64-bit word per scalar, key and
// container bracket (numbers take a second word with the number), the top byte telling the type. An
// opening bracket holds the index after its closing one in its low 32 bits and the member count (capped at
// 0xFFFFFF) above them; a text holds the offset in the string buffer of its 32-bit length and bytes.
// (Going through simdjson's element objects instead takes a fifth more instructions.)
class TreeBuilder {
public:
    // What one build works with, kept per thread and shared by all levels of one parse: the members of the
    // dictionaries being built, as written, and the order they are laid out in.
    struct Scratch {
        std::vector<WrittenMember> members;
        std::vector<std::uint32_t> order;
        MemberOrders orders;

        std::size_t bytes() const {
            return members.capacity() * sizeof(WrittenMember) + order.capacity() * sizeof(std::uint32_t);
        }
        // What a dictionary of a great many members made the lists grow to is not kept for the next read.
        void trim() noexcept {
            if (bytes() <= keptScratchBytes) return;
            members = std::vector<WrittenMember>();
            order = std::vector<std::uint32_t>();
        }
    };

    TreeBuilder(const simdjson::dom::document& document, unsigned options, ValueArena& arena, Scratch& scratch)
        : tape_(document.tape.get()),
          strings_(document.string_buf.get()),
          mutableContainers_(options & JSONReadingMutableContainers),
          mutableLeaves_(options & JSONReadingMutableLeaves),
          arena_(arena),
          members_(scratch.members),
          order_(scratch.order),
          orders_(scratch.orders) {
        // The remembered orders compare with keys of the previous document, which are gone.
        orders_.forget();
    }

    // Builds the value at tape index `at` into `slot`; the index after the value. Scalars and texts are
    // made here, inline in the loops over members; only containers recurse.
    [[gnu::always_inline]] std::size_t build(std::size_t at, Value& slot) {
        const std::uint64_t word = tape_[at];
        switch (static_cast<char>(word >> 56)) {
            case '[': return buildArray(at, word, slot);
            case '{': return buildDictionary(at, word, slot);
            case '"': arena_.setPaddedText(slot, text(word), mutableLeaves_); return at + 1;
            case 'l': slot = Value(static_cast<std::int64_t>(tape_[at + 1])); return at + 2;
            case 'u': slot = Value(tape_[at + 1]); return at + 2;
            case 'd': slot = Value(std::bit_cast<double>(tape_[at + 1])); return at + 2;
            case 't': slot = Value(true); return at + 1;
            case 'f': slot = Value(false); return at + 1;
            default: slot = Value::null(); return at + 1;
        }
    }

private:
    static constexpr std::uint64_t payloadMask = 0x00FFFFFFFFFFFFFF;
    static constexpr std::size_t countCap = 0xFFFFFF;

    std::size_t after(std::size_t at) const {
        const std::uint64_t word = tape_[at];
        switch (static_cast<char>(word >> 56)) {
            case '[':
            case '{': return static_cast<std::uint32_t>(word);
            case 'l':
            case 'u':
            case 'd': return at + 2;
            default: return at + 1;
        }
    }

    std::size_t arrayCount(std::size_t at, std::uint64_t word) const {
        std::size_t count = (word >> 32) & countCap;
        if (count < countCap) return count;
        count = 0;
        for (std::size_t i = at + 1, end = static_cast<std::uint32_t>(word); i + 1 < end; i = after(i)) ++count;
        return count;
    }

    // simdjson pads its string buffer, so eight bytes may be read from any text in it, and whole words past
    // the end of any text.
    std::string_view text(std::uint64_t word) const {
        const std::uint8_t* at = strings_ + (word & payloadMask);
        std::uint32_t length;
        std::memcpy(&length, at, sizeof length);
        return std::string_view(reinterpret_cast<const char*>(at + sizeof length), length);
    }

    [[gnu::noinline]] std::size_t buildArray(std::size_t at, std::uint64_t word, Value& slot) {
        const std::size_t end = static_cast<std::uint32_t>(word);
        Array& array = arena_.setArray(slot, arrayCount(at, word), mutableContainers_);
        for (std::size_t i = at + 1; i + 1 < end;) i = build(i, array.emplace_back());
        return end;
    }

    // Dictionaries keep their keys sorted: the members are listed as written, then laid out in the order
    // MemberOrders gives.
    [[gnu::noinline]] std::size_t buildDictionary(std::size_t at, std::uint64_t word, Value& slot) {
        const std::size_t end = static_cast<std::uint32_t>(word);
        const std::size_t mark = members_.size();
        for (std::size_t i = at + 1; i + 1 < end; i = after(i + 1)) {
            const std::string_view key = text(tape_[i]);
            members_.push_back({prefixOf(key.data(), key.size()), key.data(), static_cast<std::uint32_t>(key.size()),
                                static_cast<std::uint32_t>(i + 1)});
        }
        const std::size_t orderMark = order_.size();
        orders_.append(std::span(members_).subspan(mark), order_);
        const std::size_t orderEnd = order_.size();
        Dictionary& dictionary = arena_.setDictionary(slot, orderEnd - orderMark, mutableContainers_);
        // By index: building a member's value may grow both stacks. The fields are read one by one, as they
        // were just written: a wider read of them would wait for those writes to reach the cache.
        for (std::size_t i = orderMark; i < orderEnd; ++i) {
            const WrittenMember& member = members_[mark + order_[i]];
            const std::size_t value = member.value;
            build(value, arena_.appendEntry(dictionary, member.keyText()));
        }
        members_.resize(mark);
        order_.resize(orderMark);
        return end;
    }

    const std::uint64_t* tape_;
    const std::uint8_t* strings_;
    bool mutableContainers_;
    bool mutableLeaves_;
    ValueArena& arena_;
    std::vector<WrittenMember>& members_;
    std::vector<std::uint32_t>& order_;
    MemberOrders& orders_;
};

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool fitsIn64Bits(std::string_view integer) {
    std::int64_t i;
    std::uint64_t u;
    auto r = integer[0] == '-' ? std::from_chars(integer.data(), integer.data() + integer.size(), i)
                               : std::from_chars(integer.data(), integer.data() + integer.size(), u);
    return r.ec != std::errc::result_out_of_range;
}

// simdjson refuses integers beyond 64 bits, which the platform reads as doubles. Writing such an integer
// as a decimal ("…0" as "…0.0") makes simdjson read the same number as a double; nothing else changes,
// and a bad text stays bad. Nothing when the text has no such integer.
std::optional<std::string> markWideIntegersAsDecimals(std::string_view text) {
    std::string out;
    bool changed = false;
    bool inString = false;
    for (std::size_t i = 0; i < text.size();) {
        char c = text[i];
        if (inString || (c != '-' && !isDigit(c))) {
            if (inString && c == '\\' && i + 1 < text.size()) out += text[i++];
            else if (c == '"') inString = !inString;
            out += text[i++];
            continue;
        }
        // A number: its digits, then whatever fraction and exponent follow.
        std::size_t start = i;
        if (c == '-') ++i;
        const std::size_t digits = i;
        while (i < text.size() && isDigit(text[i])) ++i;
        bool integer = i > digits;
        for (; i < text.size(); ++i) {
            char n = text[i];
            if (!isDigit(n) && n != '.' && n != 'e' && n != 'E' && n != '+' && n != '-') break;
            integer = false;
        }
        std::string_view number = text.substr(start, i - start);
        out += number;
        if (integer && !fitsIn64Bits(number)) {
            out += ".0";
            changed = true;
        }
    }
    if (!changed) return std::nullopt;
    return out;
}

// simdjson reads up to SIMDJSON_PADDING bytes past the end of a text, whatever they hold, and copies every
// text into a padded buffer of its own unless told that those bytes may be read. They may when they lie in
// the memory page of the text's last byte, as they do for most texts: no fault can come of reading them, and
// the copy (a pass over the whole text, a tenth of a large read) is saved.
bool paddingIsReadable(std::string_view text) {
    static const auto pageSize = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    if (text.empty()) return false;
    const auto last = reinterpret_cast<std::uintptr_t>(text.data() + text.size() - 1);
    return last % pageSize + simdjson::SIMDJSON_PADDING < pageSize;
}

simdjson::error_code parse(simdjson::dom::parser& parser, std::string_view utf8, simdjson::dom::element& root) {
    return parser.parse(utf8.data(), utf8.size(), !paddingIsReadable(utf8)).get(root);
}

// The thread's own scratch and parser, kept past its thread_local objects: JSON is read at the end of the process
// too.
TreeBuilder::Scratch& threadScratch() {
    static PerThread<TreeBuilder::Scratch> scratches;
    return scratches.get();
}

simdjson::dom::parser* threadParser() {
    static PerThread<std::unique_ptr<simdjson::dom::parser>> parsers;
    std::unique_ptr<simdjson::dom::parser>& parser = parsers.get();
    if (!parser) parser = makeParser(std::size_t{64} << 10);
    return parser.get();
}

Value read(std::string_view utf8, unsigned options, simdjson::dom::parser& parser, TreeBuilder::Scratch& scratch) {
    simdjson::dom::element root;
    auto error = parse(parser, utf8, root);
    std::optional<std::string> widened;
    if (error == simdjson::NUMBER_ERROR) {
        widened = markWideIntegersAsDecimals(utf8);
        if (widened) error = parse(parser, *widened, root);
    }
    if (error) return Value();
    bool container = root.is_array() || root.is_object();
    if (!container && !(options & JSONReadingFragmentsAllowed)) return Value();
    // The tree takes up to about five times the text (entries of small dictionaries are the bulk); the arena
    // grows when that falls short. Room not used is never touched, so it costs address space only.
    ValueArena::Handle arena = ValueArena::make(utf8.size() * 5 + 256);
    // The root value follows the tape's opening root word.
    TreeBuilder(parser.doc, options, *arena, scratch).build(1, arena->root());
    return arena->root();
}

}  // namespace

Value readJSON(std::string_view utf8, unsigned options) {
    giveBackKeptJSONMemoryOnMemoryWarnings();
    if (utf8.size() >= largeText) {
        // Keeping starts before the text is noted, so that the release it schedules comes after it.
        ValueArena::keepChunks();
        noteLargeJSONText();
    }
    if (utf8.size() <= perThreadParserCapacity) {
        if (simdjson::dom::parser* kept = threadParser()) {
            TreeBuilder::Scratch& scratch = threadScratch();
            // Trimmed however the read ends.
            struct Trim {
                TreeBuilder::Scratch& scratch;
                ~Trim() { scratch.trim(); }
            } trim{scratch};
            return read(utf8, options, *kept, scratch);
        }
    }
    TreeBuilder::Scratch scratch;
    if (utf8.size() <= keptParserCapacity) {
        auto parser = KeptParser::shared().borrow(utf8.size());
        if (!parser) return Value();
        // Given back however the read ends: a tree too large for memory throws.
        struct GiveBack {
            std::unique_ptr<simdjson::dom::parser>& parser;
            ~GiveBack() { KeptParser::shared().giveBack(std::move(parser)); }
        } giveBack{parser};
        return read(utf8, options, *parser, scratch);
    }
    auto own = makeParser(utf8.size());
    return own ? read(utf8, options, *own, scratch) : Value();
}

std::size_t sharedParserCapacity() { return KeptParser::shared().capacity(); }

void releaseSharedParser() noexcept { KeptParser::shared().release(); }

std::size_t threadReadScratchBytes() { return threadScratch().bytes(); }

}  // namespace ql::ns::detail
