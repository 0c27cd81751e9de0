// JSON reading and writing against simdjson's own DOM parse of the same text, the shared book list of
// BookCorpus.h (2,000 records, about 1 MB). The targets: reading into ns::Value and writing it back each
// within 3x the DOM parse.

#include <benchmark/benchmark.h>
#include <simdjson.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "bench/BookCorpus.h"
#include "platform/foundation/JSONSerialization.h"

namespace {

using namespace ql::ns;

const std::string& bookListText() { return ql::bench::bookListJSON(); }

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
        if (books["books"].count() != ql::bench::bookCount) state.SkipWithError("the corpus did not read back");
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
        if (books["books"].count() != ql::bench::bookCount) state.SkipWithError("the corpus did not read back");
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
    std::printf("corpus: %zu bytes, %d book records\n", bookListText().size(), ql::bench::bookCount);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
