#pragma once
// The run command's own limit on the service, kept for each reply on its own: a reply must have come in full
// within `limit` seconds of real time from when a command began waiting for it (its call was sent, or an
// earlier nowait command had sent it). A reply still coming in counts as not come, so that no service can
// keep a command waiting for ever by sending a byte now and then. Time before the command started waiting
// (a person reading the screen between commands) does not count.
//
// What is awaited goes by a key that stays the same for as long as it is awaited: a service call's serial,
// or a key of the driver's own for what it watches as a whole.

#include <cstdint>
#include <map>
#include <vector>

namespace ql::quillory {

class ReplyLimit {
public:
    using Key = std::uint64_t;

    explicit ReplyLimit(double limit) : limit_(limit) {}

    // What is awaited at `now` (real time): a key not seen before starts its count, one no longer awaited
    // is forgotten.
    void note(const std::vector<Key>& awaited, double now);
    // The real time left at `now` before the reply awaited longest is overdue: at most the limit, nothing
    // (0 or less) once one is.
    double left(double now) const;

private:
    double limit_;
    std::map<Key, double> since_;
};

}  // namespace ql::quillory
