#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "platform/foundation/Data.h"
#include "platform/foundation/DictionaryKey.h"
#include "platform/foundation/JSONSerialization.h"
#include "platform/foundation/Value.h"

using namespace ql::ns;

namespace {

// Keys around the length where a key stops fitting inside itself, plus the empty key and bytes past ASCII.
std::vector<std::string> keyTexts() {
    std::vector<std::string> texts = {"", "a", "NSFont", "é", "z", "\x7f", std::string("nul\0inside", 10)};
    for (std::size_t size : {15u, 16u, 17u, 22u, 23u, 24u, 25u, 40u}) {
        texts.push_back(std::string(size, 'k'));
        texts.push_back(std::string(size - 1, 'k') + 'j');
        texts.push_back(std::string(size - 2, 'k') + "é");
    }
    return texts;
}

}  // namespace

TEST(DictionaryKey, ReadsAsTheTextItWasMadeFromWhateverItsLength) {
    for (const std::string& text : keyTexts()) {
        const DictionaryKey key(text);
        EXPECT_EQ(key.size(), text.size());
        EXPECT_EQ(key.empty(), text.empty());
        EXPECT_EQ(std::string_view(key), text);
        EXPECT_EQ(std::string(key), text);
        EXPECT_EQ(key.c_str()[key.size()], '\0');
        EXPECT_EQ(std::string(key.begin(), key.end()), text);

        DictionaryKey copy = key;
        EXPECT_EQ(copy, key);
        DictionaryKey assigned("other");
        assigned = copy;
        EXPECT_EQ(assigned.view(), text);
        DictionaryKey moved = std::move(copy);
        EXPECT_EQ(moved.view(), text);
        EXPECT_TRUE(copy.empty());
        // A copy outlives the key it was copied from, long texts included.
        DictionaryKey survivor;
        {
            const DictionaryKey original(text);
            survivor = original;
        }
        EXPECT_EQ(survivor.view(), text);
        survivor = survivor;
        EXPECT_EQ(survivor.view(), text);
    }
}

TEST(DictionaryKey, ComparesAndOrdersAsStdStringDoes) {
    const std::vector<std::string> texts = keyTexts();
    for (const std::string& a : texts) {
        for (const std::string& b : texts) {
            const DictionaryKey ka(a), kb(b);
            EXPECT_EQ(ka == kb, a == b) << a << " / " << b;
            EXPECT_EQ(ka < kb, a < b) << a << " / " << b;
            EXPECT_EQ(ka < b, a < b);
            EXPECT_EQ(a < kb, a < b);
            EXPECT_EQ(ka == b, a == b);
            EXPECT_EQ(b == ka, a == b);
            EXPECT_EQ(ka == std::string_view(b), a == b);
            EXPECT_EQ(ka.compare(b) < 0, a.compare(b) < 0);
        }
    }
    EXPECT_TRUE(DictionaryKey("NSFont") == "NSFont");
    EXPECT_TRUE("NSFont" != DictionaryKey("NSFonts"));
}

TEST(DictionaryKey, OffersTheReadingMembersOfAText) {
    const DictionaryKey key("RTBackgroundCornerRadius");  // 24 bytes: kept outside the key
    EXPECT_TRUE(key.starts_with("RT"));
    EXPECT_TRUE(key.ends_with("Radius"));
    EXPECT_FALSE(key.starts_with('N'));
    EXPECT_EQ(key.find("Corner"), 12u);
    EXPECT_EQ(key.rfind('R'), 18u);
    EXPECT_EQ(key.substr(2, 10), "Background");
    EXPECT_EQ(key.front(), 'R');
    EXPECT_EQ(key.back(), 's');
    EXPECT_EQ(key[2], 'B');
    EXPECT_EQ(key + "=1", "RTBackgroundCornerRadius=1");
    EXPECT_EQ("-" + key, "-RTBackgroundCornerRadius");
    EXPECT_EQ(std::string("<") + DictionaryKey("a") + '>', "<a>");
    std::ostringstream out;
    out << key;
    EXPECT_EQ(out.str(), "RTBackgroundCornerRadius");
}

TEST(DictionaryKey, DictionariesKeepTheirOrderAndSerialisedForms) {
    std::vector<std::string> texts = keyTexts();
    texts.erase(std::remove_if(texts.begin(), texts.end(), [](const std::string& t) { return t.find('\0') != std::string::npos; }),
                texts.end());
    Dictionary built;
    for (std::size_t i = 0; i < texts.size(); ++i) built.appendUnsorted(texts[texts.size() - 1 - i], Value(static_cast<int>(i)));
    built.finishAppending();
    std::vector<std::string> sorted = texts;
    std::sort(sorted.begin(), sorted.end());
    ASSERT_EQ(built.keys(), sorted);

    // Copies share long keys; a change to the copy leaves the original as it was.
    const std::string longKey(40, 'k');
    const Value before = built[longKey];
    ASSERT_TRUE(before.isInteger());
    Dictionary copy = built;
    copy.set(longKey, Value("changed"));
    EXPECT_EQ(built[longKey], before);
    EXPECT_EQ(copy[longKey], Value("changed"));

    // Written and read back through the arena reader, keys of every length come back in the same order.
    const std::optional<Data> json = JSONSerialization::dataWithJSONObject(Value(built), 0, nullptr);
    ASSERT_TRUE(json);
    const Value read = JSONSerialization::JSONObjectWithData(*json, 0, nullptr);
    ASSERT_TRUE(read.isDictionary());
    EXPECT_EQ(read.asDictionary()->keys(), sorted);
    EXPECT_EQ(read, Value(built));
    EXPECT_EQ(JSONSerialization::dataWithJSONObject(read, 0, nullptr), json);
    // A key taken out of a parsed tree outlives the tree, long keys (kept apart from the tree) included.
    std::vector<DictionaryKey> kept;
    {
        const Value tree = JSONSerialization::JSONObjectWithData(
            std::string_view(R"({"short":1,"sixteen-bytes-ok":2,"twenty-three-bytes-long":3,"a key well past twenty-three bytes":4})"), 0,
            nullptr);
        ASSERT_TRUE(tree.isDictionary());
        for (const auto& [key, value] : *tree.asDictionary()) kept.push_back(key);
    }
    EXPECT_EQ((std::vector<std::string>(kept.begin(), kept.end())),
              (std::vector<std::string>{"a key well past twenty-three bytes", "short", "sixteen-bytes-ok", "twenty-three-bytes-long"}));
    EXPECT_EQ(Dictionary({{"b", 1}, {"CTForegroundColor", 2}, {"a", 3}}).keys(),
              (std::vector<std::string>{"CTForegroundColor", "a", "b"}));
}

TEST(DictionaryKey, CopiesAndMatchesTextsOfEveryLengthByteForByte) {
    // Short keys are copied and compared in overlapping pieces: at every length up to past the longest
    // kept inside a key, a difference at any single byte (first, middle, last, the ones where two pieces
    // overlap) must be seen, and a copy must hold every byte, as std::string does.
    for (std::size_t size = 0; size <= 40; ++size) {
        std::string text(size, '\0');
        for (std::size_t i = 0; i < size; ++i) text[i] = static_cast<char>('A' + i % 26);
        const DictionaryKey key(text);
        ASSERT_EQ(key.view(), text) << size;
        ASSERT_EQ(key.c_str()[size], '\0');
        EXPECT_TRUE(key.equals(text));
        EXPECT_TRUE(key == DictionaryKey(text));
        EXPECT_FALSE(key.equals(text + 'A'));
        if (size > 0) {
            EXPECT_FALSE(key.equals(text.substr(0, size - 1)));
        }
        for (std::size_t at = 0; at < size; ++at) {
            for (char other : {'\0', '\x80', '\xff', static_cast<char>(text[at] + 1)}) {
                std::string changed = text;
                changed[at] = other;
                EXPECT_EQ(key.equals(changed), changed == text) << size << " at " << at;
                EXPECT_EQ(key == DictionaryKey(changed), changed == text) << size << " at " << at;
                EXPECT_EQ(DictionaryKey(changed).view(), changed) << size << " at " << at;
            }
        }
        // Found among keys of the same length that differ only in one byte, and not found otherwise.
        Dictionary dictionary;
        for (std::size_t at = 0; at < size; ++at) {
            std::string neighbour = text;
            neighbour[at] = '#';
            dictionary.set(neighbour, Value(static_cast<int>(at)));
        }
        EXPECT_EQ(dictionary.find(text), nullptr) << size;
        dictionary.set(text, Value("self"));
        ASSERT_NE(dictionary.find(text), nullptr) << size;
        EXPECT_EQ(*dictionary.find(text), Value("self"));
    }
}
