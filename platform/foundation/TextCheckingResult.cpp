#include "platform/foundation/TextCheckingResult.h"

namespace ql::ns {

TextCheckingResult TextCheckingResult::checkingResult(std::uint64_t type, Range range) {
    TextCheckingResult result;
    result.ranges = {range};
    result.resultType = type;
    return result;
}

TextCheckingResult TextCheckingResult::linkCheckingResult(Range range, ns::URL url) {
    TextCheckingResult result = checkingResult(TextCheckingTypeLink, range);
    result.URL = std::move(url);
    return result;
}

TextCheckingResult TextCheckingResult::phoneNumberCheckingResult(Range range, std::string phoneNumber) {
    TextCheckingResult result = checkingResult(TextCheckingTypePhoneNumber, range);
    result.phoneNumber = std::move(phoneNumber);
    return result;
}

TextCheckingResult TextCheckingResult::addressCheckingResult(Range range, Dictionary components) {
    TextCheckingResult result = checkingResult(TextCheckingTypeAddress, range);
    result.components = std::move(components);
    return result;
}

TextCheckingResult TextCheckingResult::dateCheckingResult(Range range, Date date) {
    return dateCheckingResult(range, date, std::nullopt, 0);
}

TextCheckingResult TextCheckingResult::dateCheckingResult(Range range, Date date, std::optional<TimeZone> timeZone,
                                                          double duration) {
    TextCheckingResult result = checkingResult(TextCheckingTypeDate, range);
    result.date = date;
    result.timeZone = std::move(timeZone);
    result.duration = duration;
    return result;
}

TextCheckingResult TextCheckingResult::transitInformationCheckingResult(Range range, Dictionary components) {
    TextCheckingResult result = checkingResult(TextCheckingTypeTransitInformation, range);
    result.components = std::move(components);
    return result;
}

}  // namespace ql::ns
