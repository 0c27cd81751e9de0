#pragma once
// The run command's script language: one command a line, blank lines and lines starting with "#" are
// skipped.
//
//   tap TEXT        tap the frontmost visible view showing TEXT (a filled password field shows a "*" for
//                   each character)
//   type TEXT       type TEXT into the focused field
//   clear           empty the focused field
//   swipe DIR       swipe left, right, up or down across the screen
//   wait SECONDS    let that much of the app's clock pass, and no more
//   shot NAME       write a screenshot NAME.png into the shots folder
//   tree            print the screen: the top controller, its title and every visible text
//   back            tap the title bar's back button
//   release         send the replies the in-process stand-in holds (quillory --hold PATH) and hold no more
//
// After a command that acts the app is waited for until it is quiet: every service call answered, the
// screen still; after wait, shot and tree only replies still on their way are. `nowait COMMAND` runs the
// command without waiting for the service, so the screen can be looked at while a reply is on its way
// (with the reply held, "nowait tap 登 录" then "nowait tree" shows the sign-in overlay).

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "platform/device/Device.h"

namespace ql::quillory {

// A command that cannot be run; the message names the line.
class ScriptError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct ScriptCommand {
    enum class Kind { Tap, Type, Clear, Swipe, Wait, Shot, Tree, Back, Release };

    Kind kind = Kind::Tree;
    std::string text;  // what tap and type take, the name of a shot
    sim::Device::Direction direction = sim::Device::Direction::Left;
    double seconds = 0;
    int line = 0;
    bool waits = true;  // false after "nowait"
};

// Nothing for a blank line or a comment; raises ScriptError ("line N: …") for anything it cannot read.
std::optional<ScriptCommand> parseScriptLine(std::string_view line, int lineNumber);

}  // namespace ql::quillory
