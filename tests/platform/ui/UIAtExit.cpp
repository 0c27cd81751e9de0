// A program whose main thread draws or lays out at the end of its process, for UIAtExitTests: it does so once,
// then returns; an exit handler does it again on the same thread and prints "at the end: " and the result.
//   ui_at_exit drawing|layout
// drawing: a 10 × 6 picture drawn in an image context; the result is its size.
// layout: right = left + width, left = 10, width preferring 100; the result is right.

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/ui/GraphicsContext.h"
#include "platform/ui/Image.h"
#include "platform/ui/solver/Solver.h"

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

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    use = std::string(argv[1]) == "drawing" ? drawPicture : layOut;
    use();
    std::atexit(useAtTheEnd);
    return 0;
}
