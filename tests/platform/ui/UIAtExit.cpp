// A program whose main thread draws or lays out at the end of its process, for UIAtExitTests: it does so once,
// then returns; an exit handler does it again on the same thread and prints "at the end: " and the result.
//   ui_at_exit drawing|layout
// drawing: a 10 × 6 picture drawn in an image context; the result is its size.
// layout: right = left + width, left = 10, width preferring 100; the result is right.
// Or its threads draw text as the process ends:
//   ui_at_exit text-on-threads MILLISECONDS
// four ns::Threads draw Chinese and Latin text in fonts found by name, for ever; main returns 0 MILLISECONDS after
// each has drawn once, and the end lingers a tenth of a second once what they use would be destroyed.
// A picture that cannot be made says so on standard error and ends the process with status 4.

#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/Thread.h"
#include "platform/text/AttributeNames.h"
#include "platform/ui/Font.h"
#include "platform/ui/GraphicsContext.h"
#include "platform/ui/Image.h"
#include "platform/ui/StringDrawing.h"
#include "platform/ui/solver/Solver.h"
#include "tests/support/ChildProgram.h"

using namespace ql::ui;

namespace {

std::string drawPicture() {
    GraphicsBeginImageContextWithOptions({10, 6}, true, 1);
    const auto image = GraphicsGetImageFromCurrentImageContext();
    GraphicsEndImageContext();
    if (!image) return "no picture";
    return std::to_string(static_cast<int>(image->size().width)) + "x" +
           std::to_string(static_cast<int>(image->size().height));
}

std::string layOut() {
    solver::Solver solver;
    const solver::Variable left = solver.makeVariable();
    const solver::Variable width = solver.makeVariable();
    const solver::Variable right = solver.makeVariable();
    solver.addConstraint(solver::Expression(right) - left - width, solver::Relation::Equal, solver::kRequired);
    solver.addConstraint(solver::Expression(left) - 10, solver::Relation::Equal, solver::kRequired);
    solver.addConstraint(solver::Expression(width) - 100, solver::Relation::Equal, 1);
    return std::to_string(static_cast<int>(solver.value(right)));
}

std::string (*use)() = nullptr;

void useAtTheEnd() { std::printf("at the end: %s\n", use().c_str()); }

// One picture of the text, as the threads draw it; false when it cannot be made.
bool drawOnce(const std::string& family, double size, int round) {
    const auto font = Font::fontWithName(family, size);
    const ql::ns::Dictionary attributes{{std::string(FontAttributeName), ql::ns::Value(font)}};
    const std::string text = "\u4e66 Quillory " + std::to_string(round);
    const auto measured = sizeWithAttributes(text, attributes);
    GraphicsBeginImageContextWithOptions({measured.width + 1, measured.height + 1}, false, 2);
    drawAtPoint(text, {0, 0}, attributes);
    const auto image = GraphicsGetImageFromCurrentImageContext();
    GraphicsEndImageContext();
    return image && measured.width > 0;
}

// The fonts, shaping, rasteriser and drawing libraries' state, in use as the process ends. Each thread signals
// `drawn` once it has drawn the first time, so that the process ends while they all draw.
[[noreturn]] void drawTextForEver(int thread, ql::ns::DispatchSemaphore& drawn) {
    const char* families[] = {"Helvetica", "PingFang SC", "TimesNewRomanPSMT", "Quillory No Such Face"};
    for (int round = 0;; ++round) {
        if (round == 1) drawn.signal();
        if (!drawOnce(families[(thread + round) % 4], 12 + round % 5, round)) {
            static constexpr char kNoPicture[] = "no picture of the text\n";
            [[maybe_unused]] const auto told = ::write(2, kNoPicture, sizeof kNoPicture - 1);
            ::_exit(4);
        }
    }
}

int endWhileThreadsDrawText(int milliseconds) {
    ql::test::lingerAtTheEnd();
    // The font catalogue and the text services load once, behind synchronisation of their own that the race
    // detector cannot see (and, mid-way, hold memory the leak checker would take for lost): done here first, the
    // threads do not race to it, nor does the end.
    if (!drawOnce("Helvetica", 12, 0)) return 4;
    static auto* drawn = new ql::ns::DispatchSemaphore(0);
    for (int thread = 0; thread < 4; ++thread)
        ql::ns::Thread::detachNewThread([thread] { drawTextForEver(thread, *drawn); });
    for (int thread = 0; thread < 4; ++thread) drawn->wait();
    const timespec pause{milliseconds / 1000, (milliseconds % 1000) * 1'000'000L};
    ::nanosleep(&pause, nullptr);
    ql::test::tellTheEndBegins();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    if (std::string(argv[1]) == "text-on-threads" && argc > 2) return endWhileThreadsDrawText(std::atoi(argv[2]));
    use = std::string(argv[1]) == "drawing" ? drawPicture : layOut;
    use();
    std::atexit(useAtTheEnd);
    return 0;
}
