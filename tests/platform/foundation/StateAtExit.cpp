// A program that uses what a thread keeps for itself, then again at the end of the process, for StateAtExitTests.
//   foundation_state_at_exit json|run-loop|digest handler|static main|job
// The thread that ends the process (main returning, or a pool job calling exit(0)) first arranges the later use
// (an exit handler, or an object of static storage whose destructor uses it), then uses it once (JSON written and
// read back, a block performed on its own run loop, a digest) and ends the
// process. At the end the use comes again and prints "at the end: RESULT" on standard output.

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/foundation/Digest.h"
#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/JSONSerialization.h"
#include "platform/foundation/RunLoop.h"

using namespace ql::ns;

namespace {

std::string jsonRoundTrip() {
    const Value written(Array{Value("quillory"), Value(1), Value(2.5), Value(true), Value::null(),
                              Value(Dictionary{{"k", Value("v")}})});
    const auto text = JSONSerialization::dataWithJSONObject(written, 0, nullptr);
    if (!text) return "not written";
    const Value read = JSONSerialization::JSONObjectWithData(*text, 0, nullptr);
    return text->toString() + (read == written ? " read back the same" : " read back as " + read.description());
}

std::string performedOnItsOwnLoop() {
    const auto loop = RunLoop::current();
    bool performed = false;
    loop->performBlock([&] { performed = true; }, {std::string(DefaultRunLoopMode)});
    loop->runMode(DefaultRunLoopMode, Date::distantFuture());
    return performed ? "performed" : "not performed";
}

std::string digest() { return hexString(md5(std::string_view("quillory"))); }

std::string (*use)() = nullptr;

void useAtTheEnd() { std::printf("at the end: %s\n", use().c_str()); }

struct UsesAtItsEnd {
    ~UsesAtItsEnd() { useAtTheEnd(); }
};

void arrangeTheUseAtTheEnd(const std::string& where) {
    if (where == "handler") {
        std::atexit(useAtTheEnd);
    } else {
        static UsesAtItsEnd user;
        (void)user;
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) return 2;
    const std::string what = argv[1], where = argv[2], thread = argv[3];
    use = what == "json" ? jsonRoundTrip : what == "run-loop" ? performedOnItsOwnLoop : digest;
    if (thread == "main") {
        arrangeTheUseAtTheEnd(where);
        use();
        return 0;
    }
    DispatchQueue::global()->async([where] {
        arrangeTheUseAtTheEnd(where);
        use();
        std::exit(0);
    });
    DispatchSemaphore(0).wait();  // never signalled: the job ends the process
    return 1;
}
