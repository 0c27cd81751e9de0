#pragma once
// A grammar of documents (OddMarkup.h) aimed at how the tree is built: misnested formatting and blocks, blocks
// inside headings, lists, elements in line and buttons, stray and doubled end tags of every kind, end tags with
// attributes, nested lists and tables, white space in tables, select, pre, br and hr, forms (after white space
// between misnested formatting too), ruby, templates, objects with fallback content and noscript elements, with
// and without a doctype; and noscript elements in the head holding each element the head may hold, then each it
// may not.

#include "tools/richtext-differential/OddMarkup.h"

namespace ql::tools {

const MarkupGrammar& treeMarkupGrammar();

}  // namespace ql::tools
