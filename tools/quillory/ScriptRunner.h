#pragma once
// Running a script of the run command's language (ScriptCommand.h) line by line as the lines arrive, so a
// person or a program can drive the app through a pipe: what a command prints, then "ok N", flushed.

#include <fstream>
#include <istream>
#include <ostream>
#include <string>

namespace ql::quillory {

class AppDriver;

// True when every line ran. Stops at the first line that cannot be read or run, writing
// "quillory: line N: why" to `errors`. A byte-order mark before the first line is skipped.
bool runScript(AppDriver& driver, std::istream& in, std::ostream& out, std::ostream& errors);

// The script file, open for reading; raises ScriptError naming it when it is missing, a folder or cannot be read.
std::ifstream openScript(const std::string& path);

}  // namespace ql::quillory
