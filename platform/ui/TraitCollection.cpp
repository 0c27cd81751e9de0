#include "platform/ui/TraitCollection.h"

namespace ql::ui {

namespace {

// The width of the widest phone held in landscape, from which a phone counts as regular across.
constexpr double kRegularPhoneWidth = 736;

}  // namespace

TraitCollection TraitCollection::forScreen(cg::Size size, UserInterfaceIdiom idiom) {
    TraitCollection traits;
    traits.userInterfaceIdiom = idiom;
    if (idiom == UserInterfaceIdiom::Pad) {
        traits.horizontalSizeClass = UserInterfaceSizeClass::Regular;
        traits.verticalSizeClass = UserInterfaceSizeClass::Regular;
        return traits;
    }
    const bool landscape = size.width > size.height;
    traits.horizontalSizeClass = size.width >= kRegularPhoneWidth ? UserInterfaceSizeClass::Regular : UserInterfaceSizeClass::Compact;
    traits.verticalSizeClass = landscape ? UserInterfaceSizeClass::Compact : UserInterfaceSizeClass::Regular;
    return traits;
}

}  // namespace ql::ui
