#pragma once
// The view tree as indented text, one view a line and two spaces per level: the class name, the frame in
// the superview's coordinates, the title and text it shows and whether it is hidden, e.g.
//
//   UIWindow (0 0; 320 480)
//     UIView (0 0; 320 480)
//       UIButton (20 40; 120.5 44) title="Sign \"in\""
//         UILabel (27.75 13; 65 18) text="Sign \"in\""
//       UITextField (20 90; 280 31) text="" placeholder="Name"
//       UILabel (0 0; 10 10) text="two\nlines" hidden
//
// Texts are quoted with \" \\ \n \t escaped. Hidden views are listed with their subviews.

#include <string>

namespace ql::ui {
class View;
}

namespace ql::sim {

std::string dumpViewTree(const ui::View& root);

}  // namespace ql::sim
