#pragma once
// ns::Clock: the one time source of the process. It follows real time unless a test installs the
// manual clock, which stands still until advanced.

namespace ql::ns {

class Clock {
public:
    // Seconds since 1970.
    static double now();
};

}  // namespace ql::ns
