// richtext-differential [--tree] COUNT [SEED [DIR]]: reads COUNT random documents of odd markup around ordinary
// prose (OddMarkup.h; with --tree, markup aimed at how the tree is built, TreeMarkup.h) with the rich text
// import and in the headless browser, and tells how many show other visible lines (VisibleLines.h) in the
// import than in the browser; each such document goes to DIR (when given) as N.html with N.txt beside it, both
// readers' lines side by side.
// richtext-differential --files FILE...: the same for the documents in the files, each one's lines shown.
// Status 0 when every document reads alike, 1 when one differs, 2 on bad arguments or a browser that fails.

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Data.h"
#include "richtext/NSAttributedStringHTML.h"
#include "tools/richtext-differential/BrowserText.h"
#include "tools/richtext-differential/OddMarkup.h"
#include "tools/richtext-differential/TreeMarkup.h"
#include "tools/richtext-differential/VisibleLines.h"

using namespace ql;

namespace {

struct Comparison {
    std::vector<std::string> imported, browser;
    bool same() const { return tools::sameLines(imported, browser); }
};

std::string importedText(const std::string& html) {
    const std::optional<ct::AttributedString> text = initWithHTMLData(ns::Data(html), {});
    return text ? text->string() : std::string();
}

std::optional<Comparison> compare(tools::BrowserText& browser, const std::string& html) {
    // Once more when the page did not answer in time, as on a busy machine.
    std::optional<std::string> shown = browser.of(html);
    if (!shown) shown = browser.of(html);
    if (!shown) return std::nullopt;
    return Comparison{tools::importedLines(importedText(html)), tools::visibleLines(*shown)};
}

// Both readers' lines, a pair a row, "≠" before those that differ.
std::string sideBySide(const Comparison& comparison) {
    std::string text;
    const std::size_t rows = std::max(comparison.imported.size(), comparison.browser.size());
    for (std::size_t row = 0; row < rows; ++row) {
        const std::string imported = row < comparison.imported.size() ? comparison.imported[row] : "";
        const std::string browser = row < comparison.browser.size() ? comparison.browser[row] : "";
        text += (imported == browser ? "  " : "≠ ") + imported + "  |  " + browser + "\n";
    }
    return text;
}

void write(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

int usage() {
    std::fprintf(stderr, "usage: richtext-differential [--tree] COUNT [SEED [DIR]]\n       richtext-differential --files FILE...\n");
    return 2;
}

int compareFiles(tools::BrowserText& browser, const std::vector<std::string>& paths) {
    int status = 0;
    for (const std::string& path : paths) {
        std::ifstream file(path, std::ios::binary);
        if (!file) {
            std::fprintf(stderr, "%s: cannot be read\n", path.c_str());
            return 2;
        }
        const std::string html{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
        const std::optional<Comparison> comparison = compare(browser, html);
        if (!comparison) {
            std::fprintf(stderr, "%s: the browser did not show it\n", path.c_str());
            return 2;
        }
        std::printf("%s: %s\n%s", path.c_str(), comparison->same() ? "alike" : "different", sideBySide(*comparison).c_str());
        if (!comparison->same()) status = 1;
    }
    return status;
}

int compareRandom(tools::BrowserText& browser, const tools::MarkupGrammar& grammar, unsigned long count, std::uint32_t seed,
                  const char* folder) {
    tools::OddMarkup markup(seed, grammar);
    unsigned long different = 0;
    for (unsigned long n = 0; n < count; ++n) {
        const std::string html = markup.document();
        const std::optional<Comparison> comparison = compare(browser, html);
        const std::string base = folder ? std::string(folder) + "/" + std::to_string(n) : std::string();
        if (!comparison) {
            if (folder) write(base + ".html", html);
            std::fprintf(stderr, "document %lu: the browser did not show it\n", n);
            return 2;
        }
        if (comparison->same()) continue;
        ++different;
        if (folder) {
            write(base + ".html", html);
            write(base + ".txt", "import  |  browser\n" + sideBySide(*comparison));
        }
    }
    std::printf("%lu of %lu documents (seed %u) show other lines in the import than in the browser\n", different, count, seed);
    return different == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        if (argc < 2) return usage();
        std::vector<std::string> arguments(argv + 1, argv + argc);
        tools::BrowserText browser;
        if (arguments[0] == "--files") {
            if (arguments.size() < 2) return usage();
            return compareFiles(browser, {arguments.begin() + 1, arguments.end()});
        }
        const bool tree = arguments[0] == "--tree";
        if (tree) arguments.erase(arguments.begin());
        if (arguments.empty() || arguments.size() > 3) return usage();
        char* end = nullptr;
        const unsigned long count = std::strtoul(arguments[0].c_str(), &end, 10);
        if (*end != '\0' || count == 0) return usage();
        const std::uint32_t seed = arguments.size() > 1 ? static_cast<std::uint32_t>(std::strtoul(arguments[1].c_str(), nullptr, 10)) : 1;
        return compareRandom(browser, tree ? tools::treeMarkupGrammar() : tools::oddMarkupGrammar(), count, seed,
                             arguments.size() > 2 ? arguments[2].c_str() : nullptr);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "richtext-differential: %s\n", error.what());
        return 2;
    }
}
