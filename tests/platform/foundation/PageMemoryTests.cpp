#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "platform/foundation/Data.h"
#include "platform/foundation/PageMemory.h"

using ql::ns::Data;
using ql::ns::PageMemory;

namespace {

const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));

// What came back to the owner of shared pages, and how often.
std::vector<std::pair<const char*, std::size_t>>& returned() {
    static std::vector<std::pair<const char*, std::size_t>> list;
    return list;
}
void noteReturn(PageMemory memory) noexcept { returned().emplace_back(memory.data(), memory.size()); }

}  // namespace

TEST(PageMemory, GrowsAndShrinksInWholePagesKeepingItsContent) {
    PageMemory memory(page + 1);
    ASSERT_NE(memory.data(), nullptr);
    EXPECT_EQ(memory.size(), 2 * page);
    EXPECT_EQ(memory.data()[2 * page - 1], 0) << "fresh pages are zero-filled";
    for (std::size_t i = 0; i < memory.size(); ++i) memory.data()[i] = static_cast<char>(i % 251);
    // Far larger, perhaps elsewhere: the content comes along and the rest is zero.
    memory.resize(64 * page);
    EXPECT_EQ(memory.size(), 64 * page);
    bool kept = true;
    for (std::size_t i = 0; i < 2 * page; ++i) kept = kept && memory.data()[i] == static_cast<char>(i % 251);
    EXPECT_TRUE(kept);
    EXPECT_EQ(memory.data()[64 * page - 1], 0);
    memory.resize(page - 1);
    EXPECT_EQ(memory.size(), page);
    EXPECT_EQ(memory.data()[page - 1], static_cast<char>((page - 1) % 251));
    // Moving hands the pages over; an empty one has none.
    PageMemory moved(std::move(memory));
    EXPECT_EQ(memory.data(), nullptr);
    EXPECT_EQ(memory.size(), 0u);
    EXPECT_EQ(moved.data()[1], 1);
    moved.resize(0);
    EXPECT_EQ(moved.data(), nullptr);
    EXPECT_EQ(PageMemory(0).data(), nullptr);
    EXPECT_THROW(PageMemory(SIZE_MAX - 1), std::bad_alloc);
    EXPECT_THROW(PageMemory(std::size_t{1} << 62), std::bad_alloc);
}

TEST(PageMemory, SharedPagesComeBackOnceTheLastDataHolderGoes) {
    returned().clear();
    PageMemory memory(3 * page);
    std::memcpy(memory.data(), "shared pages", 12);
    const char* at = memory.data();
    {
        Data data(std::move(memory).share(noteReturn), 12);
        EXPECT_EQ(memory.data(), nullptr);
        EXPECT_EQ(data.view(), "shared pages");
        EXPECT_EQ(static_cast<const void*>(data.bytes()), static_cast<const void*>(at));
        Data copy = data;
        // A change copies the bytes first: the shared pages and the other holder stay as they were.
        copy.append(std::string_view("!"));
        copy.mutableBytes()[0] = 'S';
        EXPECT_EQ(copy.view(), "Shared pages!");
        EXPECT_EQ(data.view(), "shared pages");
        EXPECT_NE(static_cast<const void*>(copy.bytes()), static_cast<const void*>(at));
        Data another = data;
        data = Data();
        EXPECT_TRUE(returned().empty()) << "a holder is left";
        EXPECT_EQ(another.subdata(7, 5).view(), "pages");
    }
    ASSERT_EQ(returned().size(), 1u);
    EXPECT_EQ(returned()[0].first, at);
    EXPECT_EQ(returned()[0].second, 3 * page);
    // No bytes make empty data, which holds on to nothing.
    returned().clear();
    EXPECT_TRUE(Data(PageMemory(page).share(noteReturn), 0).empty());
    EXPECT_EQ(returned().size(), 1u);
}
