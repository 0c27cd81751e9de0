#pragma once
// A point in time as seconds since 1970, with the platform's 2001 reference-date conversions.

#include <string>

namespace ql::ns {

class Date {
public:
    // Seconds between 1970-01-01 and the platform's reference date, 2001-01-01 (UTC).
    static constexpr double kReferenceDateOffset = 978307200.0;

    constexpr Date() = default;
    static constexpr Date fromTimeIntervalSince1970(double seconds) { return Date(seconds); }
    static constexpr Date fromTimeIntervalSinceReferenceDate(double seconds) {
        return Date(seconds + kReferenceDateOffset);
    }
    // The current time of ns::Clock (a manual clock's time in tests).
    static Date now();
    static constexpr Date distantPast() { return Date(-62135769600.0); }
    static constexpr Date distantFuture() { return Date(64092211200.0); }

    constexpr double timeIntervalSince1970() const { return seconds_; }
    constexpr double timeIntervalSinceReferenceDate() const { return seconds_ - kReferenceDateOffset; }
    constexpr double timeIntervalSinceDate(Date other) const { return seconds_ - other.seconds_; }
    double timeIntervalSinceNow() const;
    constexpr Date addingTimeInterval(double seconds) const { return Date(seconds_ + seconds); }

    constexpr auto operator<=>(const Date&) const = default;

    // "2001-01-01 00:00:00 +0000", the platform's description of a date.
    std::string description() const;

private:
    constexpr explicit Date(double seconds) : seconds_(seconds) {}
    double seconds_ = 0;
};

}  // namespace ql::ns
