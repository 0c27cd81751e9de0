#pragma once
// ui::TraitCollection: the size classes a controller is laid out for. Phones are compact across, but for
// the widest phone turned to landscape; pads are regular both ways; a phone in landscape is compact in
// height.

#include "platform/graphics/Geometry.h"
#include "platform/ui/Device.h"

namespace ql::ui {

enum class UserInterfaceSizeClass { Unspecified = 0, Compact = 1, Regular = 2 };

struct TraitCollection {
    UserInterfaceSizeClass horizontalSizeClass = UserInterfaceSizeClass::Unspecified;
    UserInterfaceSizeClass verticalSizeClass = UserInterfaceSizeClass::Unspecified;
    UserInterfaceIdiom userInterfaceIdiom = UserInterfaceIdiom::Unspecified;

    // The traits of a full screen of that size on a device of that kind.
    static TraitCollection forScreen(cg::Size size, UserInterfaceIdiom idiom);
    bool operator==(const TraitCollection&) const = default;
};

}  // namespace ql::ui
