#include "tools/richtext-differential/TreeMarkup.h"

#include <iterator>
#include <string>
#include <vector>

namespace ql::tools {

namespace {

constexpr std::string_view Pieces[] = {
    // Formatting misnested with blocks and with itself.
    "<b>$<p>$</b>$</p>", "<i>$<div>$</i>$</div>$", "<b>$<i>$</b>$</i>$", "<a href=x>$<div>$</a>$</div>",
    "<u><p>$</u>$</p>", "<s>$<ul><li>$</s>$</ul>$", "<em>$<h3>$</em>$</h3>$", "<strong><div><b>$</strong>$</b>$</div>",
    "<b><b><b><b>$</b></b></b></b>$", "<font color=red>$<p>$</font>$</p>", "<nobr>$<nobr>$</nobr>$", "<b>$",
    "<i>$<p>$<b>$</i>$</p>$</b>",
    // Blocks inside headings, and headings inside headings.
    "<h2><div>$</h2>$", "<h2><b><h3>$</h3>$</b></h2>$", "<h1>$<h2>$</h1>$</h2>$", "<h3>$<p>$</h3>$",
    "<h2><center>$</h2>$", "<h2><article>$</h2>$", "<h4><ul><li>$</h4>$", "<h2><span><h3>$</h3>$</span></h2>$",
    "<h3><pre>$</h3>$", "<h2>$<h3>$</h3>$</h2>$", "<h5><i>$<h6>$</i>$</h5>$", "<h2><button>$</h2>$",
    // Lists: blocks left open in items, nested lists, doubled and stray item ends.
    "<ul><li><div>$</ul>$", "<ol><li>$<div>$</ol>$", "<ul><li>$<ul><li>$</li></li>$</ul>$</ul>$", "<ol><li>$</li></li>$</ol>$",
    "<ul><li>$<li>$<ol><li>$</ol>$</ul>$", "<ul><li>$<p>$</li>$</ul>", "<dl><dt>$<dd>$<dl><dt>$</dl>$</dl>$",
    "<li>$</li></li>$", "<ul><li><button>$</ul>$", "<ol><li>$<center>$</ol>$", "<menu><li>$</menu>$",
    "<ul><li>$<article>$</li>$</article>$</ul>", "<ol><li>$<ol><li>$</ol></li>$</ol>$", "<dl><dd>$<div>$</dl>$",
    // Elements in line around blocks, and their end tags across blocks.
    "<span><p>$</span>$</p>$", "<label><p>$</label>$</p>$", "<ruby><p>#</ruby>#</p>$", "<sup><p>$</sup>$</p>$",
    "<span>$<div>$</div>$</span>$", "<span>$</span></span>$", "<q>$<p>$</q>$</p>", "<span><b>$</span>$</b>$",
    "<small>$<span>$</small>$</span>$", "<p>$<span>$</p>$</span>$", "<p>$<ruby>#<rt>#</rt>#</ruby>$</p>",
    "<p>$<ruby>#<rt>#</ruby>$</p>", "<kbd><div>$</kbd>$</div>$", "<abbr>$<li>$</abbr>$",
    // Buttons.
    "<button><b><div>$</div>$</b></button>$", "<button>$<p>$</button>$", "<p>$<button>$</p>$</button>$",
    "<button>$<div>$</button>$</div>$", "<button><i>$<p>$</i>$</button>$",
    // Forms, also after white space that opens misnested formatting again around them.
    "<form><b><div>$</b>$</form>$</div>$", "<form>$<p>$</form>$</p>$", "<div><form>$</div>$</form>$",
    "<form><ul><li>$</form>$</ul>$", "<b><i></b>\n<form><li>$</form>$", "<table><i></table>\n<form><li>$</form>$",
    "<b>$<i>$</b> <form><li>$</form>$", "<b><i></b> <form><p>$</form>$</p>$", "<p><b>$</p>\n<h1>$<h2></h1>$</h2>$",
    // Stray and doubled end tags.
    "$</div>$", "$</span>$", "$</li>$", "$</ul>$", "$</ol>$", "$</h3>$", "$</b>$", "$</a>$", "$</td>$", "$</tr>$",
    "$</table>$", "$</button>$", "$</form>$", "$</p>$", "$</dd>$", "$</select>$", "$</pre>$", "$</center>$",
    "$</colgroup>$", "$</caption>$", "$</tbody>$", "$</object>$", "$</label>$", "$</noscript>$", "$</head>$",
    "$</dl>$", "$</blockquote>$", "$</h1>$", "$</article>$", "$</ruby>$", "$</sup>$", "$</body>$",
    "<div>$</div></div>$", "<p>$</p></p>$", "<h2>$</h2></h2>$", "<b>$</b></b>$", "<ul><li>$</ul></ul>$",
    // End tags with attributes.
    "<p>$</p foo=\">\">$", "<span>$</span class=x>$", "<div>$</div\n>$", "<b>$</b title='>'>$", "<h3>$</h3 x=1 y>$",
    // Nested lists and tables, and what a table cell holds.
    "<table><tr><td>#<table><tr><td>#</td></tr></table>#</td></tr></table>", "<table><tr><td><ul><li>#</table>$",
    "<table><tr><td><p>#<select><option>#</select>#</p>#</td></tr></table>$", "<table><li>#</colgroup>#</table>$",
    "<p><i>$<table></p></table>$</p>$", "<table><tr><td>#</td></tr></table></table>$",
    "<ul><li><table><tr><td>#</td></tr></table>$</ul>", "<table><tr><td><div>#</td><td>#</div></td></tr></table>$",
    "<table><tr><td><b>#</td></tr></table>$", "<ol><li><table><tr><td>#<ol><li>#</ol></td></tr></table>$</ol>",
    // White space directly in a table after what goes before it.
    "<table>#</colgroup> <i>#</i></table>$", "<table><i>#</i> <b>#</b></table>$", "<table>#<!-- c --> #</table>$",
    // Select, pre, br and hr.
    "<p>$<select><option>#<option>#</select>$</p>", "<select><option>#</option><b>#</b></select>$", "<pre>$<b>$</pre>$</b>",
    "<pre>\n$</pre>", "<p>$<br>$</br>$</p>", "<p>$<hr>$</p>", "<hr>$", "<b>$<hr>$</b>", "<p>$<select><option>#</p>#</select>$",
    "$ <b><br><table><tr><td>#</td></tr></table></b>$", "$ <span><br><br><div>$</div></span>$", "$ <dl></br></p>$</dl>$",
    // Templates, objects with fallback content, noscript elements.
    "<template>#</template>$", "<object data=film.swf>$</object>$", "<p>$<object data=film.swf><p>$</p></object>$</p>",
    "<noscript>$</noscript>", "<p>$<noscript>#</noscript>$</p>", "<object data=film.swf><b>$<div>$</object>$</b>",
};

constexpr std::string_view Beginnings[] = {
    "", "", "<!DOCTYPE html>", "<!DOCTYPE html>", "<!DOCTYPE html><html><body>",
    "<html><head><title>#</title><noscript><img src=x.gif></noscript></head><body>",
    "<!DOCTYPE html><html><head><title>#</title><noscript><img height=1 width=1 src=x.gif /></noscript></head><body>",
    "<head><noscript><div>#</div></noscript></head><body>", "<head><noscript><link rel=stylesheet href=a.css></noscript></head>",
    "<!DOCTYPE html><head><noscript><b>#</b></noscript></head><body>", "<head><noscript>#</noscript></head>",
    "<head><noscript><style>p{}</style></noscript><meta charset=utf-8></head>",
};

// A noscript element in the head holding an element the head may hold, then one it may not (which ends the
// noscript element and the head, where a browser that runs no scripts starts the body).
constexpr std::string_view HeldInHead[] = {
    "<link rel=stylesheet href=a.css>", "<meta name=viewport content=\"width=device-width\">", "<style>p { margin: 0 }</style>",
    "<basefont size=4>", "<bgsound src=a.wav>", "<noframes><p>#</p></noframes>", "<title>#</title>", "<script>var a = 1;</script>",
    "<base href=x/>", "<template>#</template>",
};
constexpr std::string_view NotHeldInHead[] = {
    "<img src=x.gif>", "<iframe src=f.html></iframe>", "<div>#</div>", "#", "<b>#</b>", "<br>", "<table><tr><td>#</td></tr></table>",
};

constexpr std::string_view Endings[] = {
    "", "", "</body></html>", "$</p>", "</div>$", "</li></ul>", "<ul><li>$", "<h2>$", "<table><tr><td>$", "<b><p>$",
};

}  // namespace

const MarkupGrammar& treeMarkupGrammar() {
    static const std::vector<std::string> headNoscripts = [] {
        std::vector<std::string> made;
        for (const std::string_view held : HeldInHead) {
            for (const std::string_view notHeld : NotHeldInHead)
                made.push_back("<html><head><title>#</title><noscript>" + std::string(held) + std::string(notHeld) + "</noscript></head><body>");
        }
        return made;
    }();
    static const std::vector<std::string_view> beginnings = [] {
        std::vector<std::string_view> all(std::begin(Beginnings), std::end(Beginnings));
        all.insert(all.end(), headNoscripts.begin(), headNoscripts.end());
        return all;
    }();
    static const MarkupGrammar grammar{Pieces, beginnings, Endings};
    return grammar;
}

}  // namespace ql::tools
