#include <gtest/gtest.h>

#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "platform/foundation/SmallVector.h"

using ql::ns::SmallVector;

namespace {

// An element that owns memory, so that ASan sees any element lost, freed twice or read after its move.
using Element = std::shared_ptr<std::string>;

Element element(int n) { return std::make_shared<std::string>(std::to_string(n)); }

std::vector<std::string> texts(const SmallVector<Element, 2>& v) {
    std::vector<std::string> out;
    for (const Element& e : v) out.push_back(e ? *e : "<null>");
    return out;
}

std::vector<std::string> texts(const std::vector<Element>& v) {
    std::vector<std::string> out;
    for (const Element& e : v) out.push_back(e ? *e : "<null>");
    return out;
}

}  // namespace

TEST(SmallVector, BehavesAsAVectorAcrossTheInlineLimit) {
    // Random edits applied to both, checked after every step, with copies and moves in between.
    std::mt19937 random(7);
    SmallVector<Element, 2> small;
    std::vector<Element> model;
    for (int step = 0; step < 4000; ++step) {
        const int choice = static_cast<int>(random() % 9);
        const std::size_t at = model.empty() ? 0 : random() % (model.size() + 1);
        if (choice <= 2 || model.empty()) {
            small.push_back(element(step));
            model.push_back(element(step));
        } else if (choice == 3) {
            small.insert(small.begin() + at, element(step));
            model.insert(model.begin() + static_cast<std::ptrdiff_t>(at), element(step));
        } else if (choice == 4) {
            const std::vector<Element> more = {element(step), element(-step)};
            small.insert(small.begin() + at, more.begin(), more.end());
            model.insert(model.begin() + static_cast<std::ptrdiff_t>(at), more.begin(), more.end());
        } else if (choice == 5 && at < model.size()) {
            small.erase(small.begin() + at);
            model.erase(model.begin() + static_cast<std::ptrdiff_t>(at));
        } else if (choice == 6) {
            const std::size_t end = at + random() % (model.size() - at + 1);
            small.erase(small.begin() + at, small.begin() + end);
            model.erase(model.begin() + static_cast<std::ptrdiff_t>(at), model.begin() + static_cast<std::ptrdiff_t>(end));
        } else if (choice == 7) {
            SmallVector<Element, 2> copy = small;
            ASSERT_EQ(texts(copy), texts(model));
            small = std::move(copy);
            EXPECT_TRUE(copy.empty());
        } else {
            SmallVector<Element, 2> moved(std::move(small));
            EXPECT_TRUE(small.empty());
            small = moved;
            if (random() % 8 == 0) {
                small.clear();
                model.clear();
            }
        }
        ASSERT_EQ(texts(small), texts(model)) << "step " << step;
        ASSERT_GE(small.capacity(), small.size());
    }
}

TEST(SmallVector, KeepsItsFirstElementsInsideAndGrowsGeometrically) {
    SmallVector<int, 3> v;
    const int* inside = v.data();
    for (int i = 0; i < 3; ++i) v.push_back(i);
    EXPECT_EQ(v.data(), inside);
    EXPECT_EQ(v.capacity(), 3u);
    v.push_back(3);
    EXPECT_NE(v.data(), inside);
    EXPECT_EQ(v.capacity(), 6u);
    for (int i = 4; i < 100; ++i) v.push_back(i);
    EXPECT_GE(v.capacity(), 100u);
    EXPECT_LT(v.capacity(), 200u);
    // Appending and inserting a few at a time grow it geometrically too: a handful of moves for
    // thousands of elements, where growing to the exact size would move them every time.
    SmallVector<int, 3> appended;
    int moves = 0;
    for (int i = 0; i < 4000; ++i) {
        const int pair[] = {i, i};
        const int* before = appended.data();
        if (i % 2 == 0) appended.append(std::begin(pair), std::end(pair));
        else appended.insert(appended.begin(), std::begin(pair), std::end(pair));
        if (appended.data() != before) ++moves;
    }
    EXPECT_EQ(appended.size(), 8000u);
    EXPECT_LT(moves, 20);
    // A copy takes the room it needs.
    const SmallVector<int, 3> copy(appended);
    EXPECT_EQ(copy.capacity(), 8000u);
    EXPECT_TRUE(std::equal(copy.begin(), copy.end(), appended.begin(), appended.end()));
    EXPECT_EQ(v.front(), 0);
    EXPECT_EQ(v.back(), 99);
    // A heap vector hands its block over on a move; an inline one moves its elements.
    const int* block = v.data();
    SmallVector<int, 3> taken(std::move(v));
    EXPECT_EQ(taken.data(), block);
    SmallVector<int, 3> few;
    few.push_back(1);
    SmallVector<int, 3> fewMoved(std::move(few));
    EXPECT_EQ(fewMoved.size(), 1u);
    EXPECT_EQ(fewMoved[0], 1);
    // Inserting one of its own elements inserts its value, even when the insertion grows the vector.
    SmallVector<std::string, 2> words;
    words.push_back("a");
    words.push_back("b");
    words.insert(words.begin(), words[1]);
    EXPECT_EQ((std::vector<std::string>(words.begin(), words.end())), (std::vector<std::string>{"b", "a", "b"}));
}
