#include "net/NetStrings.h"

#include "platform/foundation/Bundle.h"

namespace ql {

std::string NetLocalizedString(std::string_view key) {
    return ns::Bundle::main().localizedString(key, "", NetStringsTable);
}

std::string NetFormat(std::string_view format, std::initializer_list<std::string_view> arguments) {
    std::string out;
    auto next = arguments.begin();
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%' || i + 1 == format.size()) {
            out += format[i];
            continue;
        }
        const std::string_view rest = format.substr(i + 1);
        std::size_t specifier = 0;
        if (rest.starts_with("@")) specifier = 1;
        else if (rest.starts_with("ld") || rest.starts_with("lu")) specifier = 2;
        if (rest.starts_with("%")) {
            out += '%';
            ++i;
        } else if (specifier > 0 && next != arguments.end()) {
            out += *next++;
            i += specifier;
        } else {
            out += format[i];
        }
    }
    return out;
}

}  // namespace ql
