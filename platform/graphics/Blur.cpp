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

// One box pass over `count` samples `step` apart, the first and last repeated past the ends.
void clampedBoxPass(std::uint8_t* samples, std::ptrdiff_t step, int count, int radius, std::vector<std::uint8_t>& line) {
    const int width = 2 * radius + 1;
    const auto at = [&](int i) { return samples[static_cast<std::ptrdiff_t>(std::clamp(i, 0, count - 1)) * step]; };
    int sum = 0;
    for (int i = -radius; i <= radius; ++i) sum += at(i);
    for (int i = 0; i < count; ++i) {
        line[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>((sum + width / 2) / width);
        sum += at(i + radius + 1) - at(i - radius);
    }
    for (int i = 0; i < count; ++i) samples[static_cast<std::ptrdiff_t>(i) * step] = line[static_cast<std::size_t>(i)];
}

}  // namespace

void backdropEffect(std::uint32_t* pixels, int width, int height, int radius, double saturation, const Color& tint) {
    if (width <= 0 || height <= 0) return;
    auto* bytes = reinterpret_cast<std::uint8_t*>(pixels);
    const std::ptrdiff_t rowBytes = static_cast<std::ptrdiff_t>(width) * 4;
    std::vector<std::uint8_t> line(static_cast<std::size_t>(std::max(width, height)));
    if (radius > 0) {
        for (int pass = 0; pass < 3; ++pass) {
            for (int channel = 0; channel < 4; ++channel) {
                for (int y = 0; y < height; ++y) clampedBoxPass(bytes + y * rowBytes + channel, 4, width, radius, line);
                for (int x = 0; x < width; ++x) clampedBoxPass(bytes + x * 4 + channel, rowBytes, height, radius, line);
            }
        }
    }
    // Saturation about each pixel's luminance; the tint, premultiplied, over the result.
    const RGBA t = tint.rgba();
    const double ta = std::clamp(t.a, 0.0, 1.0);
    const double tr = t.r * ta * 255, tg = t.g * ta * 255, tb = t.b * ta * 255;
    const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint32_t p = pixels[i];
        const double a = p >> 24, r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
        const double luminance = 0.2126 * r + 0.7152 * g + 0.0722 * b;
        const auto channel = [&](double c, double t) {
            const double saturated = std::clamp(luminance + saturation * (c - luminance), 0.0, a);
            return static_cast<std::uint32_t>(std::lround(t + (1 - ta) * saturated));
        };
        const auto alpha = static_cast<std::uint32_t>(std::lround(ta * 255 + (1 - ta) * a));
        pixels[i] = alpha << 24 | channel(r, tr) << 16 | channel(g, tg) << 8 | channel(b, tb);
    }
}

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
