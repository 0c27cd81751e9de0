#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "richtext/NSAttributedStringHTML.h"
#include "richtext/RTHTMLAttributedStringBuilder.h"
#include "richtext/RTHTMLElement.h"
#include "richtext/RTHTMLNodePool.h"
#include "richtext/RTHTMLOptionValues.h"
#include "richtext/RTHTMLOptions.h"
#include "richtext/RTTextHTMLElement.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#endif

using namespace ql;

namespace {

// Whether the address checker would report a read at `at`.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool AddressesChecked = true;
bool isPoisoned(const void* at) { return __asan_address_is_poisoned(at) != 0; }
#else
constexpr bool AddressesChecked = false;
bool isPoisoned(const void*) { return false; }
#endif

TEST(RTHTMLNodePoolTests, FreedBlocksServeTheNextNodesOfTheirSize) {
    const std::shared_ptr<RTHTMLNodePool> owner = RTHTMLNodePool::create();
    RTHTMLNodePool& pool = *owner;
    void* first = pool.allocate(700);
    void* other = pool.allocate(100);
    EXPECT_NE(first, other);
    pool.deallocate(first, 700);
    // A freed block is poisoned past its link, so a node read after it went is reported.
    EXPECT_EQ(isPoisoned(static_cast<char*>(first) + 600), AddressesChecked);
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

// A child does not hold its parent: a parent that goes clears the pointers of the children it listed, so
// a node kept after its tree reads as a root (the address checker reports a pointer left dangling).
TEST(RTHTMLNodePoolTests, KeptNodesForgetParentsThatAreGone) {
    std::shared_ptr<RTHTMLElement> div;
    auto builder = std::make_shared<RTHTMLAttributedStringBuilder>(ns::Data(std::string_view("<div><b>a</b><i>c</i></div>")), ns::Dictionary());
    builder->setWillFlushCallback([&](const std::shared_ptr<RTHTMLElement>& element) { div = element; });
    builder->setShouldKeepDocumentNodeTree(true);
    ASSERT_TRUE(builder->generatedAttributedString());
    ASSERT_TRUE(div);
    const std::shared_ptr<RTHTMLParserNode> bold = div->childNodeAtIndex(0);
    ASSERT_TRUE(bold);
    EXPECT_EQ(bold->parent(), div.get());
    EXPECT_TRUE(div->parent());
    builder.reset();
    // The body and everything above the kept element went with the import; the kept subtree stays linked.
    EXPECT_EQ(div->parent(), nullptr);
    EXPECT_EQ(div->parentNode(), nullptr);
    EXPECT_EQ(div->parentElementPointer(), nullptr);
    EXPECT_EQ(bold->parentNode(), div);
    EXPECT_TRUE(bold->isChildOf(div));
    EXPECT_EQ(std::static_pointer_cast<RTHTMLElement>(div->lastChild())->parentElementPointer(), div.get());
    div.reset();
    EXPECT_EQ(bold->parent(), nullptr);
    EXPECT_EQ(bold->childCount(), 1u);

    // A node added to a second parent belongs to it: the first one going leaves it linked, and the second
    // one going unlinks it.
    auto first = std::make_shared<RTHTMLParserNode>("p", ns::Dictionary());
    auto second = std::make_shared<RTHTMLParserNode>("p", ns::Dictionary());
    auto child = std::make_shared<RTHTMLParserNode>("span", ns::Dictionary());
    first->addChildNode(child);
    second->addChildNode(child);
    first->removeAllChildNodes();
    EXPECT_EQ(child->parentNode(), second);
    second->removeChildNode(child);
    EXPECT_EQ(child->parent(), nullptr);
    first->addChildNode(child);
    second->addChildNode(child);
    first.reset();
    EXPECT_EQ(child->parent(), second.get());
    second.reset();
    EXPECT_EQ(child->parent(), nullptr);

    // A parent that no shared_ptr owns has no reference to give.
    {
        RTHTMLParserNode unowned("div", ns::Dictionary());
        unowned.addChildNode(child);
        EXPECT_EQ(child->parent(), &unowned);
        EXPECT_EQ(child->parentNode(), nullptr);
    }
    EXPECT_EQ(child->parent(), nullptr);
}

// The thread of an exclusive use takes and gives back blocks without the lock while other threads are
// served beside it; the counts add up when the use ends (the leak checker reports a pool that never goes,
// the address checker one that went too early).
TEST(RTHTMLNodePoolTests, AnExclusiveUseSharesThePoolSafelyWithOtherThreads) {
    std::shared_ptr<RTHTMLNodePool> owner = RTHTMLNodePool::create();
    RTHTMLNodePool& pool = *owner;
    std::vector<void*> kept;
    {
        const RTHTMLNodePool::ExclusiveUse use(pool);
        ASSERT_TRUE(use.isGranted());
        // One use at a time, on any thread.
        EXPECT_FALSE(RTHTMLNodePool::ExclusiveUse(pool).isGranted());
        bool grantedElsewhere = true;
        std::thread([&] { grantedElsewhere = RTHTMLNodePool::ExclusiveUse(pool).isGranted(); }).join();
        EXPECT_FALSE(grantedElsewhere);

        void* first = pool.allocate(700);
        pool.deallocate(first, 700);
        EXPECT_EQ(isPoisoned(static_cast<char*>(first) + 600), AddressesChecked);
        EXPECT_EQ(pool.allocate(690), first);
        EXPECT_FALSE(isPoisoned(static_cast<char*>(first) + 600));
        kept.push_back(first);

        // Both threads fill blocks with their own byte at the same time: no block is handed to both.
        const auto fill = [&pool](std::vector<void*>& blocks, unsigned char byte) {
            for (int n = 0; n < 2000; ++n) {
                blocks.push_back(pool.allocate(96));
                std::memset(blocks.back(), byte, 96);
                if (n % 3 == 0) {
                    pool.deallocate(blocks.back(), 96);
                    blocks.pop_back();
                }
            }
        };
        std::vector<void*> mine, theirs;
        std::thread other([&] { fill(theirs, 0xBB); });
        fill(mine, 0xAA);
        other.join();
        const auto filledWith = [](const std::vector<void*>& blocks, unsigned char byte) {
            for (void* block : blocks) {
                for (int at = 0; at < 96; ++at)
                    if (static_cast<unsigned char>(static_cast<const char*>(block)[at]) != byte) return false;
            }
            return true;
        };
        EXPECT_TRUE(filledWith(mine, 0xAA));
        EXPECT_TRUE(filledWith(theirs, 0xBB));
        // Blocks cross over: the other thread frees this one's and this one frees the other's.
        std::thread([&] {
            for (void* block : mine) pool.deallocate(block, 96);
        }).join();
        for (void* block : theirs) pool.deallocate(block, 96);
        for (int n = 0; n < 10; ++n) kept.push_back(pool.allocate(200));

        // The owner may let go during the use: the use holds the pool.
        owner.reset();
        kept.push_back(pool.allocate(300));
    }
    // Blocks made during the use outlive it; the last one given back, on another thread, frees the pool.
    pool.deallocate(kept.back(), 300);
    kept.pop_back();
    pool.deallocate(kept.front(), 690);
    kept.erase(kept.begin());
    std::thread([&] {
        for (void* block : kept) pool.deallocate(block, 200);
    }).join();
}

}  // namespace
