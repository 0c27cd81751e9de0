#include "platform/graphics/Blur.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace ql::cg {

namespace {

// One box pass over `count` samples `step` apart in `in`, written contiguously to `out`.
void boxPass(const std::uint8_t* in, int step, std::uint8_t* out, int count, int radius) {
    const int width = 2 * radius + 1;
    int sum = 0;
    for (int i = -radius; i <= radius; ++i)
        if (i >= 0 && i < count) sum += in[i * step];
    for (int i = 0; i < count; ++i) {
        out[i] = static_cast<std::uint8_t>((sum + width / 2) / width);
        const int leaving = i - radius;
        const int entering = i + radius + 1;
        if (leaving >= 0) sum -= in[leaving * step];
        if (entering < count) sum += in[entering * step];
    }
}

}  // namespace

int boxBlurRadius(double sigma) {
    if (!(sigma > 0)) return 0;
    const double width = std::sqrt(4 * sigma * sigma + 1);
    return static_cast<int>(std::lround(width / 2));
}

void boxBlurAlpha(cairo_surface_t* surface, int radius) {
    if (radius <= 0) return;
    cairo_surface_flush(surface);
    std::uint8_t* data = cairo_image_surface_get_data(surface);
    const int w = cairo_image_surface_get_width(surface);
    const int h = cairo_image_surface_get_height(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    std::vector<std::uint8_t> line(static_cast<std::size_t>(std::max(w, h)));
    for (int pass = 0; pass < 3; ++pass) {
        for (int y = 0; y < h; ++y) {
            std::uint8_t* row = data + static_cast<std::ptrdiff_t>(y) * stride;
            boxPass(row, 1, line.data(), w, radius);
            std::copy(line.begin(), line.begin() + w, row);
        }
        for (int x = 0; x < w; ++x) {
            boxPass(data + x, stride, line.data(), h, radius);
            for (int y = 0; y < h; ++y) data[static_cast<std::ptrdiff_t>(y) * stride + x] = line[static_cast<std::size_t>(y)];
        }
    }
    cairo_surface_mark_dirty(surface);
}

}  // namespace ql::cg
