// A program that loads at the end of its process, for URLConnectionTests. It runs in a fresh sandbox, as the
// app's run command does.
//   net_load_at_exit
//     a job on a global queue loads synchronously from a loopback port that takes the connection and never
//     answers, and main returns once the load has connected. The end's beginning is told on standard output
//     (tellTheEndBegins).
//   net_load_at_exit handler
//     main loads synchronously from a loopback server, then returns; an exit handler loads from it again on the
//     same thread and prints "at the end: " and the body, or "at the end: no reply". The handler is registered
//     once the server has served, so that it runs before what the server uses is torn down.

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/Sandbox.h"
#include "platform/net/URLConnection.h"
#include "tests/support/ChildProgram.h"
#include "tests/support/LoopbackServer.h"

using namespace ql;

namespace {

// Serving until the process is gone.
test::LoopbackServer* server = nullptr;

std::string loadSynchronously() {
    const auto body = ns::URLConnection::sendSynchronousRequest(
        ns::URLRequest(ns::URL::fromString(server->url("/text"))), nullptr, nullptr);
    return body ? body->toString() : "no reply";
}

void loadAtTheEnd() { std::printf("at the end: %s\n", loadSynchronously().c_str()); }

int loadThenLoadAgainAtTheEnd() {
    server = new test::LoopbackServer;
    server->serveText("/text", "synchronous");
    if (loadSynchronously() != "synchronous") return 2;
    std::atexit(loadAtTheEnd);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::string(argv[1]) == "handler") return loadThenLoadAgainAtTheEnd();
    const ns::TemporarySandbox sandbox;
    // Open until the process is gone: the load stays in flight through the whole end.
    static test::SilentPort* const silent = new test::SilentPort;
    ns::DispatchQueue::global()->async([url = silent->url("/never")] {
        ns::URLConnection::sendSynchronousRequest(ns::URLRequest(ns::URL::fromString(url)), nullptr, nullptr);
    });
    if (!silent->takeCall(30)) return 2;
    test::tellTheEndBegins();
    return 0;
}
