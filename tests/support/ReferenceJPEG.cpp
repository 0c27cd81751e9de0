#include "tests/support/ReferenceJPEG.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

#include <jpeglib.h>

namespace ql::test {

std::string ReferenceJPEG::encode() const {
    jpeg_compress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(height);
    cinfo.input_components = components;
    cinfo.in_color_space = components == 1 ? JCS_GRAYSCALE : components == 4 ? JCS_CMYK : JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    if (progressive) jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    if (exifOrientation > 0 || !exifThumbnail.empty()) {
        // A big-endian EXIF block: the first directory holds the orientation tag, the second (when there is a
        // thumbnail) where the thumbnail lies, right after it.
        std::vector<unsigned char> exif = {'E', 'x', 'i', 'f', 0, 0, 'M', 'M', 0, 42, 0, 0, 0, 8};
        const auto u16 = [&](unsigned v) {
            exif.push_back(static_cast<unsigned char>(v >> 8));
            exif.push_back(static_cast<unsigned char>(v));
        };
        const auto u32 = [&](unsigned long v) {
            u16(static_cast<unsigned>(v >> 16));
            u16(static_cast<unsigned>(v & 0xFFFF));
        };
        const unsigned first = exifOrientation > 0 ? 1 : 0;
        u16(first);
        if (first) {
            u16(0x0112), u16(3), u32(1), u16(static_cast<unsigned>(exifOrientation)), u16(0);
        }
        const unsigned long second = 8 + 2 + 12 * first + 4;
        u32(exifThumbnail.empty() ? 0 : second);
        if (!exifThumbnail.empty()) {
            u16(2);
            u16(0x0201), u16(4), u32(1), u32(second + 2 + 24 + 4);
            u16(0x0202), u16(4), u32(1), u32(exifThumbnail.size());
            u32(0);
            exif.insert(exif.end(), exifThumbnail.begin(), exifThumbnail.end());
        }
        jpeg_write_marker(&cinfo, JPEG_APP0 + 1, exif.data(), static_cast<unsigned>(exif.size()));
    }
    std::vector<unsigned char> row(static_cast<std::size_t>(width) * static_cast<std::size_t>(components));
    while (cinfo.next_scanline < cinfo.image_height) {
        const int y = static_cast<int>(cinfo.next_scanline);
        if (fillRow) {
            fillRow(y, row.data());
        } else {
            for (int x = 0; x < width; ++x)
                for (int c = 0; c < components; ++c)
                    row[static_cast<std::size_t>(x) * static_cast<std::size_t>(components) + static_cast<std::size_t>(c)] =
                        sample(x, y, c);
        }
        JSAMPROW pointer = row.data();
        jpeg_write_scanlines(&cinfo, &pointer, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::string out(reinterpret_cast<const char*>(buffer), size);
    std::free(buffer);
    return out;
}

}  // namespace ql::test
