// A program that shows a page in a web view, tells the engine's process group on standard output, then ends
// as its argument says: "wait" (until killed), "quit" (at once, tidying nothing up, as after a fatal error),
// "exit" (through exit, with the view still open), "crash" (by abort). "fork" first forks a child that
// exits at once through exit, then tells the group only if the child ended by itself and the page still
// answers, and waits.

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "platform/foundation/RunLoop.h"
#include "platform/web/WebEngine.h"
#include "platform/web/WebEngineError.h"
#include "platform/web/WebView.h"

int main(int argc, char** argv) {
    using namespace ql;
    if (argc != 2) return 2;
    auto view = std::make_shared<ui::WebView>(cg::Rect{0, 0, 320, 480});
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
    if (std::strcmp(mode, "crash") == 0) std::abort();
    for (;;) pause();
}
