// Model mapping against hand-written code on the same reply, the shared book list of BookCorpus.h (2,000
// records, about 1 MB of JSON) with nested arrays of models and texts, already parsed into ns::Value. The
// targets: filling the models, and building dictionaries back from them, each within 2x of code that does
// the same field by field.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "bench/BookCorpus.h"
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

const std::string& replyText() { return bench::bookListJSON(); }

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
    if (!rsp || rsp->books.size() != bench::bookCount || rsp->books.back()->chapters.empty() ||
        rsp->books[0]->bookId != bench::firstBookId)
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
        if (d["books"].count() != bench::bookCount) state.SkipWithError("the models did not map back");
        benchmark::DoNotOptimize(d);
    }
}

void MappingDictionaries(benchmark::State& state) {
    const auto rsp = fillByHand(reply());
    if (!(mm_keyValues(*rsp) == dictionaryByHand(*rsp))) state.SkipWithError("mapping and hand-written code disagree");
    for (auto _ : state) {
        Value d = mm_keyValues(*rsp);
        if (d["books"].count() != bench::bookCount) state.SkipWithError("the models did not map back");
        benchmark::DoNotOptimize(d);
    }
}

BENCHMARK(HandWrittenFill)->Unit(benchmark::kMicrosecond);
BENCHMARK(MappingFill)->Unit(benchmark::kMicrosecond);
BENCHMARK(HandWrittenDictionaries)->Unit(benchmark::kMicrosecond);
BENCHMARK(MappingDictionaries)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    std::printf("reply: %zu bytes of JSON, %d book records\n", replyText().size(), bench::bookCount);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
