#pragma once
// ui::TabBarItem: one tab of a tab bar: title, image, selected image and badge.

#include <memory>
#include <optional>
#include <string>

#include "platform/ui/BarItem.h"

namespace ql::ui {

enum class TabBarSystemItem {
    More = 0, Favorites, Featured, TopRated, Recents, Contacts, History, Bookmarks, Search, Downloads, MostRecent,
    MostViewed,
};

class TabBarItem : public BarItem {
    QL_OBJECT_NAMED(TabBarItem, BarItem, "UITabBarItem")
public:
    TabBarItem() = default;
    TabBarItem(std::optional<std::string> title, std::shared_ptr<Image> image, std::int64_t tag);
    TabBarItem(std::optional<std::string> title, std::shared_ptr<Image> image, std::shared_ptr<Image> selectedImage);
    TabBarItem(TabBarSystemItem systemItem, std::int64_t tag);

    const std::shared_ptr<Image>& selectedImage() const { return selectedImage_; }
    void setSelectedImage(std::shared_ptr<Image> image);
    const std::optional<std::string>& badgeValue() const { return badgeValue_; }
    void setBadgeValue(std::optional<std::string> badge);

private:
    std::shared_ptr<Image> selectedImage_;
    std::optional<std::string> badgeValue_;
};

}  // namespace ql::ui
