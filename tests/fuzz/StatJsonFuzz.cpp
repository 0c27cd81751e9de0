// The analytics JSON parser on arbitrary bytes: it answers a value or nil with an error trace whose errors
// chain, innermost first; objectWithString agrees with fragmentWithString; and every value it reads is
// written (compact, and readable with sorted keys) into text that reads back equal.

#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "analytics/json/StatJsonParser.h"
#include "analytics/json/StatJsonWriter.h"
#include "tests/fuzz/FuzzSupport.h"

using namespace ql;

namespace {

using fuzz::check;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(bytes), size);
    auto parser = std::make_shared<StatJsonParser>();
    const ns::Value object = parser->objectWithString(text);
    const ns::Value value = parser->fragmentWithString(text);
    check(object.isNil() == (value.isNil() || !(value.isArray() || value.isDictionary())));
    if (value.isNil()) {
        const auto& trace = parser->errorTrace();
        check(!trace.empty());
        for (std::size_t i = 0; i < trace.size(); ++i) {
            check(trace[i].domain() == StatJsonErrorDomain);
            check(trace[i].code() >= 1 && trace[i].code() <= 12);
            auto underlying = ns::Error::fromValue(trace[i].userInfo()[ns::UnderlyingErrorKey]);
            check(i == 0 ? !underlying : underlying && *underlying == trace[i - 1]);
        }
        return 0;
    }
    check(parser->errorTrace().empty());
    for (bool readable : {false, true}) {
        auto writer = std::make_shared<StatJsonWriter>();
        writer->setHumanReadable(readable);
        writer->setSortKeys(readable);
        auto written = writer->stringWithFragment(value);
        check(written.has_value());
        check(std::make_shared<StatJsonParser>()->fragmentWithString(*written) == value);
    }
    return 0;
}
