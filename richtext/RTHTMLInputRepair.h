#pragma once
// What the HTML reader (libxml2) is handed: the document with what it would read otherwise than a browser
// changed first, in one pass over the bytes, in time linear in their number.
// - A tag keeps its first 64 attributes; the rest are left out and counted in the library's log (RTLog.h).
//   The reader checks each attribute of a tag against all before it, so a tag of a million would take it
//   minutes, and tags of 2,000 each cost 25 times as much a byte as prose; at 64 they cost under twice as
//   much, and no element of real markup comes near that many.
// - A NUL byte in text is dropped; in a tag, a comment or the contents of a style or script element it
//   becomes U+FFFD. The reader would take it as the end of its input there.
// - Character references as HTML reads them (RTHTMLCharacterReferences.h), in text and attribute values.
// - Misnested formatting elements and stray "</p>" as a browser repairs them, and the elements the reader would
//   end otherwise than a browser (a paragraph at a block it does not know, a list at a list inside it, a
//   paragraph at a table in quirks mode, RTHTMLDoctype.h) ended, or kept open, as in a browser
//   (RTHTMLOpenElements.h).
// - What a table cannot hold (text and elements outside its cells) moved before the table (RTHTMLTableText.h);
//   parts of tables outside any table, a form's start tag in a table outside its cells, and head, body and
//   frameset start tags once the body has begun left out, as a browser ignores them.
// - Markup from "<!" that is neither a comment nor a doctype ("<![CDATA[...]]>", a word processor's
//   "<![if ...]>" and "<![endif]>"), and any from "<?" (a template's "<?= $name ?>"), is left out, as a browser
//   reads it as a comment up to the first ">"; but inside SVG and MathML (RTHTMLForeignContent.h) a CDATA
//   section is text, as in a browser.
// - "<!-->" and "<!--->" are empty comments, as in a browser; the reader would look for a "-->" after them.
// - "</" followed by anything but a letter is a comment up to the first ">" ("</>" nothing), as in a browser;
//   "</br>" becomes "<br>", a line break as in a browser. A "<" or "</" that ends the document is text.
// - The contents of elements a browser reads as no markup (RTHTMLRawText.h): those of xmp, textarea, title
//   and plaintext (the rest of the document) are handed over as text, references read only in textarea
//   and title; those of iframe, noembed and noframes, which a browser never shows, are left out; in scripts
//   and style sheets, which the reader also reads as no markup but ends at the first "</" and their name,
//   such an end tag before the browser's end becomes "<\/" (after "<!--" a script's text may hold whole
//   script elements). A noscript element's contents stay markup, as for a browser that runs no scripts.
//   As HTML elements only: inside SVG and MathML these are elements like any other, and a style sheet's or
//   script's contents there, which the reader still reads as no markup, end for it where a browser ends the
//   element (at an element that cannot go in SVG, such as b or p). The SVG and MathML elements a tag ends,
//   the reader is given the end tags of.
// - A title inside a paragraph is left out: the reader would end the paragraph at it.
// - The line feed right after a pre, listing or textarea start tag is left out, as in a browser.
// - What ends the document as a browser reads it: "</body>" and "</html>" with more after them are left out
//   (the reader dropped what followed); an "&" that ends the document is "&amp;", and text of a single byte
//   right after a doctype a character reference (the reader does not read either).
// - An end tag's attributes are read as a start tag's (quotes and all) and dropped; the reader would end the tag
//   at the first ">". A noscript element in the head ends, with the head, at anything it cannot hold (an image,
//   a div, text), as in a browser that runs no scripts; the reader would keep the rest of the document in it.
// - An end tag before any element or text is left out, as a browser ignores it; the reader would drop the whole
//   document. Once the head has begun, the body's start tag is written before the first element that does not
//   belong in the head, where a browser starts the body: the reader keeps some (ruby, label, button, textarea,
//   svg, math, elements of a page's own names) in the head, where they never show.
// Tags are found as the reader finds them: names of letters, digits and ":-_.", values quoted or not,
// comments from "<!--" to the next "-->" or "--!>", the contents of style and script elements up to their
// end tag.

#include <cstddef>
#include <string>

namespace ql {

// Nothing is copied when the document needs no change.
void repairHTMLInput(std::string& document);

constexpr std::size_t RTHTMLMaximumAttributes = 64;

}  // namespace ql
