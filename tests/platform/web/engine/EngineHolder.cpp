// A program that starts the web engine with a page on it, tells its process group on standard output, then
// ends as its argument says: "wait" (until killed), "quit" (at once, tidying nothing up, as after a fatal
// error), "exit" (through exit), "crash" (by abort).

#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/web/WebEngine.h"
#include "platform/web/WebEngineError.h"
#include "platform/web/WebPage.h"

int main(int argc, char** argv) {
    using namespace ql;
    if (argc != 2) return 2;
    ns::Error error = ui::webEngineError(0, "");
    auto page = ui::WebPage::open([](std::string_view, const ns::Value&) {}, &error);
    if (!page) {
        std::fprintf(stderr, "%s\n", error.localizedDescription().c_str());
        return 1;
    }
    std::printf("%llu\n", static_cast<unsigned long long>(page->engine().processID()));
    std::fflush(stdout);
    const char* mode = argv[1];
    if (std::strcmp(mode, "quit") == 0) _exit(0);
    if (std::strcmp(mode, "exit") == 0) std::exit(0);
    if (std::strcmp(mode, "crash") == 0) std::abort();
    for (;;) pause();
}
