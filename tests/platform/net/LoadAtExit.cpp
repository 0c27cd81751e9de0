// A program that ends with a synchronous load in flight on a pool job, for URLConnectionTests. It runs in a
// fresh sandbox, as the app's run command does; a job on a global queue loads from a loopback port that takes
// the connection and never answers, and main returns once the load has connected. The end's beginning is told
// on standard output (tellTheEndBegins).
//   net_load_at_exit

#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/Sandbox.h"
#include "platform/net/URLConnection.h"
#include "tests/support/ChildProgram.h"
#include "tests/support/LoopbackServer.h"

using namespace ql;

int main() {
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
