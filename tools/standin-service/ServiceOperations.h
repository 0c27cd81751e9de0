#pragma once
// The stand-in service's 29 operations, by the path they answer ("Mobile/StudentLogin"), and the reply
// pieces they share. Every operation answers a JSON object with `result` (1 done; for sign-in 2 signed in
// without a bound mobile number; 0 refused) and `msg`, plus its payload under the app's field names.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Value.h"
#include "tools/standin-service/ServiceForm.h"
#include "tools/standin-service/ServiceState.h"

namespace ql::standin {

using Operation = ns::Dictionary (*)(ServiceState& state, const Form& form);
using OperationTable = std::map<std::string, Operation, std::less<>>;

const OperationTable& serviceOperations();

void addAccountOperations(OperationTable& table);
void addBookOperations(OperationTable& table);
void addReadingOperations(OperationTable& table);

ns::Dictionary succeeded(std::string_view msg = "操作成功");
ns::Dictionary refused(std::string_view msg);
inline constexpr std::string_view UnknownStudentMessage = "用户不存在";
inline constexpr std::string_view UnknownBookMessage = "书籍不存在";

// The slice of `items` on page `pageIndex` (from 1) of `pageSize` items; out-of-range paging reads as
// the first page of 10.
template <class T>
std::vector<T> page(const std::vector<T>& items, std::int64_t pageIndex, std::int64_t pageSize) {
    if (pageIndex < 1) pageIndex = 1;
    if (pageSize < 1) pageSize = 10;
    // Any field value may come in: the page's start is only computed once it is known to lie in the items.
    const auto index = static_cast<std::uint64_t>(pageIndex - 1);
    const auto size = static_cast<std::uint64_t>(pageSize);
    if (index >= (items.size() + size - 1) / size) return {};
    const auto first = static_cast<std::size_t>(index * size);
    const auto last = first + static_cast<std::size_t>(std::min<std::uint64_t>(size, items.size() - first));
    return std::vector<T>(items.begin() + static_cast<std::ptrdiff_t>(first),
                          items.begin() + static_cast<std::ptrdiff_t>(last));
}

// A book as the lists show it (BookListModel).
ns::Value bookListEntry(const ServiceState& state, const Book& book);
// Books for the student's grade first, the most flowered first.
ns::Array recommendedBooks(const ServiceState& state, const Student& student, std::size_t limit);
// The student's place in the class ranking (from 1); 0 outside the class.
std::int64_t rankInClass(ServiceState& state, const Student& student, std::string_view classId);
// One entry of the test history or of the collection (TestInfoModel), with the student's latest test of
// the book and their note on it.
ns::Value testInfoEntry(const ServiceState& state, std::int64_t uid, std::int64_t bookId, std::string_view createTime);

// Entries grouped by the day of their time, in the given order (TestDateModel).
struct DatedEntry {
    std::string createTime;  // "yyyy-MM-dd HH:mm:ss"
    ns::Value entry;
};
ns::Array groupByDay(const std::vector<DatedEntry>& entries);

}  // namespace ql::standin
