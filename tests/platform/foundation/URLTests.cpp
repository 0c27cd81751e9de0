#include <gtest/gtest.h>

#include <filesystem>

#include "platform/foundation/Exception.h"
#include "platform/foundation/Object.h"
#include "platform/foundation/URL.h"
#include "tests/support/PeerProcess.h"

using namespace ql::ns;

namespace {

URL url(std::string_view text) {
    auto parsed = URL::fromString(text);
    if (!parsed) throw std::runtime_error("no URL: " + std::string(text));
    return *parsed;
}

}  // namespace

TEST(URL, ResolvesTheReferenceExamples) {
    const URL base = url("http://a/b/c/d;p?q");
    const std::pair<const char*, const char*> examples[] = {
        // Normal examples
        {"g:h", "g:h"},
        {"g", "http://a/b/c/g"},
        {"./g", "http://a/b/c/g"},
        {"g/", "http://a/b/c/g/"},
        {"/g", "http://a/g"},
        {"//g", "http://g"},
        {"?y", "http://a/b/c/d;p?y"},
        {"g?y", "http://a/b/c/g?y"},
        {"#s", "http://a/b/c/d;p?q#s"},
        {"g#s", "http://a/b/c/g#s"},
        {"g?y#s", "http://a/b/c/g?y#s"},
        {";x", "http://a/b/c/;x"},
        {"g;x", "http://a/b/c/g;x"},
        {"g;x?y#s", "http://a/b/c/g;x?y#s"},
        {"", "http://a/b/c/d;p?q"},
        {".", "http://a/b/c/"},
        {"./", "http://a/b/c/"},
        {"..", "http://a/b/"},
        {"../", "http://a/b/"},
        {"../g", "http://a/b/g"},
        {"../..", "http://a/"},
        {"../../", "http://a/"},
        {"../../g", "http://a/g"},
        // Abnormal examples
        {"../../../g", "http://a/g"},
        {"../../../../g", "http://a/g"},
        {"/./g", "http://a/g"},
        {"/../g", "http://a/g"},
        {"g.", "http://a/b/c/g."},
        {".g", "http://a/b/c/.g"},
        {"g..", "http://a/b/c/g.."},
        {"..g", "http://a/b/c/..g"},
        {"./../g", "http://a/b/g"},
        {"./g/.", "http://a/b/c/g/"},
        {"g/./h", "http://a/b/c/g/h"},
        {"g/../h", "http://a/b/c/h"},
        {"g;x=1/./y", "http://a/b/c/g;x=1/y"},
        {"g;x=1/../y", "http://a/b/c/y"},
        {"g?y/./x", "http://a/b/c/g?y/./x"},
        {"g?y/../x", "http://a/b/c/g?y/../x"},
        {"g#s/./x", "http://a/b/c/g#s/./x"},
        {"g#s/../x", "http://a/b/c/g#s/../x"},
        {"http:g", "http:g"},
    };
    for (const auto& [reference, expected] : examples) {
        auto resolved = URL::fromString(reference, base);
        ASSERT_TRUE(resolved) << reference;
        EXPECT_EQ(resolved->absoluteString(), expected) << reference;
        EXPECT_EQ(resolved->relativeString(), reference);
    }
}

TEST(URL, KeepsTheBaseOfARelativeURL) {
    const URL base = url("http://a/b/c/d;p?q");
    URL relative = *URL::fromString("g?y#s", base);
    EXPECT_EQ(relative.baseURL(), base);
    EXPECT_EQ(relative.host(), "a");
    EXPECT_EQ(relative.path(), "/b/c/g");
    EXPECT_EQ(relative.query(), "y");
    EXPECT_EQ(relative.absoluteURL().baseURL(), std::nullopt);
    EXPECT_EQ(relative.absoluteURL().absoluteString(), relative.absoluteString());
    // Written relative to a base, a URL reads as written; without one, as its absolute text.
    EXPECT_EQ(relative.relativeString(), "g?y#s");
    EXPECT_EQ(relative.absoluteURL().relativeString(), "http://a/b/c/g?y#s");
    EXPECT_EQ(relative.absoluteURL(), url("http://a/b/c/g?y#s"));
    EXPECT_EQ(URL::fromString("https://x/y", base)->relativeString(), "https://x/y");
    EXPECT_EQ(url("http://a/b?c#d").relativeString(), "http://a/b?c#d");
    EXPECT_EQ(URL::fileURLWithPath("/tmp/a b", false).relativeString(), "file:///tmp/a%20b");
    EXPECT_EQ(url("http://a/b").URLByAppendingPathComponent("c").relativeString(), "http://a/b/c");
    // The same place reached from another base, or written out, is another URL.
    EXPECT_NE(relative, *URL::fromString("../c/g?y#s", base));
    EXPECT_NE(relative, url("http://a/b/c/g?y#s"));
    EXPECT_EQ(relative, *URL::fromString("g?y#s", url("http://a/b/c/d;p?q")));
    // A base relative to a base of its own keeps it, however its URLs are copied.
    const URL middle = *URL::fromString("e/", base);
    const URL inner = *URL::fromString("f?z", middle);
    const URL copied = inner;
    EXPECT_EQ(inner.absoluteString(), "http://a/b/c/e/f?z");
    EXPECT_EQ(copied.baseURL(), middle);
    EXPECT_EQ(copied.baseURL()->baseURL(), base);
    EXPECT_EQ(copied.baseURL()->relativeString(), "e/");
    EXPECT_EQ(inner, *URL::fromString("f?z", *URL::fromString("e/", url("http://a/b/c/d;p?q"))));
    EXPECT_NE(inner, *URL::fromString("f?z", *URL::fromString("e/", url("http://a/b/c/x"))));
    // A reference with a scheme of its own drops the base.
    EXPECT_EQ(URL::fromString("https://x/y", base)->baseURL(), std::nullopt);
    EXPECT_EQ(URL::fromString("g", std::optional<URL>())->absoluteString(), "g");
    // A base with a trailing "/" keeps its last segment.
    EXPECT_EQ(URL::fromString("Mobile/Login", url("http://h/api/"))->absoluteString(), "http://h/api/Mobile/Login");
    EXPECT_EQ(URL::fromString("Mobile/Login", url("http://h/api"))->absoluteString(), "http://h/Mobile/Login");
    EXPECT_EQ(URL::fromString("x", url("http://h"))->absoluteString(), "http://h/x");
}

TEST(URL, SplitsComponents) {
    URL full = url("http://us%20er:pa%3Ass@[::1]:8080/a%20b/%E8%AF%BB.tar.gz/?x=1&y=%E8#top");
    EXPECT_EQ(full.scheme(), "http");
    EXPECT_EQ(full.user(), "us er");
    EXPECT_EQ(full.password(), "pa:ss");
    EXPECT_EQ(full.host(), "::1");
    EXPECT_EQ(full.port(), 8080);
    EXPECT_EQ(full.path(), "/a b/\u8bfb.tar.gz");
    EXPECT_EQ(full.percentEncodedPath(), "/a%20b/%E8%AF%BB.tar.gz/");
    EXPECT_EQ(full.lastPathComponent(), "\u8bfb.tar.gz");
    EXPECT_EQ(full.pathExtension(), "gz");
    EXPECT_EQ(full.query(), "x=1&y=%E8");
    EXPECT_EQ(full.fragment(), "top");
    EXPECT_FALSE(full.isFileURL());

    URL bare = url("HTTP://Example.COM");
    EXPECT_EQ(bare.scheme(), "HTTP");
    EXPECT_EQ(bare.host(), "Example.COM");
    EXPECT_EQ(bare.path(), "");
    EXPECT_EQ(bare.lastPathComponent(), "");
    EXPECT_EQ(bare.port(), std::nullopt);
    EXPECT_EQ(bare.query(), std::nullopt);
    EXPECT_EQ(bare.user(), std::nullopt);

    EXPECT_EQ(url("http://a/b?").query(), "");
    EXPECT_EQ(url("http://a/b#").fragment(), "");
    EXPECT_EQ(url("http://a:/").port(), std::nullopt);
    EXPECT_EQ(url("http://a/").path(), "/");
    EXPECT_EQ(url("http://a/").lastPathComponent(), "/");
    EXPECT_EQ(url("http://u@a/").password(), std::nullopt);
    EXPECT_EQ(url("http://a/%FF").path(), "/%FF");
    EXPECT_EQ(url("mailto:someone@example.com").path(), "someone@example.com");
    EXPECT_EQ(url("mailto:someone@example.com").host(), std::nullopt);
    EXPECT_EQ(url("http://[v1.fe:x]/").host(), "v1.fe:x");
    // Only an address literal loses its brackets: escaped ones in a name are part of the name.
    EXPECT_EQ(url("http://%5Bab/").host(), "[ab");
    EXPECT_EQ(url("http://%5Bab%5D:80/").host(), "[ab]");
    EXPECT_EQ(url("a/b").scheme(), std::nullopt);
    EXPECT_EQ(url("//h/x").host(), "h");
    EXPECT_EQ(url("?q").query(), "q");
}

TEST(URL, RefusesTextsThatAreNoURL) {
    for (const char* bad : {"", "http://a b/", "http://a/\u8bfb", "http://a/%zz", "http://a/%2", "http://a/100%",
                            "http://[::1/", "http://[zz]/", "http://[::1]x/", "http://a:port/", "http://a:99999/",
                            "http://a^b/", "http://a/b|c", "http://a/{x}", "http://a/\"", "http://a/<", "http://a/\\",
                            "http://a/#x#y", "http://a/b[1]", "ht tp://a", "1ab:c", ":x", "http://u@v@a/"})
        EXPECT_EQ(URL::fromString(bad), std::nullopt) << bad;
    EXPECT_EQ(URL::fromString("http://a b/", url("http://a/")), std::nullopt);
}

TEST(URL, FileURLs) {
    URL file = URL::fileURLWithPath("/tmp/a b;c/\u8bfb.txt", false);
    EXPECT_EQ(file.absoluteString(), "file:///tmp/a%20b%3Bc/%E8%AF%BB.txt");
    EXPECT_TRUE(file.isFileURL());
    EXPECT_EQ(file.host(), "");
    EXPECT_EQ(file.path(), "/tmp/a b;c/\u8bfb.txt");
    EXPECT_EQ(file.pathExtension(), "txt");
    EXPECT_EQ(URL::fileURLWithPath("/tmp/dir", true).absoluteString(), "file:///tmp/dir/");
    EXPECT_EQ(URL::fileURLWithPath("/tmp/dir/", true).path(), "/tmp/dir");
    EXPECT_EQ(URL::fileURLWithPath("x.png", false).path(), (std::filesystem::current_path() / "x.png").string());
    EXPECT_TRUE(url("FILE:///x").isFileURL());
    EXPECT_THROW(URL::fileURLWithPath("", false), Exception);
}

TEST(URL, PathOperations) {
    EXPECT_EQ(url("http://a/b?q#f").URLByAppendingPathComponent("c d?").absoluteString(), "http://a/b/c%20d%3F?q#f");
    EXPECT_EQ(url("http://a/api").URLByAppendingPathComponent("").absoluteString(), "http://a/api/");
    EXPECT_EQ(url("http://a/api/").URLByAppendingPathComponent("").absoluteString(), "http://a/api/");
    EXPECT_EQ(url("http://a").URLByAppendingPathComponent("\u8bfb").absoluteString(), "http://a/%E8%AF%BB");
    EXPECT_EQ(url("http://a/b/").URLByAppendingPathComponent("/c/d").absoluteString(), "http://a/b/c/d");
    EXPECT_EQ(URL::fileURLWithPath("/tmp", true).URLByAppendingPathComponent("x.txt").path(), "/tmp/x.txt");
    // Path operations answer absolute URLs.
    URL relative = *URL::fromString("c", url("http://a/b/"));
    EXPECT_EQ(relative.URLByAppendingPathComponent("d").relativeString(), "http://a/b/c/d");

    EXPECT_EQ(url("http://a/b/c?q").URLByDeletingLastPathComponent().absoluteString(), "http://a/b/?q");
    EXPECT_EQ(url("http://a/b/c/").URLByDeletingLastPathComponent().absoluteString(), "http://a/b/");
    EXPECT_EQ(url("http://a/b").URLByDeletingLastPathComponent().absoluteString(), "http://a/");
    EXPECT_EQ(url("http://a/").URLByDeletingLastPathComponent().absoluteString(), "http://a/");
    EXPECT_EQ(url("http://a").URLByDeletingLastPathComponent().absoluteString(), "http://a");

    EXPECT_EQ(url("http://a/b/./c/../../d/.?q").standardizedURL().absoluteString(), "http://a/d/?q");
    EXPECT_EQ(url("http://a/../b").standardizedURL().absoluteString(), "http://a/b");
    // Without an authority a path cannot start with "//": "/." keeps it apart.
    EXPECT_EQ(url("s:/..//x").standardizedURL().absoluteString(), "s:/.//x");
}

TEST(URL, PathExtensionEdgeCases) {
    const std::pair<const char*, const char*> table[] = {
        {"http://x/a.tar.gz", "gz"},  {"http://x/a.jpg?w=1.5", "jpg"}, {"http://x/dir.d/", "d"},
        {"http://x/a.b/c", ""},       {"http://x/.hidden", ""},        {"http://x/a.", ""},
        {"http://x.com", ""},         {"http://x/a%2Eb", "b"},         {"http://x/a.%E6%96%87", "\u6587"},
    };
    for (const auto& [text, extension] : table) EXPECT_EQ(url(text).pathExtension(), extension) << text;
}

TEST(URL, TravelsInsideValues) {
    const URL link = *URL::fromString("g?y", url("http://a/b/c/d;p?q"));
    Value boxed = link.boxed();
    ASSERT_TRUE(boxed.isObject());
    EXPECT_EQ(boxed.asObject()->className(), "NSURL");
    EXPECT_EQ(boxed.description(), "http://a/b/c/g?y");
    EXPECT_EQ(URL::fromValue(boxed), link);
    EXPECT_EQ(boxed, link.boxed());
    EXPECT_NE(boxed, url("http://a/b/c/g?y").boxed());
    EXPECT_EQ(URL::fromValue(Value("http://a/")), std::nullopt);
    EXPECT_TRUE(boxed.isKindOfClass(*Class::named("NSURL")));
    EXPECT_EQ(Value(Dictionary{{"NSErrorFailingURLKey", boxed}}).description(),
              "{\n    NSErrorFailingURLKey = http://a/b/c/g?y;\n}");
}

// Which bytes each component takes, against Python's own sets: its scheme characters, and the characters its
// quote() leaves alone (letters, digits and "-._~") plus each component's delimiters from RFC 3986.
TEST(URL, TakesTheCharactersOfEachComponentAsPythonDoes) {
    const char* program =
        "import urllib.parse as u\n"
        "sub = \"!$&'()*+,;=\"\n"
        "def kept(c, safe): return u.quote(c, safe=safe) == c\n"
        "rules = [\n"
        "  lambda c: c in u.scheme_chars or c in '/?#:',\n"
        "  lambda c: kept(c, sub + ':@/') or c in '?#',\n"
        "  lambda c: kept(c, sub + ':@/?') or c == '#',\n"
        "  lambda c: kept(c, sub + ':@/?'),\n"
        "  lambda c: kept(c, sub) or c in '/?#@',\n"
        "  lambda c: kept(c, sub + ':') or c in '/?#',\n"
        "]\n"
        "for rule in rules: print(''.join('1' if rule(chr(b)) else '0' for b in range(256)))\n";
    const auto expected = ql::test::runPeer(ql::test::pythonCommand(program), "");
    ASSERT_TRUE(expected.has_value());
    // Each component's text with the byte in its middle.
    const std::pair<const char*, const char*> around[] = {
        {"a", ":x"}, {"/a", "b"}, {"/?a", "b"}, {"/#a", "b"}, {"//a", "b/"}, {"//a", "@h/"},
    };
    std::size_t line = 0;
    for (const auto& [before, after] : around) {
        std::string accepted;
        for (int byte = 0; byte < 256; ++byte) {
            const std::string text = before + std::string(1, static_cast<char>(byte)) + after;
            accepted += URL::fromString(text) ? '1' : '0';
        }
        EXPECT_EQ(accepted, expected->substr(line * 257, 256)) << before << "_" << after;
        ++line;
    }
}

// Components as Python's urlsplit finds them.
TEST(URL, SplitsAsPythonDoes) {
    const char* references[] = {
        "http://u:p@h.example:8080/a/b;c?q=1&r#f", "//h/p", "/p?q", "p#f", "mailto:x@y", "file:///tmp/a%20b",
        "http://h", "http://[::1]:80/x", "s+v.1-2:/x/../y?", "a/b:c", "http://h:/p#", "?q#f", "http://h/?a?b#c?d",
    };
    std::string input;
    for (const char* reference : references) input += std::string(reference) + "\n";
    const auto expected = ql::test::runPeer(
        ql::test::pythonCommand("import sys, urllib.parse as u\n"
                                "for line in sys.stdin.read().splitlines():\n"
                                "    s = u.urlsplit(line)\n"
                                "    print('|'.join([s.scheme, s.hostname or '', str(s.port or ''), s.path, s.query, s.fragment]))\n"),
        input);
    ASSERT_TRUE(expected.has_value());
    std::string actual;
    for (const char* reference : references) {
        const URL parsed = url(reference);
        const auto port = parsed.port();
        actual += parsed.scheme().value_or("") + "|" + parsed.host().value_or("") + "|" +
                  (port ? std::to_string(*port) : "") + "|" + parsed.percentEncodedPath() + "|" +
                  parsed.query().value_or("") + "|" + parsed.fragment().value_or("") + "\n";
    }
    EXPECT_EQ(actual, *expected);
}

// References resolved as Python's urljoin resolves them: segments that only look like dot segments stay, the
// dot segments go, and long paths come through whole. (urljoin leaves dot segments in a reference with a host
// of its own and answers the base with its fragment for an empty reference; the RFC examples above cover both.)
TEST(URL, ResolvesAsPythonDoes) {
    const char* base = "https://quillory.example.com/lessons/week12/index.html?x=1#top";
    const char* references[] = {
        "img/q12.png", ".hidden/a", "a..b/c", ".../d", "..x/./y", "x/../../z", "./", "../", ".", "..", "/a/./b/../c",
        "?y=2", "#f", "//other.example.org/p/q", "img/very/long/path/to/a/picture/of/a/question.png", "a/b/c/../..",
        "a/.", "a/..", "/",
    };
    std::string input;
    for (const char* reference : references) input += std::string(reference) + "\n";
    const auto expected = ql::test::runPeer(
        ql::test::pythonCommand("import sys, urllib.parse as u\n"
                                "for line in sys.stdin.read().split('\\n')[:-1]:\n"
                                "    print(u.urljoin('" + std::string(base) + "', line))\n"),
        input);
    ASSERT_TRUE(expected.has_value());
    std::string actual;
    for (const char* reference : references) actual += URL::fromString(reference, url(base))->absoluteString() + "\n";
    EXPECT_EQ(actual, *expected);
}
