#include "tools/quillory/ScriptCommand.h"

#include <cmath>
#include <cstdlib>

namespace ql::quillory {

namespace {

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

[[noreturn]] void fail(int lineNumber, const std::string& message) {
    throw ScriptError("line " + std::to_string(lineNumber) + ": " + message);
}

}  // namespace

std::optional<ScriptCommand> parseScriptLine(std::string_view line, int lineNumber) {
    const std::string_view content = trimmed(line);
    if (content.empty() || content.front() == '#') return std::nullopt;
    const auto space = content.find_first_of(" \t");
    const std::string_view word = content.substr(0, space);
    const std::string_view argument = space == std::string_view::npos ? std::string_view() : trimmed(content.substr(space));

    if (word == "nowait") {
        auto command = argument.empty() ? std::nullopt : parseScriptLine(argument, lineNumber);
        if (!command) fail(lineNumber, "nowait needs a command after it");
        if (!command->waits) fail(lineNumber, "one nowait is enough");
        command->waits = false;
        return command;
    }

    ScriptCommand command;
    command.line = lineNumber;
    command.text = std::string(argument);
    auto needsArgument = [&](const char* what) {
        if (argument.empty()) fail(lineNumber, std::string(word) + " needs " + what);
    };
    auto takesNothing = [&] {
        if (!argument.empty()) fail(lineNumber, std::string(word) + " takes nothing after it");
    };
    if (word == "tap") {
        needsArgument("the text of the view to tap");
        command.kind = ScriptCommand::Kind::Tap;
    } else if (word == "type") {
        needsArgument("the text to type");
        command.kind = ScriptCommand::Kind::Type;
    } else if (word == "clear") {
        takesNothing();
        command.kind = ScriptCommand::Kind::Clear;
    } else if (word == "swipe") {
        command.kind = ScriptCommand::Kind::Swipe;
        if (argument == "left") command.direction = sim::Device::Direction::Left;
        else if (argument == "right") command.direction = sim::Device::Direction::Right;
        else if (argument == "up") command.direction = sim::Device::Direction::Up;
        else if (argument == "down") command.direction = sim::Device::Direction::Down;
        else fail(lineNumber, "swipe needs left, right, up or down, not \"" + std::string(argument) + "\"");
    } else if (word == "wait") {
        needsArgument("a number of seconds");
        const std::string number(argument);
        char* end = nullptr;
        const double seconds = std::strtod(number.c_str(), &end);
        if (end != number.c_str() + number.size() || !std::isfinite(seconds) || seconds < 0) {
            fail(lineNumber, "wait needs a number of seconds, not \"" + number + "\"");
        }
        command.kind = ScriptCommand::Kind::Wait;
        command.seconds = seconds;
    } else if (word == "shot") {
        needsArgument("a name for the screenshot");
        if (argument.find('/') != std::string_view::npos || argument == "." || argument == "..") {
            fail(lineNumber, "a screenshot name is a file name, not a path: \"" + std::string(argument) + "\"");
        }
        command.kind = ScriptCommand::Kind::Shot;
    } else if (word == "tree") {
        takesNothing();
        command.kind = ScriptCommand::Kind::Tree;
    } else if (word == "back") {
        takesNothing();
        command.kind = ScriptCommand::Kind::Back;
    } else if (word == "release") {
        takesNothing();
        command.kind = ScriptCommand::Kind::Release;
    } else {
        fail(lineNumber, "unknown command \"" + std::string(word) + "\"");
    }
    return command;
}

}  // namespace ql::quillory
