#include <gtest/gtest.h>

#include "platform/foundation/Transliteration.h"

using namespace ql::ns;

TEST(Transliteration, AnyScriptToPlainASCII) {
    EXPECT_EQ(transliteratedToASCII("北京"), "bei jing");
    EXPECT_EQ(transliteratedToASCII("Ærøskøbing"), "AEroskobing");
    EXPECT_EQ(transliteratedToASCII("Москва"), "Moskva");
    EXPECT_EQ(transliteratedToASCII("a😀b"), "ab");
    EXPECT_EQ(transliteratedToASCII("Quillory/1.0 (iPhone; iOS 9.0; Scale/2.00)"),
              "Quillory/1.0 (iPhone; iOS 9.0; Scale/2.00)");

    EXPECT_EQ(stringByApplyingTransform("中文", "Han-Latin"), "zhōng wén");
    EXPECT_EQ(stringByApplyingTransform("中文", "Any-Latin; Latin-ASCII"), "zhong wen");
    EXPECT_EQ(stringByApplyingTransform("Moskva", "Latin-Cyrillic"), "Москва");
    EXPECT_EQ(stringByApplyingTransform("Москва", "Latin-Cyrillic", true), "Moskva");
    EXPECT_FALSE(stringByApplyingTransform("x", "No-Such-Transform"));
}
