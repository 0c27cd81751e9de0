#include "tools/richtext-differential/TreeMarkup.h"

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
    // Forms.
    "<form><b><div>$</b>$</form>$</div>$", "<form>$<p>$</form>$</p>$", "<div><form>$</div>$</form>$",
    "<form><ul><li>$</form>$</ul>$",
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
    // Select, pre, br and hr.
    "<p>$<select><option>#<option>#</select>$</p>", "<select><option>#</option><b>#</b></select>$", "<pre>$<b>$</pre>$</b>",
    "<pre>\n$</pre>", "<p>$<br>$</br>$</p>", "<p>$<hr>$</p>", "<hr>$", "<b>$<hr>$</b>", "<p>$<select><option>#</p>#</select>$",
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

constexpr std::string_view Endings[] = {
    "", "", "</body></html>", "$</p>", "</div>$", "</li></ul>", "<ul><li>$", "<h2>$", "<table><tr><td>$", "<b><p>$",
};

}  // namespace

const MarkupGrammar& treeMarkupGrammar() {
    static const MarkupGrammar grammar{Pieces, Beginnings, Endings};
    return grammar;
}

}  // namespace ql::tools
