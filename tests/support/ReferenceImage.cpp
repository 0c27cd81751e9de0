#include "tests/support/ReferenceImage.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <vector>

#include "platform/graphics/ImageEncoding.h"

namespace ql::test {

std::shared_ptr<const cg::Image> renderReference(int width, int height,
                                                 const std::function<cg::RGBA(double x, double y)>& shade,
                                                 int samples) {
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    const double n = static_cast<double>(samples) * samples;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            double a = 0, r = 0, g = 0, b = 0;
            for (int sy = 0; sy < samples; ++sy) {
                for (int sx = 0; sx < samples; ++sx) {
                    const cg::RGBA c = shade(x + (sx + 0.5) / samples, y + (sy + 0.5) / samples);
                    a += c.a;
                    r += c.r * c.a;
                    g += c.g * c.a;
                    b += c.b * c.a;
                }
            }
            auto byte = [&](double v) { return static_cast<std::uint32_t>(std::clamp(v / n * 255 + 0.5, 0.0, 255.0)); };
            pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)] =
                byte(a) << 24 | byte(r) << 16 | byte(g) << 8 | byte(b);
        }
    }
    return cg::Image::create(width, height, std::move(pixels));
}

ImageDifference compareImages(const cg::Image& actual, const cg::Image& expected, int tolerance) {
    ImageDifference d;
    if (actual.width() != expected.width() || actual.height() != expected.height()) {
        d.sameSize = false;
        d.differing = std::max(actual.width() * actual.height(), expected.width() * expected.height());
        d.largestDelta = 255;
        return d;
    }
    const std::size_t count = static_cast<std::size_t>(actual.width()) * static_cast<std::size_t>(actual.height());
    for (std::size_t i = 0; i < count; ++i) {
        int worst = 0;
        for (int shift = 0; shift < 32; shift += 8) {
            const int a = static_cast<int>((actual.pixels()[i] >> shift) & 0xFF);
            const int e = static_cast<int>((expected.pixels()[i] >> shift) & 0xFF);
            worst = std::max(worst, std::abs(a - e));
        }
        d.largestDelta = std::max(d.largestDelta, worst);
        if (worst > tolerance) ++d.differing;
    }
    return d;
}

void saveForInspection(const cg::Image& image, const std::string& name) {
    const char* folder = std::getenv("QL_TEST_IMAGE_DIR");
    if (!folder || !*folder) return;
    const auto png = cg::encodePNG(image);
    if (!png) return;
    std::ofstream(std::string(folder) + "/" + name + ".png", std::ios::binary)
        .write(reinterpret_cast<const char*>(png->bytes()), static_cast<std::streamsize>(png->length()));
}

}  // namespace ql::test
