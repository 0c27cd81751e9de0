#pragma once
// The corpus the JSON and mapping benchmarks share: a book-list reply of 2,000 records (about 1 MB of
// JSON) with nested arrays and dictionaries, texts in Chinese and ASCII with escapes, URLs, integers
// beyond the doubles' exact range, doubles, booleans and null. Deterministic, so every run measures the
// same text.
//
// A record: {"bookId", "isbn", "title", "authors": [{"authorId", "name"}], "price", "rating", "pages",
// "available", "published", "cover", "tags": [text], "summary", "chapters": [{"no", "title", "pages",
// "range": [first, last]}], "stock", "inventory": {"store", "warehouse"}, "series": null}. Models need not
// map all of it, as an app's models seldom do.

#include <cstdint>
#include <string>

namespace ql::bench {

inline constexpr int bookCount = 2000;
// Beyond 2^53, so that a reader which passes integers through doubles gets them wrong.
inline constexpr std::int64_t firstBookId = 9007199254740993;

namespace corpus {

class Random {
public:
    std::uint32_t next(std::uint32_t bound) {
        state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<std::uint32_t>(state_ >> 33) % bound;
    }
    template <class T, std::size_t N>
    const T& pick(const T (&items)[N]) {
        return items[next(N)];
    }

private:
    std::uint64_t state_ = 20150601;
};

inline const char* const titleWords[] = {
    "\u7ea2\u697c", "\u5e73\u51e1", "\u7684",   "\u4e16\u754c", "\u6d3b\u7740", "History", "of",      "the",
    "Modern",       "World",        "\u56f4\u57ce", "Notes",        "\u4e09\u4f53", "Garden",  "\u767e\u5e74", "Solitude"};
inline const char* const names[] = {"\u66f9\u96ea\u82b9", "\u8def\u9065", "\u4f59\u534e", "\u94b1\u949f\u4e66",
                                    "\u5218\u6148\u6b23", "Gabriel M.", "Eric Hobsbawm", "Jane Austen"};
inline const char* const tags[] = {"\u5c0f\u8bf4", "\u5386\u53f2", "\u79d1\u5e7b", "classic",
                                   "history",     "\u6587\u5b66", "essay",        "\u7ecf\u5178"};
// Written as they stand in JSON text, escapes included.
inline const char* const sentences[] = {
    "\u8fd9\u662f\u4e00\u90e8\u5173\u4e8e\u5bb6\u65cf\u5174\u8870\u7684\u5c0f\u8bf4\u3002",
    "A story told across \\\"three\\\" generations.",
    "\u4f5c\u8005\u4ee5\u7ec6\u817b\u7684\u7b14\u89e6\u63cf\u7ed8\u4e86\u666e\u901a\u4eba\u7684\u751f\u6d3b\u3002",
    "First published in 1986;\\nrevised in 2012.",
    "Tab\\tseparated notes / marginalia.",
    "\u5e73\u51e1\u7684\u4e16\u754c\u91cc\u4e5f\u6709\u4e0d\u5e73\u51e1\u7684\u4eba\u3002"};

inline std::string title(Random& random, std::uint32_t words) {
    std::string out;
    for (std::uint32_t i = 0; i < words; ++i) out += std::string(i ? " " : "") + random.pick(titleWords);
    return out;
}

inline std::string quoted(const std::string& text) { return "\"" + text + "\""; }

inline std::string bookRecord(Random& random, int id) {
    using std::to_string;
    std::string r = "{\"bookId\":" + to_string(firstBookId + id);
    r += ",\"isbn\":" + quoted("978-7-" + to_string(1000 + random.next(9000)) + "-" + to_string(random.next(9999)) +
                               "-" + to_string(random.next(10)));
    r += ",\"title\":" + quoted(title(random, 2 + random.next(4)));
    r += ",\"authors\":[";
    for (std::uint32_t a = 0, n = 1 + random.next(3); a < n; ++a)
        r += std::string(a ? "," : "") + "{\"authorId\":" + to_string(random.next(5000)) +
             ",\"name\":" + quoted(random.pick(names)) + "}";
    r += "],\"price\":" + to_string(10 + random.next(90)) + "." + to_string(random.next(10)) + "9";
    r += ",\"rating\":" + to_string(random.next(5)) + "." + to_string(1 + random.next(9));
    r += ",\"pages\":" + to_string(80 + random.next(900));
    r += std::string(",\"available\":") + (random.next(4) ? "true" : "false");
    r += ",\"published\":\"20" + to_string(10 + random.next(10)) + "-0" + to_string(1 + random.next(9)) + "-1" +
         to_string(random.next(10)) + "\"";
    r += ",\"cover\":\"http://img.example.com/covers/" + to_string(id) + "/large.jpg\"";
    r += ",\"tags\":[";
    for (std::uint32_t t = 0, n = 1 + random.next(4); t < n; ++t) r += std::string(t ? "," : "") + quoted(random.pick(tags));
    r += "],\"summary\":\"";
    for (std::uint32_t s = 0, n = 1 + random.next(2); s < n; ++s) r += random.pick(sentences);
    r += "\",\"chapters\":[";
    for (std::uint32_t c = 0, n = 1 + random.next(3); c < n; ++c) {
        const std::uint32_t first = 1 + random.next(50), pages = 1 + random.next(50);
        r += std::string(c ? "," : "") + "{\"no\":" + to_string(c + 1) +
             ",\"title\":" + quoted(title(random, 1 + random.next(2))) + ",\"pages\":" + to_string(pages) +
             ",\"range\":[" + to_string(first) + "," + to_string(first + pages - 1) + "]}";
    }
    const std::uint32_t store = random.next(40), warehouse = random.next(400);
    r += "],\"stock\":" + to_string(store + warehouse) + ",\"inventory\":{\"store\":" + to_string(store) +
         ",\"warehouse\":" + to_string(warehouse) + "},\"series\":null}";
    return r;
}

}  // namespace corpus

// The JSON text of a reply of `count` records: {"result":1,"msg":"ok","books":[record, …]}. A record takes
// about 520 bytes, so 2,000 make a megabyte.
inline std::string bookListJSON(int count) {
    corpus::Random random;
    std::string out = "{\"result\":1,\"msg\":\"ok\",\"books\":[";
    for (int i = 0; i < count; ++i) out += (i ? ",\n" : "") + corpus::bookRecord(random, i);
    return out + "]}";
}

// The reply of bookCount records.
inline const std::string& bookListJSON() {
    static const std::string text = bookListJSON(bookCount);
    return text;
}

}  // namespace ql::bench
