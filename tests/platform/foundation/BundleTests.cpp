#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/foundation/Bundle.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Locale.h"
#include "platform/foundation/PropertyListSerialization.h"
#include "platform/foundation/Sandbox.h"
#include "platform/foundation/StringsTable.h"

using namespace ql::ns;

namespace {

class BundleTest : public ::testing::Test {
protected:
    TemporarySandbox sandbox;
    std::string root = Sandbox::documents() + "/Test.bundle";

    void put(const std::string& relative, std::string_view contents) {
        std::string path = root + "/" + relative;
        ASSERT_TRUE(FileManager::defaultManager().createDirectoryAtPath(
            std::filesystem::path(path).parent_path().string(), true));
        ASSERT_TRUE(writeToFile(Data(contents), path, 0));
    }
};

}  // namespace

TEST_F(BundleTest, MainBundleIsTheRepositorysResources) {
    Bundle& main = Bundle::main();
    EXPECT_TRUE(main.bundlePath().ends_with("/resources")) << main.bundlePath();
    EXPECT_EQ(main.objectForInfoDictionaryKey("CFBundleName").asString(), "Quillory");
    EXPECT_EQ(main.objectForInfoDictionaryKey("CFBundleShortVersionString").asString(), "1.0");
    EXPECT_EQ(main.objectForInfoDictionaryKey("CFBundleVersion").asString(), "1");
    EXPECT_EQ(main.bundleIdentifier(), "com.quillory.app");
    EXPECT_TRUE(main.objectForInfoDictionaryKey("NoSuchKey").isNil());
    EXPECT_EQ(Bundle::bundleWithPath(main.bundlePath()).get(), &main);
}

TEST_F(BundleTest, MainResourcesAreFoundByOverrideOrByWalkingUp) {
    std::string top = Sandbox::documents();
    put("../app/resources/Info.plist", "<plist/>");
    ASSERT_TRUE(FileManager::defaultManager().createDirectoryAtPath(top + "/app/build/bin/resources", true));
    ASSERT_TRUE(FileManager::defaultManager().createDirectoryAtPath(top + "/elsewhere", true));
    // A "resources" folder without an Info.plist (bin/resources) is passed by.
    EXPECT_EQ(Bundle::locateMainResources("", top + "/app/build/bin"), top + "/app/resources");
    EXPECT_EQ(Bundle::locateMainResources(top + "/elsewhere", top + "/app/build/bin"), top + "/elsewhere");
    EXPECT_EQ(Bundle::locateMainResources(top + "/missing", top + "/app/build/bin"), top + "/app/resources");
    EXPECT_EQ(Bundle::locateMainResources("", top + "/elsewhere").value_or(""), "");
}

TEST_F(BundleTest, FindsResourcesByNameTypeAndFolder) {
    put("img.png", "root image");
    put("same.txt", "root");
    put("en.lproj/same.txt", "english");
    put("en.lproj/only.txt", "english only");
    put("Base.lproj/base.txt", "base");
    put("a.cer", "a");
    put("en.lproj/b.cer", "b");
    put("Sub.bundle/arrow.png", "arrow");
    put("Sub.bundle/deeper/more.png", "more");

    auto bundle = Bundle::bundleWithPath(root);
    ASSERT_TRUE(bundle);
    EXPECT_EQ(Bundle::bundleWithPath(root + "/").get(), bundle.get());
    EXPECT_FALSE(Bundle::bundleWithPath(root + "/img.png"));
    EXPECT_TRUE(bundle->infoDictionary().empty());
    EXPECT_FALSE(bundle->bundleIdentifier());

    EXPECT_EQ(bundle->pathForResource("img", "png"), root + "/img.png");
    EXPECT_EQ(bundle->pathForResource("img", ".png"), root + "/img.png");
    EXPECT_EQ(bundle->pathForResource("img.png", ""), root + "/img.png");
    EXPECT_EQ(bundle->pathForResource("same", "txt"), root + "/same.txt");
    EXPECT_EQ(bundle->pathForResource("only", "txt"), root + "/en.lproj/only.txt");
    EXPECT_EQ(bundle->pathForResource("base", "txt"), root + "/Base.lproj/base.txt");
    EXPECT_EQ(bundle->pathForResource("Sub.bundle/arrow", "png"), root + "/Sub.bundle/arrow.png");
    EXPECT_EQ(bundle->pathForResource("more", "png", "Sub.bundle/deeper"), root + "/Sub.bundle/deeper/more.png");
    EXPECT_EQ(bundle->pathForResource("", "cer"), root + "/a.cer");
    EXPECT_FALSE(bundle->pathForResource("img", "jpg"));
    EXPECT_FALSE(bundle->pathForResource("", ""));
    EXPECT_EQ(bundle->pathsForResourcesOfType("cer"),
              (std::vector<std::string>{root + "/a.cer", root + "/en.lproj/b.cer"}));
    EXPECT_EQ(bundle->URLForResource("img", "png")->absoluteString(), "file://" + root + "/img.png");

    auto sub = Bundle::bundleWithPath(*bundle->pathForResource("Sub", "bundle"));
    ASSERT_TRUE(sub);
    EXPECT_EQ(sub->pathForResource("arrow", "png"), root + "/Sub.bundle/arrow.png");
    EXPECT_EQ(bundle->URLForResource("Sub", "bundle")->absoluteString(), "file://" + root + "/Sub.bundle/");
}

TEST_F(BundleTest, StringsTablesFallBackToValueThenKey) {
    put("en.lproj/Networking.strings",
        "/* Block comment\n   over lines */\n"
        "\"Dismiss\" = \"Close\";  // trailing comment\n"
        "\"Error\"=\"Fehler \\\"quoted\\\"\\n\\U2014 \\UD83D\\UDE00\";\n"
        "bare_word = other.word;\n"
        "\"Self\";\n");
    put("Localizable.strings", "\"Cellular\" = \"Mobile\";");
    put("Broken.strings", "\"a\" = \"b\"\n\"c\" = \"d\";");
    std::u16string wide = u"\uFEFF\"Previous\" = \"上一个\";";
    std::string bytes;
    for (char16_t unit : wide) bytes += {static_cast<char>(unit & 0xff), static_cast<char>(unit >> 8)};
    put("KBKeyboardManager.strings", bytes);
    auto plist = PropertyListSerialization::dataWithPropertyList(Dictionary{{"Keychain", "Schlüsselbund"}},
                                                                 PropertyListFormat::XML, nullptr);
    ASSERT_TRUE(plist);
    put("Keychain.strings", plist->view());

    auto bundle = Bundle::bundleWithPath(root);
    EXPECT_EQ(bundle->localizedString("Dismiss", "", "Networking"), "Close");
    EXPECT_EQ(bundle->localizedString("Error", "", "Networking"), "Fehler \"quoted\"\n\u2014 \U0001F600");
    EXPECT_EQ(bundle->localizedString("bare_word", "", "Networking"), "other.word");
    EXPECT_EQ(bundle->localizedString("Self", "", "Networking"), "Self");
    EXPECT_EQ(bundle->localizedString("Missing", "Fallback", "Networking"), "Fallback");
    EXPECT_EQ(bundle->localizedString("Missing", "", "Networking"), "Missing");
    EXPECT_EQ(bundle->localizedString("Cellular", "", ""), "Mobile");
    EXPECT_EQ(bundle->localizedString("Previous", "", "KBKeyboardManager"), "上一个");
    EXPECT_EQ(bundle->localizedString("Keychain", "", "Keychain"), "Schlüsselbund");
    EXPECT_EQ(bundle->localizedString("Next", "", "NoSuchTable"), "Next");
    // A malformed table is reported and reads as empty.
    EXPECT_EQ(bundle->localizedString("a", "", "Broken"), "a");

    Error error("", 0);
    EXPECT_FALSE(parseStringsTable(Data("\"a\" = \"b\"\n\"c\" = \"d\";"), &error));
    EXPECT_EQ(error.code(), FileReadCorruptFileError);
    EXPECT_EQ(error.userInfo()[DebugDescriptionErrorKey].asString(), "Expected \";\" on line 2.");
    EXPECT_FALSE(parseStringsTable(Data("\"open = \"x\";"), nullptr));
    EXPECT_FALSE(parseStringsTable(Data("/* never closed"), nullptr));
    EXPECT_EQ(parseStringsTable(Data("  // only a comment\n")), Dictionary());
}

TEST_F(BundleTest, LocalizedTablesFollowThePreferredLanguages) {
    put("en.lproj/Greeting.strings", "\"Hello\" = \"Hello\";\n\"Only English\" = \"English\";");
    put("ru.lproj/Greeting.strings", "\"Hello\" = \"Привет\";");
    put("pt-BR.lproj/Greeting.strings", "\"Hello\" = \"Olá\";");
    put("Base.lproj/Greeting.strings", "\"Hello\" = \"Base\";");
    put("Info.plist",
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\"><dict>"
        "<key>CFBundleDevelopmentRegion</key><string>en</string>"
        "<key>CFBundleLocalizations</key><array><string>uk</string></array></dict></plist>");
    auto bundle = Bundle::bundleWithPath(root);
    EXPECT_EQ(bundle->localizations(), (std::vector<std::string>{"en", "pt-BR", "ru", "uk"}));

    struct LanguagesScope {
        explicit LanguagesScope(std::vector<std::string> languages) { Locale::setPreferredLanguages(languages); }
        ~LanguagesScope() { Locale::setPreferredLanguages(std::nullopt); }
    };
    {
        LanguagesScope languages({"ru-RU", "en"});
        EXPECT_EQ(bundle->preferredLocalizations(), (std::vector<std::string>{"ru", "en"}));
        EXPECT_EQ(bundle->localizedString("Hello", "", "Greeting"), "Привет");
        // The language's own table answers alone, as on the platform: what it lacks reads as the key.
        EXPECT_EQ(bundle->localizedString("Only English", "", "Greeting"), "Only English");
    }
    {
        LanguagesScope languages({"pt-BR"});
        EXPECT_EQ(bundle->localizedString("Hello", "", "Greeting"), "Olá");
    }
    {
        LanguagesScope languages({"uk", "ru"});
        EXPECT_EQ(bundle->preferredLocalizations(), (std::vector<std::string>{"uk", "ru"}));
    }
    {
        LanguagesScope languages({"fr-FR", "de"});
        EXPECT_EQ(bundle->preferredLocalizations(), std::vector<std::string>{"en"});
        EXPECT_EQ(bundle->localizedString("Hello", "", "Greeting"), "Hello");
    }
}
