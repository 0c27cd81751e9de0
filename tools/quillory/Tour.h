#pragma once
// The default tour of the run command: from a fresh installation through the first-run guide, a sign-in
// of a student without a bound mobile number, binding one with a verification code, the three tabs,
// changing the password and signing in again with it. Every step ends on the screen it expects, which
// is printed and photographed.

#include <ostream>
#include <string>
#include <vector>

namespace ql::quillory {

class AppDriver;

struct TourStep {
    std::string name;                 // also the screenshot's name, after its number
    std::vector<std::string> script;  // lines of the script language
    std::string expectedController;   // the class on top when the step is done
};

// A person moves between fields with the keyboard toolbar's arrows and puts the keyboard away with its
// Done, so the tour reaches every field and button on the smallest phone too.
// Works with the stand-in service's fixtures (student 20160302, password "abcdef", no mobile number).
const std::vector<TourStep>& defaultTour();

// Runs the steps in order; stops at the first that fails, saying which and why. True when every step
// reached its screen.
bool runTour(AppDriver& driver, const std::vector<TourStep>& steps, std::ostream& out);

}  // namespace ql::quillory
