// JSON reading and writing against simdjson's own DOM parse of the same text: a book list of 2,000
// records (about 1 MB) with nested arrays and dictionaries, texts in Chinese and ASCII, URLs and escapes.
// The targets: reading into ns::Value and writing it back each within 3x the DOM parse.

#include <benchmark/benchmark.h>
#include <simdjson.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/foundation/JSONSerialization.h"

namespace {

using namespace ql::ns;

// A small deterministic generator, so every run measures the same text.
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

const char* const titleWords[] = {"\u7ea2\u697c", "\u5e73\u51e1", "\u7684", "\u4e16\u754c", "\u6d3b\u7740",
                                  "History", "of", "the", "Modern", "World", "\u56f4\u57ce", "Notes",
                                  "\u4e09\u4f53", "Garden", "\u767e\u5e74", "Solitude"};
const char* const names[] = {"\u66f9\u96ea\u82b9", "\u8def\u9065", "\u4f59\u534e", "\u94b1\u949f\u4e66",
                             "\u5218\u6148\u6b23", "Gabriel M.", "Eric Hobsbawm", "Jane Austen"};
const char* const tags[] = {"\u5c0f\u8bf4", "\u5386\u53f2", "\u79d1\u5e7b", "classic", "history",
                            "\u6587\u5b66", "essay", "\u7ecf\u5178"};
const char* const sentences[] = {
    "\u8fd9\u662f\u4e00\u90e8\u5173\u4e8e\u5bb6\u65cf\u5174\u8870\u7684\u5c0f\u8bf4\u3002",
    "A story told across \\\"three\\\" generations.",
    "\u4f5c\u8005\u4ee5\u7ec6\u817b\u7684\u7b14\u89e6\u63cf\u7ed8\u4e86\u666e\u901a\u4eba\u7684\u751f\u6d3b\u3002",
    "First published in 1986;\\nrevised in 2012.",
    "Tab\\tseparated notes / marginalia.",
    "\u5e73\u51e1\u7684\u4e16\u754c\u91cc\u4e5f\u6709\u4e0d\u5e73\u51e1\u7684\u4eba\u3002"};

std::string title(Random& random, int words) {
    std::string out;
    for (int i = 0; i < words; ++i) {
        if (i > 0) out += ' ';
        out += random.pick(titleWords);
    }
    return out;
}

std::string bookRecord(Random& random, int id) {
    std::string r = "{\"id\":" + std::to_string(100000 + id);
    r += ",\"isbn\":\"978-7-" + std::to_string(1000 + random.next(9000)) + "-" + std::to_string(random.next(9999)) +
         "-" + std::to_string(random.next(10)) + "\"";
    r += ",\"title\":\"" + title(random, 2 + static_cast<int>(random.next(4))) + "\"";
    r += ",\"authors\":[";
    for (std::uint32_t a = 0, n = 1 + random.next(3); a < n; ++a) {
        if (a) r += ',';
        r += "{\"id\":" + std::to_string(random.next(5000)) + ",\"name\":\"" + random.pick(names) + "\"}";
    }
    r += "],\"price\":" + std::to_string(10 + random.next(90)) + "." + std::to_string(random.next(10)) + "9";
    r += ",\"rating\":" + std::to_string(random.next(5)) + "." + std::to_string(random.next(10));
    r += ",\"pages\":" + std::to_string(80 + random.next(900));
    r += std::string(",\"available\":") + (random.next(4) ? "true" : "false");
    r += ",\"published\":\"20" + std::to_string(10 + random.next(10)) + "-0" + std::to_string(1 + random.next(9)) + "-1" +
         std::to_string(random.next(10)) + "\"";
    r += ",\"cover\":\"http://img.example.com/covers/" + std::to_string(id) + "/large.jpg\"";
    r += ",\"tags\":[";
    for (std::uint32_t t = 0, n = 1 + random.next(4); t < n; ++t) r += std::string(t ? "," : "") + "\"" + random.pick(tags) + "\"";
    r += "],\"summary\":\"";
    for (std::uint32_t s = 0, n = 1 + random.next(2); s < n; ++s) r += random.pick(sentences);
    r += "\",\"chapters\":[";
    for (std::uint32_t c = 0, n = 1 + random.next(3); c < n; ++c) {
        if (c) r += ',';
        r += "{\"no\":" + std::to_string(c + 1) + ",\"title\":\"" + title(random, 1 + static_cast<int>(random.next(2))) +
             "\",\"pages\":[" + std::to_string(random.next(50)) + "," + std::to_string(50 + random.next(50)) + "]}";
    }
    r += "],\"stock\":{\"store\":" + std::to_string(random.next(40)) + ",\"warehouse\":" +
         std::to_string(random.next(400)) + "},\"series\":null}";
    return r;
}

const std::string& bookListText() {
    static const std::string text = [] {
        Random random;
        std::string out = "{\"result\":1,\"msg\":\"ok\",\"books\":[";
        for (int i = 0; i < 2000; ++i) {
            if (i) out += ",\n";
            out += bookRecord(random, i);
        }
        out += "]}";
        return out;
    }();
    return text;
}

void SimdjsonDOMParse(benchmark::State& state) {
    simdjson::padded_string text(bookListText());
    simdjson::dom::parser parser;
    for (auto _ : state) {
        simdjson::dom::element root;
        if (parser.parse(text).get(root)) state.SkipWithError("simdjson refused the corpus");
        benchmark::DoNotOptimize(root);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

// Reading alone: simdjson's parser reuses its document, so releasing the previous tree stays out of the
// measured time here and is measured by JSONReadAndRelease.
void JSONRead(benchmark::State& state) {
    Data data(bookListText());
    for (auto _ : state) {
        Value books = JSONSerialization::JSONObjectWithData(data, 0, nullptr);
        if (books["books"].count() != 2000) state.SkipWithError("the corpus did not read back");
        state.PauseTiming();
        books = Value();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.length()));
}

void JSONReadAndRelease(benchmark::State& state) {
    Data data(bookListText());
    for (auto _ : state) {
        Value books = JSONSerialization::JSONObjectWithData(data, 0, nullptr);
        if (books["books"].count() != 2000) state.SkipWithError("the corpus did not read back");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.length()));
}

void JSONWrite(benchmark::State& state) {
    Value books = JSONSerialization::JSONObjectWithData(Data(bookListText()), 0, nullptr);
    std::size_t written = 0;
    for (auto _ : state) {
        Error error("", 0);
        auto data = JSONSerialization::dataWithJSONObject(books, 0, &error);
        if (!data) state.SkipWithError(error.description().c_str());
        written = data ? data->length() : 0;
        benchmark::DoNotOptimize(data);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * written));
}

BENCHMARK(SimdjsonDOMParse)->Unit(benchmark::kMicrosecond);
BENCHMARK(JSONRead)->Unit(benchmark::kMicrosecond);
BENCHMARK(JSONReadAndRelease)->Unit(benchmark::kMicrosecond);
BENCHMARK(JSONWrite)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    std::printf("corpus: %zu bytes, 2000 book records\n", bookListText().size());
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
