// Model mapping against hand-written code on the same reply: a book list of 2,000 records (about 1 MB of
// JSON) with nested arrays of models and texts, already parsed into ns::Value. The targets: filling the
// models, and building dictionaries back from them, each within 2x of code that does the same field by
// field.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "mapping/MMHooks.h"
#include "mapping/MMKeyValue.h"
#include "platform/foundation/JSONSerialization.h"

namespace {

using namespace ql;
using ns::Value;

class BenchAuthor : public ns::Object {
    QL_OBJECT(BenchAuthor, ns::Object)
    QL_PROPERTY(std::int64_t, authorId)
    QL_PROPERTY(std::string, name)
};

class BenchChapter : public ns::Object {
    QL_OBJECT(BenchChapter, ns::Object)
    QL_PROPERTY(std::int64_t, no)
    QL_PROPERTY(std::string, title)
    QL_PROPERTY(std::int32_t, pages)
};

class BenchBook : public ns::Object {
    QL_OBJECT(BenchBook, ns::Object)
    QL_MM_HOOKS()
    QL_PROPERTY(std::int64_t, bookId)
    QL_PROPERTY(std::string, isbn)
    QL_PROPERTY(std::string, title)
    QL_PROPERTY(std::vector<std::shared_ptr<BenchAuthor>>, authors)
    QL_PROPERTY(double, price)
    QL_PROPERTY(double, rating)
    QL_PROPERTY(std::int32_t, pages)
    QL_PROPERTY(bool, available)
    QL_PROPERTY(std::string, published)
    QL_PROPERTY(std::string, cover)
    QL_PROPERTY(std::vector<std::string>, tags)
    QL_PROPERTY(std::string, summary)
    QL_PROPERTY(std::vector<std::shared_ptr<BenchChapter>>, chapters)
    QL_PROPERTY(std::int64_t, stock)
public:
    static ns::Dictionary mm_objectClassInArray() {
        return {{"authors", Value("BenchAuthor")}, {"chapters", Value("BenchChapter")}};
    }
};

// Registers its element class each time one is made, as the app's reply models do.
class BenchBookListRsp : public ns::Object {
    QL_OBJECT(BenchBookListRsp, ns::Object)
    QL_PROPERTY(std::int64_t, result)
    QL_PROPERTY(std::string, msg)
    QL_PROPERTY(std::vector<std::shared_ptr<BenchBook>>, books)
public:
    BenchBookListRsp() {
        mm_setupObjectClassInArray(classObject(), [] { return ns::Dictionary{{"books", Value("BenchBook")}}; });
    }
};

// A small deterministic generator, so every run measures the same reply.
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
    std::uint64_t state_ = 88172645463325252ull;
};

const char* const words[] = {"\u5e73\u51e1", "\u7684", "\u4e16\u754c", "\u56f4\u57ce", "Reading", "Garden",
                             "\u4e09\u4f53", "Rivers", "\u8001\u4eba\u4e0e\u6d77", "Stars", "\u9a86\u9a7c\u7965\u5b50"};
const char* const people[] = {"\u8def\u9065", "\u94b1\u949f\u4e66", "\u8001\u820d", "\u51b0\u5fc3", "E. B. White",
                              "Roald Dahl"};
const char* const labels[] = {"\u7ae5\u8bdd", "\u5c0f\u8bf4", "\u79d1\u666e", "picture book", "poetry", "\u540d\u8457"};

std::string phrase(Random& random, std::uint32_t count) {
    std::string out;
    for (std::uint32_t i = 0; i < count; ++i) out += std::string(i ? " " : "") + random.pick(words);
    return out;
}

std::string quoted(const std::string& text) { return "\"" + text + "\""; }

std::string bookRecord(Random& random, int id) {
    std::string r = "{\"bookId\":" + std::to_string(9007199254740993 + id);
    r += ",\"isbn\":" + quoted("978-7-" + std::to_string(1000 + random.next(9000)) + "-" + std::to_string(random.next(10)));
    r += ",\"title\":" + quoted(phrase(random, 2 + random.next(4)));
    r += ",\"authors\":[";
    for (std::uint32_t a = 0, n = 1 + random.next(3); a < n; ++a)
        r += std::string(a ? "," : "") + "{\"authorId\":" + std::to_string(random.next(5000)) +
             ",\"name\":" + quoted(random.pick(people)) + "}";
    r += "],\"price\":" + std::to_string(10 + random.next(90)) + ".5";
    r += ",\"rating\":" + std::to_string(random.next(5)) + "." + std::to_string(1 + random.next(9));
    r += ",\"pages\":" + std::to_string(40 + random.next(400));
    r += std::string(",\"available\":") + (random.next(4) ? "true" : "false");
    r += ",\"published\":\"2015-0" + std::to_string(1 + random.next(9)) + "-1" + std::to_string(random.next(10)) + "\"";
    r += ",\"cover\":\"http://img.example.com/covers/" + std::to_string(id) + "/large.jpg\"";
    r += ",\"tags\":[";
    for (std::uint32_t t = 0, n = 1 + random.next(4); t < n; ++t) r += std::string(t ? "," : "") + quoted(random.pick(labels));
    r += "],\"summary\":" + quoted(phrase(random, 6 + random.next(14)));
    r += ",\"chapters\":[";
    for (std::uint32_t c = 0, n = 1 + random.next(4); c < n; ++c)
        r += std::string(c ? "," : "") + "{\"no\":" + std::to_string(c + 1) + ",\"title\":" +
             quoted(phrase(random, 1 + random.next(3))) + ",\"pages\":" + std::to_string(5 + random.next(30)) + "}";
    r += "],\"stock\":" + std::to_string(random.next(400)) + "}";
    return r;
}

const std::string& replyText() {
    static const std::string text = [] {
        Random random;
        std::string out = "{\"result\":1,\"msg\":\"ok\",\"books\":[";
        for (int i = 0; i < 2000; ++i) out += (i ? ",\n" : "") + bookRecord(random, i);
        return out + "]}";
    }();
    return text;
}

const Value& reply() {
    static const Value value = ns::JSONSerialization::JSONObjectWithData(replyText(), 0, nullptr);
    return value;
}

// ---- The hand-written counterparts ----

std::string text(const Value& v) { return std::string(v.asString()); }

std::shared_ptr<BenchBookListRsp> fillByHand(const Value& reply) {
    auto rsp = std::make_shared<BenchBookListRsp>();
    rsp->result = reply["result"].int64Value();
    rsp->msg = text(reply["msg"]);
    const ns::Array* books = reply["books"].asArray();
    rsp->books.reserve(books->size());
    for (const Value& b : *books) {
        auto book = std::make_shared<BenchBook>();
        book->bookId = b["bookId"].int64Value();
        book->isbn = text(b["isbn"]);
        book->title = text(b["title"]);
        for (const Value& a : *b["authors"].asArray()) {
            auto author = std::make_shared<BenchAuthor>();
            author->authorId = a["authorId"].int64Value();
            author->name = text(a["name"]);
            book->authors.push_back(std::move(author));
        }
        book->price = b["price"].doubleValue();
        book->rating = b["rating"].doubleValue();
        book->pages = static_cast<std::int32_t>(b["pages"].int64Value());
        book->available = b["available"].boolValue();
        book->published = text(b["published"]);
        book->cover = text(b["cover"]);
        for (const Value& t : *b["tags"].asArray()) book->tags.push_back(text(t));
        book->summary = text(b["summary"]);
        for (const Value& c : *b["chapters"].asArray()) {
            auto chapter = std::make_shared<BenchChapter>();
            chapter->no = c["no"].int64Value();
            chapter->title = text(c["title"]);
            chapter->pages = static_cast<std::int32_t>(c["pages"].int64Value());
            book->chapters.push_back(std::move(chapter));
        }
        book->stock = b["stock"].int64Value();
        rsp->books.push_back(std::move(book));
    }
    return rsp;
}

Value dictionaryByHand(const BenchBookListRsp& rsp) {
    ns::Array books;
    books.reserve(rsp.books.size());
    for (const auto& book : rsp.books) {
        ns::Array authors, tags, chapters;
        for (const auto& a : book->authors)
            authors.push_back(Value::mutableDictionary({{"authorId", Value(a->authorId)}, {"name", Value(a->name)}}));
        for (const auto& t : book->tags) tags.emplace_back(t);
        for (const auto& c : book->chapters)
            chapters.push_back(Value::mutableDictionary(
                {{"no", Value(c->no)}, {"title", Value(c->title)}, {"pages", Value(c->pages)}}));
        books.push_back(Value::mutableDictionary({{"bookId", Value(book->bookId)},
                                                  {"isbn", Value(book->isbn)},
                                                  {"title", Value(book->title)},
                                                  {"authors", Value(std::move(authors))},
                                                  {"price", Value(book->price)},
                                                  {"rating", Value(book->rating)},
                                                  {"pages", Value(book->pages)},
                                                  {"available", Value(book->available)},
                                                  {"published", Value(book->published)},
                                                  {"cover", Value(book->cover)},
                                                  {"tags", Value(std::move(tags))},
                                                  {"summary", Value(book->summary)},
                                                  {"chapters", Value(std::move(chapters))},
                                                  {"stock", Value(book->stock)}}));
    }
    return Value::mutableDictionary(
        {{"result", Value(rsp.result)}, {"msg", Value(rsp.msg)}, {"books", Value(std::move(books))}});
}

void check(benchmark::State& state, const BenchBookListRsp* rsp) {
    if (!rsp || rsp->books.size() != 2000 || rsp->books[1999]->chapters.empty() ||
        rsp->books[0]->bookId != 9007199254740993)
        state.SkipWithError("the reply did not map");
}

// ---- Benchmarks ----

void HandWrittenFill(benchmark::State& state) {
    for (auto _ : state) {
        auto rsp = fillByHand(reply());
        check(state, rsp.get());
        benchmark::DoNotOptimize(rsp);
    }
}

void MappingFill(benchmark::State& state) {
    for (auto _ : state) {
        auto rsp = mm_objectWithKeyValues<BenchBookListRsp>(reply());
        check(state, rsp.get());
        benchmark::DoNotOptimize(rsp);
    }
}

void HandWrittenDictionaries(benchmark::State& state) {
    const auto rsp = fillByHand(reply());
    for (auto _ : state) {
        Value d = dictionaryByHand(*rsp);
        if (d["books"].count() != 2000) state.SkipWithError("the models did not map back");
        benchmark::DoNotOptimize(d);
    }
}

void MappingDictionaries(benchmark::State& state) {
    const auto rsp = fillByHand(reply());
    if (!(mm_keyValues(*rsp) == dictionaryByHand(*rsp))) state.SkipWithError("mapping and hand-written code disagree");
    for (auto _ : state) {
        Value d = mm_keyValues(*rsp);
        if (d["books"].count() != 2000) state.SkipWithError("the models did not map back");
        benchmark::DoNotOptimize(d);
    }
}

BENCHMARK(HandWrittenFill)->Unit(benchmark::kMicrosecond);
BENCHMARK(MappingFill)->Unit(benchmark::kMicrosecond);
BENCHMARK(HandWrittenDictionaries)->Unit(benchmark::kMicrosecond);
BENCHMARK(MappingDictionaries)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    std::printf("reply: %zu bytes of JSON, 2000 book records\n", replyText().size());
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
