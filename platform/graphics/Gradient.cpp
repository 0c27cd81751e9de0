#include "platform/graphics/Gradient.h"

#include <algorithm>

namespace ql::cg {

Gradient::Gradient(ColorSpace space, const std::vector<Color>& colors, const std::vector<double>& locations)
    : space_(space) {
    const bool located = locations.size() == colors.size();
    for (std::size_t i = 0; i < colors.size(); ++i) {
        const double even = colors.size() == 1 ? 0.0 : static_cast<double>(i) / static_cast<double>(colors.size() - 1);
        stops_.push_back({located ? std::clamp(locations[i], 0.0, 1.0) : even, colors[i].rgba()});
    }
    std::stable_sort(stops_.begin(), stops_.end(), [](const Stop& a, const Stop& b) { return a.location < b.location; });
}

Gradient Gradient::withComponents(ColorSpace space, std::span<const double> components,
                                  std::span<const double> locations, std::size_t count) {
    const auto per = static_cast<std::size_t>(space.numberOfComponents() + 1);
    std::vector<Color> colors;
    for (std::size_t i = 0; i < count && (i + 1) * per <= components.size(); ++i)
        colors.push_back(Color::withComponents(space, components.subspan(i * per, per)));
    std::vector<double> at;
    if (locations.size() >= colors.size()) at.assign(locations.begin(), locations.begin() + static_cast<std::ptrdiff_t>(colors.size()));
    return Gradient(space, colors, at);
}

}  // namespace ql::cg
