// The URL-loading stack against libcurl used directly, over loopback: 2,000 sequential small GETs on one
// kept-alive connection (synchronous loads and session data tasks, next to one reused easy handle, and
// next to that handle behind the session's three hand-offs done bare), and
// six parallel 10 MB downloads (session data tasks, next to a bare multi loop and to one that also copies the
// bodies out and hands them to another thread; and session download tasks, next to a multi loop that
// writes the same files). Compare the times of each pair; the downloads also
// report their throughput. Three more read replies whose heads hold 1,000 to 16,000 fields, and "Set-Cookie"
// fields of as many commas or cookies, whose time per item must not grow with the size. The server runs in a child process, so that the
// counters (see ServerProcess.h) hold only the client's work; the downloads also count page faults.

#include <benchmark/benchmark.h>
#include <curl/curl.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/OperationQueue.h"
#include "platform/foundation/Sandbox.h"
#include "platform/net/HTTPCookie.h"
#include "platform/net/HTTPCookieStorage.h"
#include "platform/net/URLConnection.h"
#include "platform/net/URLSession.h"
#include "bench/BenchmarkMain.h"
#include "bench/ServerProcess.h"
#include "tests/support/LoopbackServer.h"

using namespace ql::ns;
using ql::test::LoopbackServer;

namespace {

constexpr int kRequests = 2000;
constexpr int kDownloads = 6;
constexpr std::size_t kDownloadSize = 10 * 1024 * 1024;

void setUpServer(LoopbackServer& server) {
    server.serveText("/small", "a small reply", "application/json");
    server.serveBytes("/large", kDownloadSize);
}

// "http://127.0.0.1:<port>" of the server in the child process; set by main.
std::string serverBase;

std::string urlOf(const char* path) { return serverBase + path; }

long minorPageFaults() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

// Wake-ups and CPU per download, page faults per iteration and the bytes of all downloads.
void reportDownloads(benchmark::State& state, const ql::bench::ProcessUsage& before, long faultsBefore) {
    ql::bench::reportUsagePerRequest(state, before, kDownloads);
    state.counters["faults/iter"] =
        static_cast<double>(minorPageFaults() - faultsBefore) / static_cast<double>(state.iterations());
    state.SetBytesProcessed(state.iterations() * kDownloads * static_cast<std::int64_t>(kDownloadSize));
}

// The baselines send the request the loading stack sends, header for header (it asks for compressed
// replies), so that the server does the same work for both and the client decodes the same bytes.
void setSameRequestAsTheStack(CURL* handle, const std::string& url) {
    curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle, CURLOPT_ACCEPT_ENCODING, "gzip, deflate");
}

std::size_t countBytes(char*, std::size_t size, std::size_t count, void* total) {
    *static_cast<std::size_t*>(total) += size * count;
    return size * count;
}

void BM_SequentialGetsWithSynchronousLoads(benchmark::State& state) {
    const URLRequest request(URL::fromString(urlOf("/small")));
    const auto before = ql::bench::ProcessUsage::now();
    for (auto _ : state) {
        for (int i = 0; i < kRequests; ++i) {
            auto body = URLConnection::sendSynchronousRequest(request, nullptr, nullptr);
            if (!body || body->length() != 13) state.SkipWithError("a load failed");
        }
    }
    ql::bench::reportUsagePerRequest(state, before, kRequests);
    state.SetItemsProcessed(state.iterations() * kRequests);
}

void BM_SequentialGetsWithSessionTasks(benchmark::State& state) {
    const URLRequest request(URL::fromString(urlOf("/small")));
    auto session = URLSession::sessionWithConfiguration(URLSessionConfiguration::defaultSessionConfiguration());
    DispatchSemaphore finished(0);
    const auto before = ql::bench::ProcessUsage::now();
    for (auto _ : state) {
        for (int i = 0; i < kRequests; ++i) {
            bool ok = false;
            session
                ->dataTaskWithRequest(request, [&](const std::optional<Data>& data, const std::shared_ptr<URLResponse>&,
                                                   const std::optional<Error>&) {
                    ok = data && data->length() == 13;
                    finished.signal();
                })
                ->resume();
            finished.wait();
            if (!ok) state.SkipWithError("a task failed");
        }
    }
    ql::bench::reportUsagePerRequest(state, before, kRequests);
    state.SetItemsProcessed(state.iterations() * kRequests);
}

void BM_SequentialGetsWithCurlEasy(benchmark::State& state) {
    const std::string url = urlOf("/small");
    CURL* handle = curl_easy_init();
    std::size_t received = 0;
    setSameRequestAsTheStack(handle, url);
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &countBytes);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &received);
    const auto before = ql::bench::ProcessUsage::now();
    for (auto _ : state) {
        for (int i = 0; i < kRequests; ++i) {
            if (curl_easy_perform(handle) != CURLE_OK) state.SkipWithError("a transfer failed");
        }
    }
    curl_easy_cleanup(handle);
    if (received != static_cast<std::size_t>(state.iterations()) * kRequests * 13) state.SkipWithError("short replies");
    ql::bench::reportUsagePerRequest(state, before, kRequests);
    state.SetItemsProcessed(state.iterations() * kRequests);
}

// The hand-offs a session task is made of, done as cheaply as threads allow, around the same reused easy
// handle: the caller hands the GET to a loading thread, which performs it and hands the reply to a
// delegate thread, which checks it and wakes the caller. What the session adds beyond this is its own.
class BareSessionChain {
public:
    explicit BareSessionChain(const std::string& url) : handle_(curl_easy_init()) {
        setSameRequestAsTheStack(handle_, url);
        curl_easy_setopt(handle_, CURLOPT_WRITEFUNCTION, &countBytes);
        curl_easy_setopt(handle_, CURLOPT_WRITEDATA, &received_);
        loading_ = std::thread([this] {
            while (true) {
                toLoading_.wait();
                if (stopping_) return;
                received_ = 0;
                ok_ = curl_easy_perform(handle_) == CURLE_OK;
                toDelegate_.signal();
            }
        });
        delegate_ = std::thread([this] {
            while (true) {
                toDelegate_.wait();
                if (stopping_) return;
                ok_ = ok_ && received_ == 13;
                toCaller_.signal();
            }
        });
    }
    ~BareSessionChain() {
        stopping_ = true;
        toLoading_.signal();
        toDelegate_.signal();
        loading_.join();
        delegate_.join();
        curl_easy_cleanup(handle_);
    }
    bool get() {
        toLoading_.signal();
        toCaller_.wait();
        return ok_;
    }

private:
    CURL* handle_;
    std::size_t received_ = 0;
    bool ok_ = false;
    std::atomic<bool> stopping_{false};
    DispatchSemaphore toLoading_{0}, toDelegate_{0}, toCaller_{0};
    std::thread loading_, delegate_;
};

void BM_SequentialGetsWithBareSessionChain(benchmark::State& state) {
    BareSessionChain chain(urlOf("/small"));
    const auto before = ql::bench::ProcessUsage::now();
    for (auto _ : state) {
        for (int i = 0; i < kRequests; ++i) {
            if (!chain.get()) state.SkipWithError("a transfer failed");
        }
    }
    ql::bench::reportUsagePerRequest(state, before, kRequests);
    state.SetItemsProcessed(state.iterations() * kRequests);
}

// Counts what arrives (as data, or as files and their progress reports) and tells when all tasks completed.
class Counter final : public Object, public URLSessionDataDelegate, public URLSessionDownloadDelegate {
public:
    void URLSessionDataTaskDidReceiveData(URLSession&, URLSessionDataTask&, const Data& data) override {
        bytes += data.length();
    }
    void URLSessionDownloadTaskDidWriteData(URLSession&, URLSessionDownloadTask&, std::int64_t written, std::int64_t,
                                            std::int64_t) override {
        bytes += static_cast<std::size_t>(written);
    }
    void URLSessionDownloadTaskDidFinishDownloadingToURL(URLSession&, URLSessionDownloadTask&,
                                                         const URL& location) override {
        struct stat file {};
        if (::stat(location.path().c_str(), &file) == 0) filed += static_cast<std::size_t>(file.st_size);
    }
    void URLSessionTaskDidCompleteWithError(URLSession&, URLSessionTask&, const std::optional<Error>& error) override {
        if (error) failed = true;
        std::lock_guard lock(mutex);
        ++completed;
        changed.notify_all();
    }
    void waitFor(int tasks) {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return completed >= tasks; });
    }

    std::atomic<std::size_t> bytes{0};
    std::atomic<std::size_t> filed{0};
    std::atomic<bool> failed{false};
    std::mutex mutex;
    std::condition_variable changed;
    int completed = 0;
};

// Six downloads at once through a session, as data tasks or as download tasks (which write files).
void runSessionDownloads(benchmark::State& state, bool toFiles) {
    const URLRequest request(URL::fromString(urlOf("/large")));
    auto counter = std::make_shared<Counter>();
    // A concurrent delegate queue, so that the six tasks' deliveries do not wait for one another.
    auto queue = std::make_shared<OperationQueue>();
    auto session =
        URLSession::sessionWithConfiguration(URLSessionConfiguration::defaultSessionConfiguration(), counter, queue);
    const auto before = ql::bench::ProcessUsage::now();
    const long faultsBefore = minorPageFaults();
    for (auto _ : state) {
        counter->completed = 0;
        counter->bytes = 0;
        counter->filed = 0;
        for (int i = 0; i < kDownloads; ++i) {
            if (toFiles) session->downloadTaskWithRequest(request)->resume();
            else session->dataTaskWithRequest(request)->resume();
        }
        counter->waitFor(kDownloads);
        if (counter->failed || counter->bytes != kDownloads * kDownloadSize ||
            (toFiles && counter->filed != kDownloads * kDownloadSize))
            state.SkipWithError("a download failed");
    }
    reportDownloads(state, before, faultsBefore);
    session->invalidateAndCancel();
}

void BM_ParallelDownloadsWithSessionTasks(benchmark::State& state) { runSessionDownloads(state, false); }
void BM_ParallelDownloadsToFilesWithSessionTasks(benchmark::State& state) { runSessionDownloads(state, true); }

// What a download's bytes go to in the curl baseline: counted, and written to a file when it has one.
struct Sink {
    std::size_t received = 0;
    int fd = -1;
};

std::size_t sinkBytes(char* data, std::size_t size, std::size_t count, void* user) {
    auto& sink = *static_cast<Sink*>(user);
    const std::size_t length = size * count;
    sink.received += length;
    if (sink.fd >= 0 && ::write(sink.fd, data, length) != static_cast<ssize_t>(length)) return 0;
    return length;
}

// The same downloads on a bare multi loop; to files in the folder download tasks write to, when asked.
void runCurlMultiDownloads(benchmark::State& state, bool toFiles) {
    const std::string url = urlOf("/large");
    CURLM* multi = curl_multi_init();
    std::vector<CURL*> handles(kDownloads);
    std::vector<Sink> sinks(kDownloads);
    std::vector<std::string> paths(kDownloads);
    for (int i = 0; i < kDownloads; ++i) {
        handles[i] = curl_easy_init();
        setSameRequestAsTheStack(handles[i], url);
        curl_easy_setopt(handles[i], CURLOPT_WRITEFUNCTION, &sinkBytes);
        curl_easy_setopt(handles[i], CURLOPT_WRITEDATA, &sinks[i]);
    }
    const auto before = ql::bench::ProcessUsage::now();
    const long faultsBefore = minorPageFaults();
    for (auto _ : state) {
        for (int i = 0; i < kDownloads; ++i) {
            sinks[i].received = 0;
            if (toFiles) {
                paths[i] = temporaryDirectory() + "bench-download-XXXXXX";
                sinks[i].fd = ::mkostemp(paths[i].data(), O_CLOEXEC);
            }
            curl_multi_add_handle(multi, handles[i]);
        }
        int running = kDownloads;
        while (running > 0) {
            curl_multi_perform(multi, &running);
            if (running > 0) curl_multi_poll(multi, nullptr, 0, 1000, nullptr);
        }
        for (int i = 0; i < kDownloads; ++i) {
            curl_multi_remove_handle(multi, handles[i]);
            if (sinks[i].received != kDownloadSize || (toFiles && sinks[i].fd < 0)) state.SkipWithError("a download failed");
            if (sinks[i].fd >= 0) {
                ::close(std::exchange(sinks[i].fd, -1));
                ::unlink(paths[i].c_str());
            }
        }
    }
    for (CURL* handle : handles) curl_easy_cleanup(handle);
    curl_multi_cleanup(multi);
    reportDownloads(state, before, faultsBefore);
}

void BM_ParallelDownloadsWithCurlMulti(benchmark::State& state) { runCurlMultiDownloads(state, false); }

// What a consumer on another thread costs at least beside the bare multi loop: each body copied out of
// curl's callback into 512 KB pieces (buffers reused; reads of that size too), and each full piece, and each
// transfer's last, handed to a worker thread that counts it and gives its buffer back. It does what a
// session's data tasks must do beyond the loop, and nothing of the rest.
class PieceHandOff {
public:
    using Piece = std::vector<std::uint8_t>;
    static constexpr std::size_t kPieceSize = 512 * 1024;

    PieceHandOff() : worker_([this] { run(); }) {}
    ~PieceHandOff() {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        changed_.notify_all();
        worker_.join();
    }

    std::unique_ptr<Piece> take() {
        {
            std::lock_guard lock(mutex_);
            if (!spare_.empty()) {
                auto piece = std::move(spare_.back());
                spare_.pop_back();
                return piece;
            }
        }
        auto piece = std::make_unique<Piece>();
        piece->reserve(kPieceSize);
        return piece;
    }
    void hand(std::unique_ptr<Piece> piece) {
        bool wake;
        {
            std::lock_guard lock(mutex_);
            wake = queue_.empty();
            queue_.push_back(std::move(piece));
        }
        if (wake) changed_.notify_all();
    }
    void waitForDelivered(std::size_t bytes) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return delivered_ >= bytes; });
        delivered_ = 0;
    }

private:
    void run() {
        std::unique_lock lock(mutex_);
        for (;;) {
            changed_.wait(lock, [&] { return stopping_ || !queue_.empty(); });
            if (queue_.empty()) return;
            std::vector<std::unique_ptr<Piece>> batch;
            batch.swap(queue_);
            lock.unlock();
            std::size_t bytes = 0;
            for (auto& piece : batch) {
                bytes += piece->size();
                piece->clear();
            }
            lock.lock();
            delivered_ += bytes;
            for (auto& piece : batch) spare_.push_back(std::move(piece));
            changed_.notify_all();
        }
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::unique_ptr<Piece>> queue_;
    std::vector<std::unique_ptr<Piece>> spare_;
    std::size_t delivered_ = 0;
    bool stopping_ = false;
    std::thread worker_;
};

struct HandingSink {
    PieceHandOff* handOff = nullptr;
    std::unique_ptr<PieceHandOff::Piece> piece;
    void handRest() {
        if (piece && !piece->empty()) handOff->hand(std::move(piece));
    }
};

std::size_t copyOutBytes(char* data, std::size_t size, std::size_t count, void* user) {
    auto& sink = *static_cast<HandingSink*>(user);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(data);
    std::size_t length = size * count;
    while (length > 0) {
        if (!sink.piece) sink.piece = sink.handOff->take();
        const std::size_t part = std::min(length, PieceHandOff::kPieceSize - sink.piece->size());
        sink.piece->insert(sink.piece->end(), bytes, bytes + part);
        bytes += part;
        length -= part;
        if (sink.piece->size() == PieceHandOff::kPieceSize) sink.handOff->hand(std::move(sink.piece));
    }
    return size * count;
}

void BM_ParallelDownloadsWithCurlMultiHandingPiecesOn(benchmark::State& state) {
    const std::string url = urlOf("/large");
    PieceHandOff handOff;
    CURLM* multi = curl_multi_init();
    std::vector<CURL*> handles(kDownloads);
    std::vector<HandingSink> sinks(kDownloads);
    for (int i = 0; i < kDownloads; ++i) {
        handles[i] = curl_easy_init();
        sinks[i].handOff = &handOff;
        setSameRequestAsTheStack(handles[i], url);
        // Reads as large as the pieces, as the stack's: one copy per read, and fewer reads.
        curl_easy_setopt(handles[i], CURLOPT_BUFFERSIZE, static_cast<long>(PieceHandOff::kPieceSize));
        curl_easy_setopt(handles[i], CURLOPT_WRITEFUNCTION, &copyOutBytes);
        curl_easy_setopt(handles[i], CURLOPT_WRITEDATA, &sinks[i]);
    }
    const auto before = ql::bench::ProcessUsage::now();
    const long faultsBefore = minorPageFaults();
    for (auto _ : state) {
        for (CURL* handle : handles) curl_multi_add_handle(multi, handle);
        int running = kDownloads;
        while (running > 0) {
            curl_multi_perform(multi, &running);
            int left = 0;
            while (CURLMsg* message = curl_multi_info_read(multi, &left)) {
                if (message->msg != CURLMSG_DONE) continue;
                for (int i = 0; i < kDownloads; ++i) {
                    if (handles[i] == message->easy_handle) sinks[i].handRest();
                }
            }
            if (running > 0) curl_multi_poll(multi, nullptr, 0, 1000, nullptr);
        }
        for (CURL* handle : handles) curl_multi_remove_handle(multi, handle);
        handOff.waitForDelivered(kDownloads * kDownloadSize);
    }
    for (CURL* handle : handles) curl_easy_cleanup(handle);
    curl_multi_cleanup(multi);
    reportDownloads(state, before, faultsBefore);
}
void BM_ParallelDownloadsToFilesWithCurlMulti(benchmark::State& state) { runCurlMultiDownloads(state, true); }

// One reply whose head holds `state.range(0)` distinct fields (short names, as a hostile server would send to
// fit the most into curl's 300 KB of head). Reading a head must take time linear in its size: compare the
// times per field across the sizes.
void BM_ReplyHeadOfManyFields(benchmark::State& state) {
    const auto count = static_cast<int>(state.range(0));
    std::string reply = "HTTP/1.1 200 OK\r\n";
    for (int i = 0; i < count; ++i) reply += "h" + std::to_string(i) + ": v\r\n";
    reply += "Content-Length: 2\r\nConnection: close\r\n\r\nok";
    ql::test::ScriptedServer server(reply);
    const URLRequest request(URL::fromString(server.url("/head")));
    for (auto _ : state) {
        std::shared_ptr<URLResponse> response;
        URLConnection::sendSynchronousRequest(request, &response, nullptr);
        auto http = std::dynamic_pointer_cast<HTTPURLResponse>(response);
        if (!http || http->headerFields().fields().size() != static_cast<std::size_t>(count) + 2)
            state.SkipWithError("the head was not read whole");
    }
    state.SetItemsProcessed(state.iterations() * count);
}

// The cookies of one reply's "Set-Cookie" field: `state.range(0)` commas that start no cookie (read only), and
// as many cookies read and stored. Both must take time linear in the field's size.
void BM_SetCookieFieldOfManyCommas(benchmark::State& state) {
    std::string field = "a=1";
    for (std::int64_t i = 0; i < state.range(0); ++i) field += ",x";
    const Dictionary fields{{"Set-Cookie", Value(field)}};
    const URL url = *URL::fromString("http://www.example.com/");
    for (auto _ : state) {
        if (HTTPCookie::cookiesWithResponseHeaderFields(fields, url).size() != 1) state.SkipWithError("one cookie");
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_StoringTheCookiesOfOneReply(benchmark::State& state) {
    std::string field;
    for (std::int64_t i = 0; i < state.range(0); ++i) field += (i ? ", c" : "c") + std::to_string(i) + "=v";
    const Dictionary fields{{"Set-Cookie", Value(field)}};
    const URL url = *URL::fromString("http://www.example.com/");
    for (auto _ : state) {
        HTTPCookieStorage storage;
        storage.setCookies(HTTPCookie::cookiesWithResponseHeaderFields(fields, url), url, std::nullopt);
        const std::size_t kept = std::min<std::size_t>(state.range(0), HTTPCookieStorage::kMostCookiesPerDomain);
        if (storage.cookies().size() != kept) state.SkipWithError("cookies lost");
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

}  // namespace

BENCHMARK(BM_SetCookieFieldOfManyCommas)->Arg(1000)->Arg(4000)->Arg(16000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StoringTheCookiesOfOneReply)->Arg(1000)->Arg(4000)->Arg(16000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReplyHeadOfManyFields)->Arg(1000)->Arg(4000)->Arg(16000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SequentialGetsWithCurlEasy)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SequentialGetsWithSynchronousLoads)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SequentialGetsWithSessionTasks)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SequentialGetsWithBareSessionChain)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ParallelDownloadsWithCurlMulti)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ParallelDownloadsWithCurlMultiHandingPiecesOn)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ParallelDownloadsWithSessionTasks)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ParallelDownloadsToFilesWithCurlMulti)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ParallelDownloadsToFilesWithSessionTasks)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv) {
    serverBase = ql::bench::startServerProcess(setUpServer);  // before any thread starts
    // The downloads' files go into a sandbox of the run's own, not into the user's app home.
    const ql::ns::TemporarySandbox sandbox;
    return ql::bench::runBenchmarks(argc, argv);
}
