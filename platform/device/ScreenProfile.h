#pragma once
// sim::ScreenProfile: the screen of a headless device: its size in points held upright, its scale and
// the kind of device it belongs to. The presets are the screens the app is laid out for.

#include "platform/graphics/Geometry.h"
#include "platform/ui/Device.h"

namespace ql::sim {

struct ScreenProfile {
    cg::Size portraitSize;
    double scale = 2;
    ui::UserInterfaceIdiom idiom = ui::UserInterfaceIdiom::Phone;

    static ScreenProfile phone320x480(double scale = 2) { return {{320, 480}, scale, ui::UserInterfaceIdiom::Phone}; }
    static ScreenProfile phone320x568(double scale = 2) { return {{320, 568}, scale, ui::UserInterfaceIdiom::Phone}; }
    static ScreenProfile phone375x667(double scale = 2) { return {{375, 667}, scale, ui::UserInterfaceIdiom::Phone}; }
    static ScreenProfile phone414x736(double scale = 3) { return {{414, 736}, scale, ui::UserInterfaceIdiom::Phone}; }
    static ScreenProfile pad768x1024(double scale = 2) { return {{768, 1024}, scale, ui::UserInterfaceIdiom::Pad}; }

    // Raises "NSInvalidArgumentException" unless the size is positive and not wider than tall, and the
    // scale is 1, 2 or 3.
    void validate() const;
};

}  // namespace ql::sim
