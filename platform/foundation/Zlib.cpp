#include "platform/foundation/Zlib.h"

#include <zlib.h>

#include <algorithm>
#include <limits>
#include <vector>

namespace ql::ns {

std::optional<Data> zlibCompress(const Data& source, int level) {
    if (source.length() > std::numeric_limits<uLong>::max() / 2) return std::nullopt;
    // compressBound is the worst case zlib promises, so compress2 never runs out of room.
    uLongf length = compressBound(static_cast<uLong>(source.length()));
    std::vector<std::uint8_t> out(length);
    const int status = compress2(out.data(), &length, source.bytes(), static_cast<uLong>(source.length()), level);
    if (status != Z_OK) return std::nullopt;
    out.resize(length);
    return Data(std::move(out));
}

std::optional<Data> zlibInflate(const Data& stream, std::size_t maxLength) {
    z_stream z{};
    if (inflateInit(&z) != Z_OK) return std::nullopt;
    z.next_in = const_cast<Bytef*>(stream.bytes());
    z.avail_in = static_cast<uInt>(std::min<std::size_t>(stream.length(), std::numeric_limits<uInt>::max()));
    std::vector<std::uint8_t> out;
    std::uint8_t chunk[16384];
    int status = Z_OK;
    while (status == Z_OK) {
        z.next_out = chunk;
        z.avail_out = sizeof chunk;
        status = inflate(&z, Z_NO_FLUSH);
        if (status != Z_OK && status != Z_STREAM_END) break;
        const std::size_t produced = sizeof chunk - z.avail_out;
        if (out.size() + produced > maxLength) {
            status = Z_MEM_ERROR;
            break;
        }
        out.insert(out.end(), chunk, chunk + produced);
        // No progress with input left means the stream is cut short.
        if (status == Z_OK && produced == 0 && z.avail_in == 0) status = Z_BUF_ERROR;
    }
    const bool whole = status == Z_STREAM_END && z.total_in == stream.length();
    inflateEnd(&z);
    if (!whole) return std::nullopt;
    return Data(std::move(out));
}

}  // namespace ql::ns
