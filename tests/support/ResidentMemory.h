#pragma once
// The test process's resident memory as the system counts it: now, and at its peak since the count was
// started afresh.

#include <cstddef>

namespace ql::test {

// False under the thread sanitizer, whose shadow memory (several times all the memory touched) the counts
// include, so that they tell little of what the code under test holds.
bool residentCountsTellWhatIsHeld();

std::size_t residentBytes();
// Starts the peak count afresh (the system's high-water mark of resident memory).
void resetPeakResident();
std::size_t peakResidentBytes();

// Under the address sanitizer, freed memory is held back for a while to catch its use after being freed,
// which the app's own allocator does not do: it is handed back here, so that what stays resident is what
// the code under test still holds. Elsewhere it does nothing.
void releaseSanitizerHeldMemory();

}  // namespace ql::test
