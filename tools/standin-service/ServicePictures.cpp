#include "tools/standin-service/ServicePictures.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <ctime>
#include <vector>

#include "platform/foundation/Digest.h"
#include "platform/graphics/Image.h"
#include "platform/graphics/ImageEncoding.h"

namespace ql::standin {

namespace {

struct RGB {
    double r, g, b;
};

// A colour of the seed's own: the same name always gets the same picture.
RGB colourFrom(std::string_view seed, std::size_t salt) {
    const ns::Data digest = ns::md5(seed);
    const std::uint8_t* d = digest.bytes();
    const double hue = (d[salt % 16] * 256 + d[(salt + 1) % 16]) / 65536.0 * 6;
    const double x = 1 - std::fabs(std::fmod(hue, 2) - 1);
    const RGB bases[6] = {{1, x, 0}, {x, 1, 0}, {0, 1, x}, {0, x, 1}, {x, 0, 1}, {1, 0, x}};
    const RGB base = bases[static_cast<int>(hue) % 6];
    // Soft, bright colours, as children's book covers have.
    return {0.35 + 0.55 * base.r, 0.35 + 0.55 * base.g, 0.35 + 0.55 * base.b};
}

RGB mix(RGB a, RGB b, double t) { return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t}; }

std::uint32_t pixel(RGB c) {
    const auto channel = [](double v) { return static_cast<std::uint32_t>(std::clamp(v, 0.0, 1.0) * 255 + 0.5); };
    return 0xFF000000u | (channel(c.r) << 16) | (channel(c.g) << 8) | channel(c.b);
}

ns::Data encode(int width, int height, std::vector<std::uint32_t> pixels) {
    cg::ImageLayout layout;
    layout.alphaInfo = cg::ImageAlphaInfo::NoneSkipFirst;
    auto image = cg::Image::create(width, height, std::move(pixels), layout);
    return image ? cg::encodeJPEG(*image, 0.85).value_or(ns::Data()) : ns::Data();
}

std::string httpDate(std::time_t time) {
    std::tm utc{};
    gmtime_r(&time, &utc);
    char text[40];
    std::strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S GMT", &utc);
    return text;
}

bool namesETag(const std::string& header, const std::string& etag) {
    std::size_t start = 0;
    while (start <= header.size()) {
        std::size_t end = header.find(',', start);
        if (end == std::string::npos) end = header.size();
        std::string_view item = std::string_view(header).substr(start, end - start);
        while (!item.empty() && item.front() == ' ') item.remove_prefix(1);
        while (!item.empty() && item.back() == ' ') item.remove_suffix(1);
        if (item.starts_with("W/")) item.remove_prefix(2);
        if (item == "*" || item == etag) return true;
        start = end + 1;
    }
    return false;
}

}  // namespace

ns::Data ServicePictures::drawCover(std::string_view seed) {
    constexpr int kWidth = 240, kHeight = 320;
    const RGB top = colourFrom(seed, 0), bottom = colourFrom(seed, 5), accent = colourFrom(seed, 11);
    const double cx = kWidth * 0.5, cy = kHeight * 0.6, radius = kWidth * 0.22;
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(kWidth * kHeight));
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            RGB c = mix(top, bottom, static_cast<double>(y) / kHeight);
            if (x < 14) c = mix(c, {0, 0, 0}, 0.25);                                      // the spine
            else if (y > kHeight * 0.12 && y < kHeight * 0.3 && x > 30 && x < kWidth - 16)  // the title plate
                c = mix(c, {1, 1, 1}, 0.75);
            else if (std::hypot(x - cx, y - cy) < radius) c = accent;                     // the picture
            pixels[static_cast<std::size_t>(y * kWidth + x)] = pixel(c);
        }
    }
    return encode(kWidth, kHeight, std::move(pixels));
}

ns::Data ServicePictures::drawPortrait(std::string_view seed) {
    constexpr int kSide = 160;
    const RGB background = colourFrom(seed, 2), clothes = colourFrom(seed, 9);
    const RGB skin{0.96, 0.82, 0.69};
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(kSide * kSide));
    for (int y = 0; y < kSide; ++y) {
        for (int x = 0; x < kSide; ++x) {
            RGB c = background;
            if (std::hypot(x - 80.0, y - 62.0) < 30) c = skin;                               // the head
            else if (y > 100 && std::hypot((x - 80.0) / 1.5, y - 160.0) < 55) c = clothes;  // the shoulders
            pixels[static_cast<std::size_t>(y * kSide + x)] = pixel(c);
        }
    }
    return encode(kSide, kSide, std::move(pixels));
}

ServicePictures::Picture ServicePictures::remember(std::string_view path, ns::Data bytes) {
    std::string etag = "\"" + ns::hexString(ns::md5(bytes)) + "\"";
    auto found = pictures_.find(path);
    if (found != pictures_.end() && found->second.etag == etag) return found->second;
    Picture picture{std::move(bytes), std::move(etag), httpDate(std::time(nullptr))};
    pictures_.insert_or_assign(std::string(path), picture);
    return picture;
}

std::optional<ServicePictures::Picture> ServicePictures::pictureAt(const ServiceState& state, std::string_view path) {
    std::lock_guard lock(mutex_);
    if (auto upload = state.uploads.find(path); upload != state.uploads.end()) return remember(path, upload->second);
    // Drawn ones never change, so they are drawn once.
    if (auto found = pictures_.find(path); found != pictures_.end()) return found->second;
    for (const Book& book : state.books) {
        if (book.imageUrl == path) return remember(path, drawCover(book.name + "#" + std::to_string(book.bookId)));
    }
    for (const Student& student : state.students) {
        if (student.photo == path) return remember(path, drawPortrait(std::to_string(student.uid)));
    }
    return std::nullopt;
}

void ServicePictures::serve(const ServiceState& state, const httplib::Request& request, httplib::Response& response) {
    const std::string_view path = std::string_view(request.path).substr(1);
    const auto picture = pictureAt(state, path);
    if (!picture) {
        response.status = 404;
        response.set_content("no such picture", "text/plain");
        return;
    }
    response.set_header("ETag", picture->etag);
    response.set_header("Last-Modified", picture->lastModified);
    response.set_header("Cache-Control", "no-cache");
    const bool unchanged = request.has_header("If-None-Match")
                               ? namesETag(request.get_header_value("If-None-Match"), picture->etag)
                               : request.get_header_value("If-Modified-Since") == picture->lastModified;
    if (unchanged) {
        response.status = 304;
        return;
    }
    response.set_content(picture->bytes.toString(), path.ends_with(".png") ? "image/png" : "image/jpeg");
}

}  // namespace ql::standin
