#include "tools/quillory/ScriptRunner.h"

#include <filesystem>
#include <string_view>

#include "tools/quillory/AppDriver.h"
#include "tools/quillory/ScriptCommand.h"

namespace ql::quillory {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

}  // namespace

bool runScript(AppDriver& driver, std::istream& in, std::ostream& out, std::ostream& errors) {
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        if (++number == 1 && line.starts_with(kByteOrderMark)) line.erase(0, kByteOrderMark.size());
        try {
            auto command = parseScriptLine(line, number);
            if (!command) continue;
            const std::string output = driver.run(*command);
            if (!output.empty()) out << output << "\n";
            out << "ok " << number << "\n" << std::flush;
        } catch (const std::exception& error) {
            out << std::flush;
            errors << "quillory: " << error.what() << "\n" << std::flush;
            return false;
        }
    }
    if (in.bad()) {
        errors << "quillory: the script could not be read after line " << number << "\n" << std::flush;
        return false;
    }
    return true;
}

std::ifstream openScript(const std::string& path) {
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    if (status.type() == std::filesystem::file_type::not_found) {
        throw ScriptError("cannot read the script " + path + ": there is no such file");
    }
    if (std::filesystem::is_directory(status)) throw ScriptError("cannot read the script " + path + ": it is a folder");
    std::ifstream file(path);
    if (!file) throw ScriptError("cannot read the script " + path);
    return file;
}

}  // namespace ql::quillory
