#include "images/picker/PKUtil.h"

#include <cctype>
#include <string>


namespace ql {

std::shared_ptr<ui::Color> PKUtil::getColor(std::string_view hex) {
    if (hex.size() < 6) return nullptr;
    double channels[3];
    for (int c = 0; c < 3; ++c) {
        int value = 0;
        for (int d = 0; d < 2; ++d) {
            const auto ch = static_cast<unsigned char>(hex[static_cast<std::size_t>(c * 2 + d)]);
            if (!std::isxdigit(ch)) return nullptr;
            value = value * 16 + (std::isdigit(ch) ? ch - '0' : std::tolower(ch) - 'a' + 10);
        }
        channels[c] = value / 255.0;
    }
    return ui::Color::colorWithRed(channels[0], channels[1], channels[2], 1);
}

std::shared_ptr<ui::Image> PKUtil::stretchImage(const std::shared_ptr<ui::Image>& image, const cg::EdgeInsets& capInsets,
                                                ui::ImageResizingMode resizingMode) {
    return image ? image->resizableImageWithCapInsets(capInsets, resizingMode) : nullptr;
}

}  // namespace ql
