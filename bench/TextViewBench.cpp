// Typing into a multi-line text view: each keystroke inserts a character at the caret, the view finds
// its new content height, the caret's rectangle is asked for (as the keyboard manager does to keep it in
// sight) and the visible part is drawn, as a display cycle would. A line break every 60 characters makes
// the paragraphs of a written note. The time of a whole typing session should grow about as the
// characters do: each keystroke should cost about the same however long the text already is.

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "platform/ui/GraphicsContext.h"
#include "platform/ui/TextView.h"

using namespace ql;

namespace {

void BM_TypingIntoTextView(benchmark::State& state) {
    const auto characters = static_cast<std::size_t>(state.range(0));
    for (auto _ : state) {
        auto view = std::make_shared<ui::TextView>(cg::Rect{0, 0, 320, 200});
        ui::GraphicsBeginImageContext({320, 200});
        for (std::size_t typed = 0; typed < characters; ++typed) {
            view->insertText(typed % 60 == 59 ? std::string("\n") : std::string(1, "abcdefghij"[typed % 10]));
            const cg::Rect caret = view->caretRectForPosition(view->selectedRange().location);
            benchmark::DoNotOptimize(caret);
            view->drawRect(view->bounds());
        }
        ui::GraphicsEndImageContext();
    }
    state.SetComplexityN(state.range(0));
    state.counters["per keystroke (us)"] = benchmark::Counter(static_cast<double>(characters) * static_cast<double>(state.iterations()),
                                                              benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_TypingIntoTextView)->Arg(500)->Arg(1000)->Arg(2000)->Unit(benchmark::kMillisecond)->Complexity();

}  // namespace

BENCHMARK_MAIN();
