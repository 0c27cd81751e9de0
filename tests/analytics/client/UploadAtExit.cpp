// A program that ends with the analytics worker's upload in flight, for StatWorkerTests. It runs in a fresh
// sandbox, as the app's run command does; the worker posts an envelope to a collector on a loopback port that
// takes the connection and never answers, and main returns once the upload has connected. The end's beginning
// is told on standard output (tellTheEndBegins).
//   analytics_upload_at_exit

#include "analytics/client/RezOzovaUtility.h"
#include "analytics/client/StatEndpoints.h"
#include "analytics/client/StatWorker.h"
#include "platform/foundation/OperationQueue.h"
#include "platform/foundation/Sandbox.h"
#include "tests/support/ChildProgram.h"
#include "tests/support/LoopbackServer.h"

using namespace ql;

int main() {
    const ns::TemporarySandbox sandbox;
    // Open until the process is gone: the upload stays in flight through the whole end.
    static test::SilentPort* const collector = new test::SilentPort;
    const std::string host = collector->url("");
    StatEndpoints::setHostsForTesting(StatEndpoints::Hosts{host, host, "", ""});
    const std::string envelope = RezOzovaUtility::generateEnvelopeFileNameWithTS("1700000000000");
    RezOzovaUtility::saveData(ns::Data("an envelope"), envelope);
    // As the client sends its envelopes: one worker at a time on a queue of its own.
    const auto sendQueue = std::make_shared<ns::OperationQueue>();
    sendQueue->setMaxConcurrentOperationCount(1);
    sendQueue->addOperation(std::make_shared<StatWorker>(std::vector{envelope}));
    if (!collector->takeCall(30)) return 2;
    test::tellTheEndBegins();
    return 0;
}
