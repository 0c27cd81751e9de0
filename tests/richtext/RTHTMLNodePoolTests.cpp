#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "richtext/NSAttributedStringHTML.h"
#include "richtext/RTHTMLElement.h"
#include "richtext/RTHTMLNodePool.h"
#include "richtext/RTHTMLOptionValues.h"
#include "richtext/RTHTMLOptions.h"
#include "richtext/RTTextHTMLElement.h"

using namespace ql;

namespace {

TEST(RTHTMLNodePoolTests, FreedBlocksServeTheNextNodesOfTheirSize) {
    const std::shared_ptr<RTHTMLNodePool> owner = RTHTMLNodePool::create();
    RTHTMLNodePool& pool = *owner;
    void* first = pool.allocate(700);
    void* other = pool.allocate(100);
    EXPECT_NE(first, other);
    pool.deallocate(first, 700);
    // Sizes round to the same class: the freed block comes back.
    EXPECT_EQ(pool.allocate(690), first);
    pool.deallocate(other, 100);

    // Making and dropping many nodes reuses the same memory: the pool holds what was alive at once.
    std::size_t held = 0;
    for (int round = 0; round < 1000; ++round) {
        std::vector<std::pair<void*, std::size_t>> blocks;
        for (int n = 0; n < 20; ++n) {
            const std::size_t size = n % 2 ? 760 : 800;
            blocks.emplace_back(pool.allocate(size), size);
        }
        for (auto [block, size] : blocks) pool.deallocate(block, size);
        if (round == 0) held = pool.reservedBytes();
    }
    EXPECT_EQ(pool.reservedBytes(), held);

    // Blocks larger than the pool serves come from the general allocator.
    const std::size_t before = pool.reservedBytes();
    void* large = pool.allocate(RTHTMLNodePool::LargestBlock + 1);
    EXPECT_EQ(pool.reservedBytes(), before);
    pool.deallocate(large, RTHTMLNodePool::LargestBlock + 1);
    pool.deallocate(first, 690);
}

// (The address checker reports a node read after its pool went, and the leak checker a pool that never
// goes.)
TEST(RTHTMLNodePoolTests, NodesKeepTheirPoolAliveAndMayBeFreedOnAnyThread) {
    std::shared_ptr<RTHTMLNodePool> pool = RTHTMLNodePool::create();
    std::shared_ptr<RTHTMLElement> parent =
        RTHTMLElement::elementWithName("p", ns::Dictionary{{"class", ns::Value("note")}}, {}, pool);
    auto text = makePooledNode<RTTextHTMLElement>(pool, std::string("words"));
    parent->addChildNode(text);
    text.reset();
    const std::size_t reserved = pool->reservedBytes();
    RTHTMLNodePool* const held = pool.get();
    pool.reset();
    // The owner let go; the nodes hold the pool, and their contents stay readable.
    EXPECT_EQ(held->reservedBytes(), reserved);
    EXPECT_EQ(parent->attributeForKey("class"), "note");
    ASSERT_EQ(parent->childCount(), 1u);
    EXPECT_EQ(std::static_pointer_cast<RTTextHTMLElement>(parent->lastChild())->text(), "words");

    std::thread([node = std::move(parent)]() mutable { node.reset(); }).join();
}

// An element the flush callback keeps outlives the import that made it.
TEST(RTHTMLNodePoolTests, ElementsKeptByTheFlushCallbackOutliveTheImport) {
    std::vector<std::shared_ptr<RTHTMLElement>> kept;
    const ns::Dictionary options{{std::string(RTWillFlushBlockCallBack),
                                  ns::Value(std::make_shared<RTWillFlushBlock>(
                                      [&](const std::shared_ptr<RTHTMLElement>& element) { kept.push_back(element); }))}};
    const std::optional<ct::AttributedString> text =
        initWithHTMLData(ns::Data(std::string_view("<p id=\"one\">a <b>b</b></p><div>c</div>")), options);
    ASSERT_TRUE(text);
    EXPECT_EQ(text->string(), "a b\nc\n");
    ASSERT_EQ(kept.size(), 2u);
    EXPECT_EQ(kept[0]->name(), "p");
    EXPECT_EQ(kept[0]->attributeForKey("id"), "one");
    EXPECT_EQ(kept[1]->name(), "div");
    EXPECT_TRUE(kept[1]->didOutput());
}

}  // namespace
