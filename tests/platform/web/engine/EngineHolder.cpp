// A program that shows a page in a web view, tells the engine's process group on standard output, then ends
// as its argument says: "wait" (until killed), "quit" (at once, tidying nothing up, as after a fatal error),
// "exit" (through exit, with the view still open), "crash" (by abort). "fork" first forks a child that
// exits at once through exit, then tells the group only if the child ended by itself and the page still
// answers, and waits. "late-load" registers, before the first view, an exit handler that loads a page in the view
// once the engine's own exit handler has run, then returns from main: the handler writes into the file "late-load"
// of the home the last thing its delegate heard ("fail CODE", "finish", ..., or "still loading") and whether an engine was running
// then ("engine running" or "no engine").

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>

#include "platform/foundation/RunLoop.h"
#include "platform/web/WebEngine.h"
#include "platform/web/WebEngineError.h"
#include "platform/web/WebView.h"
#include "tests/platform/web/engine/WebViewRecorder.h"

using namespace ql;

namespace {

// The view the late exit handler loads in; never destroyed.
std::shared_ptr<ui::WebView>* lateView = nullptr;

void loadLate() {
    const std::string home = std::getenv("QUILLORY_HOME");
    std::ofstream(home + "/late.html") << "<title>late</title>";
    auto recorder = std::make_shared<test::WebViewRecorder>();
    (*lateView)->setDelegate(recorder);
    (*lateView)->loadRequest(ns::URLRequest(ns::URL::fileURLWithPath(home + "/late.html", false)));
    ns::RunLoop::main()->runUntil([&] { return !(*lateView)->isLoading(); }, 60);
    ns::Error error = ui::webEngineError(0, "");
    const bool engineRunning = ui::WebEngine::running(&error) != nullptr;
    const std::string outcome = recorder->events.empty() ? "still loading" : recorder->events.back();
    std::ofstream(home + "/late-load") << outcome << "\n" << (engineRunning ? "engine running" : "no engine") << "\n";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    const bool late = std::strcmp(argv[1], "late-load") == 0;
    if (late) std::atexit(loadLate);
    auto view = std::make_shared<ui::WebView>(cg::Rect{0, 0, 320, 480});
    if (late) lateView = new std::shared_ptr<ui::WebView>(view);
    view->loadHTMLString("<title>held</title>", std::nullopt);
    ns::RunLoop::main()->runUntil([&] { return !view->isLoading(); }, 60);
    ns::Error error = ui::webEngineError(0, "");
    const auto engine = ui::WebEngine::running(&error);
    if (view->stringByEvaluatingJavaScriptFromString("document.title") != "held" || !engine) {
        std::fprintf(stderr, "no page shown: %s\n", error.localizedDescription().c_str());
        return 1;
    }
    const char* mode = argv[1];
    if (std::strcmp(mode, "fork") == 0) {
        std::fflush(nullptr);
        const pid_t child = fork();
        if (child == 0) std::exit(0);
        int status = 0;
        if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            std::fprintf(stderr, "the child did not exit by itself\n");
            return 1;
        }
        view->loadHTMLString("<title>again</title>", std::nullopt);
        ns::RunLoop::main()->runUntil([&] { return !view->isLoading(); }, 60);
        if (!engine->isAlive() || view->stringByEvaluatingJavaScriptFromString("document.title") != "again") {
            std::fprintf(stderr, "the page no longer answers after the child's exit\n");
            return 1;
        }
    }
    std::printf("%llu\n", static_cast<unsigned long long>(engine->processID()));
    std::fflush(stdout);
    if (std::strcmp(mode, "quit") == 0) _exit(0);
    if (std::strcmp(mode, "exit") == 0) std::exit(0);
    if (late) return 0;
    if (std::strcmp(mode, "crash") == 0) std::abort();
    for (;;) pause();
}
