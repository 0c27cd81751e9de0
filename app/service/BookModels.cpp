#include "app/service/BookModels.h"

namespace ql {

std::vector<std::shared_ptr<BookSortModel>> BookSortModel::arrayForGradeMenu() {
    std::vector<std::shared_ptr<BookSortModel>> menu;
    for (std::int64_t grade = 0; grade <= 6; ++grade) {
        auto entry = std::make_shared<BookSortModel>();
        entry->SortName = grade == 0 ? std::string("全部年级") : std::to_string(grade) + "年级";
        entry->gradeId = grade;
        menu.push_back(std::move(entry));
    }
    return menu;
}

std::vector<std::shared_ptr<BookSortModel>> BookSortModel::arrayForSortMenuWithSortNameArray(
    const std::vector<std::string>& sortNames) {
    std::vector<std::shared_ptr<BookSortModel>> menu;
    menu.reserve(sortNames.size());
    for (std::size_t i = 0; i < sortNames.size(); ++i) {
        auto entry = std::make_shared<BookSortModel>();
        entry->SortName = sortNames[i];
        entry->orderbytype = i == 0 ? 2 : i == 1 ? 1 : static_cast<std::int64_t>(i) + 1;
        menu.push_back(std::move(entry));
    }
    return menu;
}

}  // namespace ql
