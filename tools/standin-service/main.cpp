// standin-service [--port N] [--fixtures DIR]: runs the stand-in service until interrupted and prints the
// port it listens on (useful with --port 0 or none, which picks a free one).

#include <pthread.h>
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <string_view>

#include "tools/standin-service/StandinService.h"

namespace {

int usage() {
    std::fprintf(stderr, "usage: standin-service [--port N] [--fixtures DIR]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    int port = 0;
    std::string fixtures = ql::standin::StandinService::defaultFixturesDirectory();
    for (int i = 1; i < argc; ++i) {
        const std::string_view option = argv[i];
        if (i + 1 >= argc) return usage();
        if (option == "--port") {
            char* end = nullptr;
            const long value = std::strtol(argv[++i], &end, 10);
            if (*end != '\0' || value < 0 || value > 65535) return usage();
            port = static_cast<int>(value);
        } else if (option == "--fixtures") {
            fixtures = argv[++i];
        } else {
            return usage();
        }
    }

    // Blocked before the server starts its threads, so that only sigwait below sees them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    try {
        ql::standin::StandinService service(port, fixtures);
        std::printf("%d\n", service.port());
        std::fflush(stdout);
        std::fprintf(stderr, "standin-service: serving %s from %s; set QUILLORY_SERVICE_URL=%s for the app\n",
                     service.baseURL().c_str(), fixtures.c_str(), service.baseURL().c_str());
        int received = 0;
        sigwait(&stopSignals, &received);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
