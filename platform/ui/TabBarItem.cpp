#include "platform/ui/TabBarItem.h"

namespace ql::ui {

TabBarItem::TabBarItem(std::optional<std::string> title, std::shared_ptr<Image> image, std::int64_t tag) {
    setTitle(std::move(title));
    setImage(std::move(image));
    setTag(tag);
}

TabBarItem::TabBarItem(std::optional<std::string> title, std::shared_ptr<Image> image,
                       std::shared_ptr<Image> selectedImage)
    : selectedImage_(std::move(selectedImage)) {
    setTitle(std::move(title));
    setImage(std::move(image));
}

TabBarItem::TabBarItem(TabBarSystemItem systemItem, std::int64_t tag) {
    static const char* const kTitles[] = {"More",      "Favorites", "Featured",  "Top Rated",   "Recents",     "Contacts",
                                          "History",   "Bookmarks", "Search",    "Downloads",   "Most Recent", "Most Viewed"};
    setTitle(std::string(kTitles[static_cast<int>(systemItem)]));
    setTag(tag);
}

void TabBarItem::setSelectedImage(std::shared_ptr<Image> image) {
    selectedImage_ = std::move(image);
    itemChanged();
}

void TabBarItem::setBadgeValue(std::optional<std::string> badge) {
    badgeValue_ = std::move(badge);
    itemChanged();
}

}  // namespace ql::ui
