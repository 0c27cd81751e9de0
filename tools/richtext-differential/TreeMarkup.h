#pragma once
// A grammar of documents (OddMarkup.h) aimed at how the tree is built: misnested formatting and blocks, blocks
// inside headings, lists, elements in line and buttons, stray and doubled end tags of every kind, end tags with
// attributes, nested lists and tables, select, pre, br and hr, forms, ruby, templates, objects with fallback
// content and noscript elements (in the head too), with and without a doctype.

#include "tools/richtext-differential/OddMarkup.h"

namespace ql::tools {

const MarkupGrammar& treeMarkupGrammar();

}  // namespace ql::tools
