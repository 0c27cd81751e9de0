#pragma once
// Random documents of odd markup around ordinary prose, to read with the import and in the browser: every
// document is paragraphs of numbered words with pieces between and inside them that old pages, word
// processors, templates that were not run and hand-written markup leave (tables in paragraphs and stray table
// parts, text inside tables, misnested formatting, "<?" markup, SVG and MathML holding HTML-like elements,
// comments and markup read as text, a doctype before text, a lone "&" at the end), and now and then a long
// paragraph or script, past which tags come where the reader's input is cut into pieces. Each word is written
// once, so a word out of place shows in the comparison. The same seed gives the same documents.
// Another grammar (TreeMarkup.h) aims at how the tree is built instead.

#include <cstdint>
#include <random>
#include <span>
#include <string>
#include <string_view>

namespace ql::tools {

// What documents are made of: pieces, where "$" is filled with words or another piece and "#" with words only;
// what a document may begin and end with (filled the same way, words only).
struct MarkupGrammar {
    std::span<const std::string_view> pieces, beginnings, endings;
};

// Odd markup around prose, as above.
const MarkupGrammar& oddMarkupGrammar();

class OddMarkup {
public:
    explicit OddMarkup(std::uint32_t seed, const MarkupGrammar& grammar = oddMarkupGrammar()) : grammar_(grammar), random_(seed) {}

    std::string document();

private:
    // The pattern with each "$" filled with words or, while `depth` allows, another piece, and each "#" with
    // words.
    std::string fill(std::string_view pattern, int depth);
    std::string piece(int depth);
    std::string words();
    // Some thousands of bytes of words.
    std::string filler();
    std::size_t below(std::size_t count) { return std::uniform_int_distribution<std::size_t>(0, count - 1)(random_); }

    const MarkupGrammar& grammar_;
    std::mt19937 random_;
    unsigned word_ = 0;
};

}  // namespace ql::tools
