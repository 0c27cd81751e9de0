#include "tools/richtext-differential/OddMarkup.h"

#include <array>

namespace ql::tools {

namespace {

// "$" is filled with words or another piece, "#" with words only: a block inside an element shown in line (a
// cell, a span, SVG and MathML) begins no line in the import, by design.
constexpr std::string_view Pieces[] = {
    // Tables in paragraphs, stray parts of tables, text and inline elements a table cannot hold.
    "<p>$<table><tr><td>#</td></tr></table>$</p>",
    "<p>$<table><tr><td>#</td><td>#</td></tr></table>$",
    "<p>$<td>#</td>$</p>",
    "<p>$<tr><td>#</td></tr>$</p>",
    "<p>$<th>#</th>$</p>",
    "<p>$<tbody>$</tbody>$</p>",
    "<p>$<caption>#</caption>$</p>",
    "<p>$ <td></td>$ $</p>",
    "<td>#</td>",
    "$<tr>$</tr>$",
    "<table><tr><td>#</td></tr>$</table>",
    "<table>$<tr><td>#</td></tr></table>",
    "<table><tr>$<td>#</td></tr></table>",
    "<table><tbody>$<tr><td>#</td></tr></tbody></table>",
    "<table><b>$</b><tr><td>#</td></tr></table>",
    "<table><tr><td>#</td></tr><span>#</span></table>",
    "<table><caption>#</caption><tr><th>#</th><td>#</td></tr></table>",
    "<table><tr><td>#<table><tr><td>#</td></tr>$</table>$</td></tr></table>",
    "<table><tr><td>#</table>$",
    "<table><td>#</td><td>#</td></table>",
    "<table><colgroup><col></colgroup><thead><tr><th>#</th></tr></thead><tbody><tr><td>#</td></tr></tbody></table>",
    "<table><tr><td>#</td></tr><p>$</p></table>",
    "<table><tr><td>#</td></tr></table>$</td>$", "<table><tr><td>#</td></tr><table><tr><td>#</td></tr></table>$",
    "<p>$<col>$<colgroup>$</p>", "<table><tr><td>#</td></tr><caption>#</caption></table>", "<table><form><tr><td>#</td></tr></form></table>",
    "<table><tr><td>#</td></tr><svg><text>#</text></svg></table>", "<table><tr><td>#</td></tr><style>p{}</style>$</table>",
    "<div>$<table><tr><td>#</td></tr></table>$</div>",
    "<b>$<table><tr><td>#</td></tr></table>$</b>",
    "<p>$</table>$</p>",
    // Blocks and line ends.
    "<p>$</p>", "<p>$", "<div>$</div>", "<h2>$</h2>", "<h3>$", "<blockquote>$</blockquote>", "<center>$</center>",
    "<pre>$</pre>", "<listing>$</listing>", "<address>$</address>", "<ul><li>$<li>$</ul>", "<ol><li>$</ol>",
    "<dl><dt>$<dd>$</dl>", "<p>$<hr>$</p>", "<p>$<br>$</p>", "<p>$</br>$</p>", "<p>$<div>$</div>$</p>",
    "<p>$<h4>$</h4>$</p>", "<p>$<ul><li>$</li></ul>$</p>", "<p>$<pre>$</pre>$</p>", "<p>$<dl><dd>$</dl>$</p>",
    "<p>$<figure>$</figure>$</p>", "<p>$<main>$</main>$</p>", "<p>$<form>$</form>$</p>", "<p>$<li>$</p>",
    "<p>$<dd>$</p>", "<p>$<dt>$</p>", "<p>$<fieldset>$</fieldset>$</p>", "<p>$<section>$</section>$</p>",
    "<p>$<xmp>$</xmp>$</p>", "<p>$<plaintext>$", "<p>$<menu>$</menu>$</p>", "<p>$<dir>$</dir>$</p>",
    "<p>$<article>$</article>$</p>", "<p>$<nav>$</nav>$</p>", "<p>$<hgroup>$</hgroup>$</p>",
    "<p>$<search>$</search>$</p>", "<p>$<marquee>$</marquee>$</p>",
    "<p>$<img src=x.png>$</p>", "<p>$<span>#</span>$</p>", "<p>$<font color=red>#</font>$</p>",
    "<p>$<head>$</p>", "<p>$<body>$</p>", "<div>$<body>$</div>", "<p>$<frameset>$</p>", "<p>$<span>#<div>$</div>$</span>$</p>",
    "<li>$", "<dd>$", "<dt>$", "$</p>", "$</div>", "$</li>", "$</h2>", "$</td>", "$</tr>", "$</table>", "$</caption>",
    // Misnested formatting.
    "<b>$<p>$</b>$</p>", "<i>$<div>$</i>$</div>", "<a href=x>$<p>$</a>$", "<b>$<i>$</b>$</i>", "<u>$<h2>$</h2>$</u>",
    "<b>$", "<em>$</em>", "<s>$<table><tr><td>#</td></tr></table>$</s>", "<nobr>$<nobr>$</nobr>",
    // "<?" markup, comments, "<!" markup.
    "$<?= @name ?>$", "$<? x ?>$", "$<?>$", "$<?xml version=\"1.0\"?>$", "$<?php echo 'a>b'; ?>$", "$<? $",
    "$<!-- $ -->$", "$<!-->$", "$<!--->$", "$<![CDATA[$]]>$", "$<![if !x]>$<![endif]>$", "$<!x>$", "$</ x>$",
    "$</>$",
    // SVG and MathML, their HTML-like elements, and what ends them.
    "<svg><style>#</style></svg>", "$<svg><style><i>#</i></style></svg>$", "$<math><script><span>#</span></script></math>$",
    "$<svg><iframe><b>#</b></iframe></svg>$", "$<svg><style><b>$</b></svg>", "$<svg><text>#</text></svg>$",
    "$<math><mi>#</mi></math>$", "$<svg><title>#</title></svg>$", "$<svg><desc><b>#</b></desc></svg>$",
   "$<svg><foreignObject><b>#</b></foreignObject></svg>$", "$<svg><textarea>#</textarea></svg>$",
    "$<svg><g><b>#</b></g></svg>$", "$<math><noembed><i>#</i></noembed></math>$", "$<svg><![CDATA[$]]></svg>$",
    "$<svg><noframes>#</noframes></svg>$", "$<svg><p>$</svg>", "$<math><mtext><i>#</i></mtext></math>$",
    // Elements a browser reads as no markup.
    "$<xmp><b>$</b></xmp>$", "$<textarea>#</textarea>$", "<p>$<title>#</title>$</p>", "$<iframe><b>#</b></iframe>$",
    "$<noembed>$</noembed>$", "<style>p{}</style>", "<script>var a = '<b>';</script>",
    "<script><!-- document.write('<script>x</script>'); //--></script>",
    // References and ampersands.
    "$ &amp; $", "$ & $", "$&$", "$ &x $", "$ &copy $", "$&lt;$", "$ &#65; $", "$&nbsp;$",
};

// What a document may end with, which reads otherwise at the end than in the middle.
constexpr std::string_view Endings[] = {
    "", "", "", "&", "<p>$</p>&", "</body>$", "</html>$", "</body></html>$", "</body>\n</html>\n", "$</p><!-- $ -->&", "<b>$</b>&", "$&", "<", "</", "$<svg><style><b>$</b>", "<p>$<plaintext>$",
    "<table><tr><td>$", "<p>$<table>$", "<!-- $", "<?", "<textarea>$", "$<math><script>$",
};

// What a document may begin with.
constexpr std::string_view Beginnings[] = {
    "", "", "", "<!DOCTYPE html>", "<!DOCTYPE html>\n", "<!doctype html>   ", "<!DOCTYPE html><html><body>",
    "<html><head><title>$</title></head><body>", "<style>p{}</style>", "</p>", "<!DOCTYPE html>&",
};

constexpr std::array<std::string_view, 8> Words = {"alpha", "bravo", "cocoa", "delta", "ember", "fable", "gamma", "hazel"};

}  // namespace

const MarkupGrammar& oddMarkupGrammar() {
    static const MarkupGrammar grammar{Pieces, Beginnings, Endings};
    return grammar;
}

std::string OddMarkup::words() {
    std::string text;
    for (std::size_t count = 1 + below(3); count-- > 0;) {
        if (!text.empty()) text += ' ';
        text += Words[below(Words.size())];
        text += std::to_string(++word_);
    }
    return text;
}

std::string OddMarkup::filler() {
    std::string text;
    for (std::size_t count = 300 + below(400); count-- > 0;) text += words() + ' ';
    return text;
}

std::string OddMarkup::fill(std::string_view pattern, int depth) {
    std::string text;
    for (const char c : pattern) {
        if (c == '#') text += words();
        else if (c != '$') text += c;
        else text += depth > 0 && below(3) == 0 ? piece(depth - 1) : words();
    }
    return text;
}

std::string OddMarkup::piece(int depth) { return fill(grammar_.pieces[below(grammar_.pieces.size())], depth); }

std::string OddMarkup::document() {
    // A paragraph first: text that begins a document goes into a paragraph of the reader's own, which ends where
    // a browser's block does, also at elements the import shows in line by design (dl, address...).
    std::string html = fill(grammar_.beginnings[below(grammar_.beginnings.size())], 0) + "<p>" + words() + ".</p>";
    for (std::size_t count = 3 + below(6); count-- > 0;) {
        html += below(2) == 0 ? "<p>" + words() + ".</p>" : piece(2);
        if (below(2) == 0) html += '\n';
        // Now and then a long paragraph or script, so that tags come where the reader's pieces of input end.
        if (below(8) == 0) html += below(2) == 0 ? "<p>" + filler() + "</p>" : "<script>/* " + filler() + " */</script>";
    }
    return html + fill(grammar_.endings[below(grammar_.endings.size())], 0);
}

}  // namespace ql::tools
