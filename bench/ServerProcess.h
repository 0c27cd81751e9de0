#pragma once
// What the network benchmarks share: a loopback server run in a child process, so that the counters of the
// benchmark process hold only the client's work, and those counters per request (from getrusage).
// wakeups/req counts voluntary context switches (each a thread that waited and was woken), cpu_us/req the
// CPU time of all the client's threads.

#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <string>

#include "tests/support/LoopbackServer.h"

namespace ql::bench {

// Starts a server set up by `setUp` in a child process that ends with this one; "http://127.0.0.1:<port>".
// Call it before any thread starts, so that the child inherits no lock held by another thread.
inline std::string startServerProcess(const std::function<void(test::LoopbackServer&)>& setUp) {
    int portPipe[2];
    int lifePipe[2];
    if (pipe(portPipe) != 0 || pipe(lifePipe) != 0) std::abort();
    const pid_t child = fork();
    if (child < 0) std::abort();
    if (child == 0) {
        close(portPipe[0]);
        close(lifePipe[1]);
        test::LoopbackServer server;
        setUp(server);
        const int port = server.port();
        if (write(portPipe[1], &port, sizeof port) != sizeof port) _exit(1);
        char byte;
        while (read(lifePipe[0], &byte, 1) > 0) {
        }  // the parent is gone when its end closes
        _exit(0);
    }
    close(portPipe[1]);
    close(lifePipe[0]);  // lifePipe[1] stays open, unwritten, for the life of this process
    int port = 0;
    if (read(portPipe[0], &port, sizeof port) != sizeof port) std::abort();
    close(portPipe[0]);
    return "http://127.0.0.1:" + std::to_string(port);
}

struct ProcessUsage {
    long wakeups = 0;
    double cpuMicroseconds = 0;

    static ProcessUsage now() {
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        const auto micro = [](const timeval& t) { return static_cast<double>(t.tv_sec) * 1e6 + static_cast<double>(t.tv_usec); };
        return {usage.ru_nvcsw, micro(usage.ru_utime) + micro(usage.ru_stime)};
    }
};

// Sets wakeups/req and cpu_us/req for `requestsPerIteration` requests per iteration since `before`.
inline void reportUsagePerRequest(benchmark::State& state, const ProcessUsage& before, int requestsPerIteration) {
    const ProcessUsage after = ProcessUsage::now();
    const double requests = static_cast<double>(state.iterations()) * requestsPerIteration;
    state.counters["wakeups/req"] = static_cast<double>(after.wakeups - before.wakeups) / requests;
    state.counters["cpu_us/req"] = (after.cpuMicroseconds - before.cpuMicroseconds) / requests;
}

}  // namespace ql::bench
