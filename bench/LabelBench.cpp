// The link label at the size of a reading screen: a passage of about 2,000 characters of Chinese and
// Latin text with a dozen links, 343 points wide. Measured: building the framesetter (once per text or
// colour change), a size question answered from the cached framesetter, a hit test that finds a link at
// a point, and one whole draw into a bitmap at two pixels per point. The framesetter alone is also timed
// at growing lengths, whose time should grow about as the text does, also for a text with no place to break,
// and so are the spoken elements of a label whose links grow in number with its text.

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "platform/graphics/BitmapContext.h"
#include "platform/text/Framesetter.h"
#include "platform/ui/GraphicsContext.h"
#include "web/label/AttributedLabel.h"

using namespace ql;

namespace {

constexpr double kWidth = 343;

std::string passage(int sentences) {
    std::string text;
    for (int i = 0; i < sentences; ++i) {
        text += i % 2 ? "小狐狸在森林里找到一本书，读给猫头鹰听。" : "The little fox found a book in the forest and read it aloud. ";
    }
    return text;
}

std::shared_ptr<AttributedLabel> makeLabel() {
    auto label = std::make_shared<AttributedLabel>(cg::Rect{0, 0, kWidth, 2000});
    label->setNumberOfLines(0);
    label->setVerticalAlignment(LabelVerticalAlignment::Top);
    label->setText(std::optional<std::string>(passage(40)));
    for (std::uint64_t at = 4; at + 4 < label->attributedText()->length(); at += 160)
        label->addLinkToURL(*ns::URL::fromString("https://book.test/" + std::to_string(at)), {at, 4});
    return label;
}

void BM_LabelFramesetter(benchmark::State& state) {
    auto label = makeLabel();
    for (auto _ : state) {
        label->setNeedsFramesetter();
        benchmark::DoNotOptimize(label->framesetter());
    }
    state.SetLabel(std::to_string(label->attributedText()->length()) + " code units");
}
BENCHMARK(BM_LabelFramesetter)->Unit(benchmark::kMillisecond);

void BM_LabelSizeThatFits(benchmark::State& state) {
    auto label = makeLabel();
    for (auto _ : state) benchmark::DoNotOptimize(label->sizeThatFits({kWidth, 100000}));
}
BENCHMARK(BM_LabelSizeThatFits)->Unit(benchmark::kMillisecond);

void BM_LabelLinkAtPoint(benchmark::State& state) {
    auto label = makeLabel();
    const cg::Rect link = label->boundingRectForCharacterRange(label->links()[5].range());
    for (auto _ : state) benchmark::DoNotOptimize(label->linkAtPoint({cg::midX(link), cg::midY(link)}));
}
BENCHMARK(BM_LabelLinkAtPoint)->Unit(benchmark::kMillisecond);

void BM_LabelDraw(benchmark::State& state) {
    auto label = makeLabel();
    const cg::Size size = label->sizeThatFits({kWidth, 100000});
    label->setFrame({0, 0, kWidth, size.height});
    auto context = cg::BitmapContext::createForImage(size, true, 2);
    for (auto _ : state) {
        ui::GraphicsPushContext(*context);
        label->drawTextInRect(label->bounds());
        ui::GraphicsPopContext();
    }
}
BENCHMARK(BM_LabelDraw)->Unit(benchmark::kMillisecond);

void BM_FramesetterByLength(benchmark::State& state) {
    ns::Dictionary attributes;
    const ct::AttributedString text(passage(static_cast<int>(state.range(0))), attributes);
    for (auto _ : state) {
        ct::Framesetter framesetter(text);
        benchmark::DoNotOptimize(framesetter.suggestFrameSize({0, 0}, {kWidth, 100000}));
    }
    state.SetComplexityN(static_cast<std::int64_t>(text.length()));
}
BENCHMARK(BM_FramesetterByLength)->Arg(20)->Arg(40)->Arg(80)->Arg(160)->Unit(benchmark::kMillisecond)->Complexity();

// A paragraph with no place to break (a long link or a pasted code): every line is cut between characters.
void BM_FramesetterUnbrokenByLength(benchmark::State& state) {
    ns::Dictionary attributes;
    const ct::AttributedString text(std::string(static_cast<std::size_t>(state.range(0)), 'a'), attributes);
    for (auto _ : state) {
        ct::Framesetter framesetter(text);
        benchmark::DoNotOptimize(framesetter.suggestFrameSize({0, 0}, {kWidth, 1e9}));
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_FramesetterUnbrokenByLength)->Arg(8000)->Arg(16000)->Arg(32000)->Arg(64000)->Unit(benchmark::kMillisecond)->Complexity();

// The spoken elements of a label whose links come every 160 code units: as the passage grows, so does the
// number of links, and the whole should still take about as long as one setting of the text.
void BM_LabelAccessibilityByLength(benchmark::State& state) {
    auto label = std::make_shared<AttributedLabel>(cg::Rect{0, 0, kWidth, 100000});
    label->setNumberOfLines(0);
    label->setVerticalAlignment(LabelVerticalAlignment::Top);
    label->setText(std::optional<std::string>(passage(static_cast<int>(state.range(0)))));
    for (std::uint64_t at = 4; at + 4 < label->attributedText()->length(); at += 160)
        label->addLinkToURL(*ns::URL::fromString("https://book.test/" + std::to_string(at)), {at, 4});
    const auto links = label->linkModels();
    for (auto _ : state) {
        label->setLinkModels(links);
        benchmark::DoNotOptimize(label->accessibilityElementCount());
    }
    state.SetComplexityN(static_cast<std::int64_t>(label->attributedText()->length()));
    state.SetLabel(std::to_string(links.size()) + " links");
}
BENCHMARK(BM_LabelAccessibilityByLength)->Arg(20)->Arg(40)->Arg(80)->Arg(160)->Unit(benchmark::kMillisecond)->Complexity();

}  // namespace

BENCHMARK_MAIN();
