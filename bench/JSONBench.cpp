// JSON reading and writing against simdjson's own DOM parse of the same text, the shared book list of
// BookCorpus.h (2,000 records, about 1 MB). The targets: reading into ns::Value and writing it back each
// within 3x the DOM parse. At size: book lists of 1 to 20 MB read one after another (each tree released
// before the next read, as a reply's would be), within 2.5x the DOM parse at every size; and written back
// at 1, 4 and 20 MB, from book lists and from a feed of short posts (FeedCorpus.h), within 2.5x the DOM
// parse of their text, with the page faults each write takes. Numbers: a 1 MB table of doubles and
// integers written within 2.5x the DOM parse of its text.

#include <benchmark/benchmark.h>
#include <simdjson.h>
#include <sys/resource.h>

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>

#include "bench/BookCorpus.h"
#include "bench/FeedCorpus.h"
#include "platform/foundation/JSONSerialization.h"

namespace {

using namespace ql::ns;

const std::string& bookListText() { return ql::bench::bookListJSON(); }

// The baseline: simdjson's DOM parse of the same text, its parser reused as it is meant to be.
void simdjsonParse(benchmark::State& state, const std::string& source, const char* refusal) {
    simdjson::padded_string text(source);
    simdjson::dom::parser parser;
    for (auto _ : state) {
        simdjson::dom::element root;
        if (parser.parse(text).get(root)) state.SkipWithError(refusal);
        benchmark::DoNotOptimize(root);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

void SimdjsonDOMParse(benchmark::State& state) { simdjsonParse(state, bookListText(), "simdjson refused the corpus"); }

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

long minorPageFaults() {
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return usage.ru_minflt;
}

// The number of records in a book list of about `megabytes` MB.
int bookCountOf(std::int64_t megabytes) {
    return static_cast<int>((megabytes << 20) * ql::bench::bookCount / static_cast<std::int64_t>(bookListText().size()));
}

// The book list of about `megabytes` MB, made once.
const std::string& bookListOf(std::int64_t megabytes) {
    static std::map<std::int64_t, std::string> made;
    auto [at, isNew] = made.try_emplace(megabytes);
    if (isNew) at->second = ql::bench::bookListJSON(bookCountOf(megabytes));
    return at->second;
}

void SimdjsonDOMParseAtSize(benchmark::State& state) {
    simdjsonParse(state, bookListOf(state.range(0)), "simdjson refused the corpus");
}

void JSONReadAndReleaseAtSize(benchmark::State& state) {
    Data data(bookListOf(state.range(0)));
    const auto expected = static_cast<std::size_t>(bookCountOf(state.range(0)));
    const long faultsBefore = minorPageFaults();
    for (auto _ : state) {
        Value books = JSONSerialization::JSONObjectWithData(data, 0, nullptr);
        if (books["books"].count() != expected) state.SkipWithError("the corpus did not read back");
    }
    state.counters["faults/read"] =
        static_cast<double>(minorPageFaults() - faultsBefore) / static_cast<double>(state.iterations());
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.length()));
}

// About 1 MB of measurements: rows of a time stamp, three doubles of every magnitude and a count.
const std::string& numbersText() {
    static const std::string text = [] {
        ql::bench::corpus::Random random;
        std::string out = "{\"unit\":\"m\",\"rows\":[";
        for (int row = 0; out.size() < (std::size_t{1} << 20); ++row) {
            const double x = random.next(1000000) / 997.0 - 400.0;
            const double y = random.next(1u << 30) * 1e-7;
            const double z = (random.next(2000) + 1) * 1e13 / (random.next(999) + 1);
            out += (row ? ",[" : "[") + std::to_string(1433116800000 + std::int64_t{row} * 250) + ",";
            char number[32];
            for (double d : {x, y, z}) {
                auto end = std::to_chars(number, number + sizeof number, d).ptr;
                out.append(number, end).push_back(',');
            }
            out += std::to_string(random.next(100000)) + "]";
        }
        return out + "]}";
    }();
    return text;
}

void SimdjsonDOMParseNumbers(benchmark::State& state) {
    simdjsonParse(state, numbersText(), "simdjson refused the numbers");
}

void JSONWriteNumbers(benchmark::State& state) {
    Value table = JSONSerialization::JSONObjectWithData(Data(numbersText()), 0, nullptr);
    std::size_t written = 0;
    for (auto _ : state) {
        auto data = JSONSerialization::dataWithJSONObject(table, 0, nullptr);
        if (!data) state.SkipWithError("the numbers did not write");
        written = data ? data->length() : 0;
        benchmark::DoNotOptimize(data);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * written));
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

// The feed of about `megabytes` MB, made once.
const std::string& feedOf(std::int64_t megabytes) {
    static std::map<std::int64_t, std::string> made;
    auto [at, isNew] = made.try_emplace(megabytes);
    if (isNew) at->second = ql::bench::feedJSON(static_cast<std::size_t>(megabytes) << 20);
    return at->second;
}

void SimdjsonDOMParseFeed(benchmark::State& state) {
    simdjsonParse(state, feedOf(state.range(0)), "simdjson refused the feed");
}

// Writing back the tree read from `text`, with the page faults each write takes: past the few megabytes a
// thread keeps for writing, a text is made in pages of its own, those of the text before once let go.
void writeTreeOf(benchmark::State& state, const std::string& text) {
    const Value tree = JSONSerialization::JSONObjectWithData(Data(text), 0, nullptr);
    std::size_t written = 0;
    const long faultsBefore = minorPageFaults();
    for (auto _ : state) {
        auto data = JSONSerialization::dataWithJSONObject(tree, 0, nullptr);
        if (!data) state.SkipWithError("the tree did not write");
        written = data ? data->length() : 0;
        benchmark::DoNotOptimize(data);
    }
    state.counters["faults/write"] =
        static_cast<double>(minorPageFaults() - faultsBefore) / static_cast<double>(state.iterations());
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * written));
}

void JSONWriteAtSize(benchmark::State& state) { writeTreeOf(state, bookListOf(state.range(0))); }
void JSONWriteFeed(benchmark::State& state) { writeTreeOf(state, feedOf(state.range(0))); }

BENCHMARK(SimdjsonDOMParse)->Unit(benchmark::kMicrosecond);
BENCHMARK(JSONRead)->Unit(benchmark::kMicrosecond);
BENCHMARK(JSONReadAndRelease)->Unit(benchmark::kMicrosecond);
BENCHMARK(JSONWrite)->Unit(benchmark::kMicrosecond);
BENCHMARK(SimdjsonDOMParseNumbers)->Unit(benchmark::kMicrosecond);
BENCHMARK(JSONWriteNumbers)->Unit(benchmark::kMicrosecond);
BENCHMARK(SimdjsonDOMParseAtSize)->Arg(1)->Arg(2)->Arg(4)->Arg(8)->Arg(12)->Arg(16)->Arg(20)->Unit(benchmark::kMillisecond);
BENCHMARK(JSONReadAndReleaseAtSize)->Arg(1)->Arg(2)->Arg(4)->Arg(8)->Arg(12)->Arg(16)->Arg(20)->Unit(benchmark::kMillisecond);
BENCHMARK(JSONWriteAtSize)->Arg(1)->Arg(4)->Arg(20)->Unit(benchmark::kMillisecond);
BENCHMARK(SimdjsonDOMParseFeed)->Arg(1)->Arg(4)->Arg(20)->Unit(benchmark::kMillisecond);
BENCHMARK(JSONWriteFeed)->Arg(1)->Arg(4)->Arg(20)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    std::printf("corpus: %zu bytes, %d book records\n", bookListText().size(), ql::bench::bookCount);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
