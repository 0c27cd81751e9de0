// Format-string statements: each printf-like conversion becomes a bound "?" and its argument a bound
// value, so no value is ever spliced into the SQL text.

#include <cstdint>
#include <string>

#include "platform/foundation/Exception.h"
#include "storage/db/Database.h"

namespace ql {

namespace {

class FormatArguments {
public:
    FormatArguments(std::string_view format, DatabaseArgumentList arguments) : format_(format), arguments_(arguments) {}

    const DatabaseArgument& take(std::string_view conversion) {
        if (next_ >= arguments_.size()) fail("has no argument left for %" + std::string(conversion));
        return arguments_[next_++];
    }

    std::int64_t integer(std::string_view conversion) {
        const DatabaseArgument& argument = take(conversion);
        switch (argument.kind()) {
        case DatabaseArgument::Kind::Int:
        case DatabaseArgument::Kind::Int64: return argument.integer();
        case DatabaseArgument::Kind::Value: {
            const ns::Value& value = argument.value();
            if (value.kind() == ns::Value::Kind::UInt) return static_cast<std::int64_t>(value.uint64Value());
            if (value.isInteger() || value.isBool()) return value.int64Value();
            break;
        }
        default: break;
        }
        fail("needs an integer for %" + std::string(conversion) + ", got " + argument.description());
    }

    double number(std::string_view conversion) {
        const DatabaseArgument& argument = take(conversion);
        switch (argument.kind()) {
        case DatabaseArgument::Kind::Int:
        case DatabaseArgument::Kind::Int64: return static_cast<double>(argument.integer());
        case DatabaseArgument::Kind::Double: return argument.doubleValue();
        case DatabaseArgument::Kind::Value:
            if (argument.value().isNumber()) return argument.value().doubleValue();
            break;
        default: break;
        }
        fail("needs a number for %" + std::string(conversion) + ", got " + argument.description());
    }

    std::string text(std::string_view conversion) {
        const DatabaseArgument& argument = take(conversion);
        if (argument.kind() == DatabaseArgument::Kind::Text) return std::string(argument.text());
        if (argument.kind() == DatabaseArgument::Kind::Value && argument.value().isString())
            return std::string(argument.value().asString());
        fail("needs a text for %" + std::string(conversion) + ", got " + argument.description());
    }

    void finish() const {
        if (next_ != arguments_.size()) fail("leaves " + std::to_string(arguments_.size() - next_) + " argument(s) unused");
    }

private:
    [[noreturn]] void fail(const std::string& what) const {
        throw ns::Exception(ns::InvalidArgumentException, "The SQL format \"" + std::string(format_) + "\" " + what);
    }

    std::string_view format_;
    DatabaseArgumentList arguments_;
    std::size_t next_ = 0;
};

}  // namespace

void Database::extractSQL(std::string_view format, DatabaseArgumentList arguments, std::string& sql,
                          ns::Array& values) {
    FormatArguments input(format, arguments);
    const std::size_t length = format.size();
    auto at = [&](std::size_t i) { return i < length ? format[i] : '\0'; };
    char last = '\0';
    for (std::size_t i = 0; i < length; ++i) {
        const char current = format[i];
        if (last != '%') {
            if (current != '%') sql += current;
            last = current;
            continue;
        }

        std::optional<ns::Value> collected;
        switch (current) {
        case '@': {
            const DatabaseArgument& argument = input.take("@");
            if (argument.isAbsent()) sql += "NULL";
            else collected = argument.toValue();
            break;
        }
        case 'c': collected = ns::Value(std::string(1, static_cast<char>(input.integer("c")))); break;
        case 's': collected = ns::Value(input.text("s")); break;
        case 'd':
        case 'D':
        case 'i': collected = ns::Value(static_cast<std::int32_t>(input.integer(std::string(1, current)))); break;
        case 'u':
        case 'U': collected = ns::Value(static_cast<std::uint32_t>(input.integer(std::string(1, current)))); break;
        case 'f': collected = ns::Value(input.number("f")); break;
        case 'g': collected = ns::Value(static_cast<float>(input.number("g"))); break;
        case 'h':
            if (at(i + 1) == 'i') {
                collected = ns::Value(static_cast<std::int16_t>(input.integer("hi")));
                ++i;
            } else if (at(i + 1) == 'u') {
                collected = ns::Value(static_cast<std::uint16_t>(input.integer("hu")));
                ++i;
            } else {
                sql += current;
            }
            break;
        case 'q':
            if (at(i + 1) == 'i') {
                collected = ns::Value(input.integer("qi"));
                ++i;
            } else if (at(i + 1) == 'u') {
                collected = ns::Value(static_cast<std::uint64_t>(input.integer("qu")));
                ++i;
            } else {
                sql += current;
            }
            break;
        case 'l':
            if (at(i + 1) == 'd') {
                collected = ns::Value(input.integer("ld"));
                ++i;
            } else if (at(i + 1) == 'u') {
                collected = ns::Value(static_cast<std::uint64_t>(input.integer("lu")));
                ++i;
            } else if (at(i + 1) == 'l') {
                if (at(i + 2) == 'd') {
                    collected = ns::Value(input.integer("lld"));
                    i += 2;
                } else if (at(i + 2) == 'u') {
                    collected = ns::Value(static_cast<std::uint64_t>(input.integer("llu")));
                    i += 2;
                } else {
                    sql += current;
                    ++i;
                }
            } else {
                sql += current;
            }
            break;
        default: sql += current; break;
        }
        if (collected) {
            sql += '?';
            values.push_back(std::move(*collected));
        }
        last = format[i];
    }
    input.finish();
}

}  // namespace ql
