#pragma once
// The device class the app picks layouts, nib files and images by: the kind of device and the size of
// its screen, read afresh at every call.

#include <cstdint>

namespace ql {

// 0: 320×480 screen; 1: any other 320-point-wide screen; 2: 375 wide; 3: 414 wide; 4: iPad, whatever
// its screen; 5: anything else, and a phone while the interface orientation is unknown. In landscape the
// screen's height takes the place of its width.
std::uint64_t deviceModel();

}  // namespace ql
