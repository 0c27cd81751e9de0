// A program that installs an XML allocator of its own before anything reads XML (as the XML library asks) keeps
// it: the property-list reader and the HTML import under it use it as the program does, and a document the
// program read before them goes back to it. A program of its own, so that nothing has read XML before the test.

#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlmemory.h>

#include <string_view>

#include "platform/foundation/Data.h"
#include "platform/foundation/PropertyListSerialization.h"
#include "richtext/NSAttributedStringHTML.h"

using namespace ql;

TEST(OwnXMLAllocator, IsKeptAndFreesWhatTheProgramReadBeforeThePlatform) {
    ASSERT_EQ(xmlMemSetup(xmlMemFree, xmlMemMalloc, xmlMemRealloc, xmlMemoryStrdup), 0);
    constexpr std::string_view kOwn = "<books><book>小王子</book></books>";
    xmlDocPtr own = xmlReadMemory(kOwn.data(), static_cast<int>(kOwn.size()), "own.xml", nullptr, 0);
    ASSERT_NE(own, nullptr);
    const int blocksOfTheDocument = xmlMemBlocks();
    EXPECT_GT(blocksOfTheDocument, 0);

    const ns::Data plist(std::string_view(R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict><key>title</key><string>稻草人</string><key>flowers</key><integer>4</integer></dict></plist>)"));
    const ns::Value read = ns::PropertyListSerialization::propertyListWithData(plist, ns::PropertyListImmutable, nullptr, nullptr);
    ASSERT_TRUE(read.asDictionary()) << read.description();
    EXPECT_EQ(read.asDictionary()->find("title")->stringValue(), "稻草人");
    EXPECT_EQ(read.asDictionary()->find("flowers")->int64Value(), 4);

    const auto imported = initWithHTMLData(ns::Data(std::string_view("<p>快乐<b>阅读</b></p>")), {});
    ASSERT_TRUE(imported);
    EXPECT_EQ(imported->string(), "快乐阅读\n");

    xmlFreeDoc(own);
    EXPECT_LT(xmlMemBlocks(), blocksOfTheDocument) << "the document went back to the program's allocator";
    xmlFreeFunc freeing = nullptr;
    xmlMallocFunc allocating = nullptr;
    xmlReallocFunc reallocating = nullptr;
    xmlStrdupFunc copying = nullptr;
    ASSERT_EQ(xmlMemGet(&freeing, &allocating, &reallocating, &copying), 0);
    EXPECT_EQ(freeing, &xmlMemFree);
    EXPECT_EQ(allocating, &xmlMemMalloc);
    EXPECT_EQ(reallocating, &xmlMemRealloc);
    EXPECT_EQ(copying, &xmlMemoryStrdup);
}
