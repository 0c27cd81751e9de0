#pragma once
// The version number of the platform's foundation library, which components compare with to choose between
// platform generations (greater than 993.0: the flat look). This layer stands in for the newest system the
// app distinguishes, 9.0.

namespace ql::ns {

inline constexpr double FoundationVersionNumber = 1240.1;
// The last version number of the generation before the flat look.
inline constexpr double FoundationVersionNumberBeforeFlatLook = 993.0;

}  // namespace ql::ns
