#!/usr/bin/env python3
"""Writes HTML's table of named character references, as Python's html.entities.html5 holds it, into the
rich text import (richtext/RTHTMLNamedReferenceTable.h) and, unchanged, into the fixture its test compares
the import with (tests/richtext/documents/named-character-references.json).

    tools/character-references/generate.py        run from anywhere; rewrites both files

Run it again when Python's table changes; the test fails until both files agree with each other."""

import html.entities
import json
import pathlib
import textwrap

TOP = pathlib.Path(__file__).resolve().parents[2]
HEADER = TOP / "richtext" / "RTHTMLNamedReferenceTable.h"
FIXTURE = TOP / "tests" / "richtext" / "documents" / "named-character-references.json"


def table():
    """(name, legacy, code points) for every name, sorted by its bytes: a name the table holds without its
    ";" is legacy, read without one too."""
    names = {}
    for key, characters in html.entities.html5.items():
        name = key.rstrip(";")
        if name in names and names[name][1] != characters:
            raise SystemExit(f"{name} reads as two texts, with and without its ';'")
        legacy = not key.endswith(";") or (name in names and names[name][0])
        names[name] = (legacy, characters)
    rows = []
    for name in sorted(names, key=lambda n: n.encode("ascii")):
        legacy, characters = names[name]
        if name + ";" not in html.entities.html5:
            raise SystemExit(f"{name} has no form with ';'")
        codes = [ord(c) for c in characters]
        if not 1 <= len(codes) <= 2 or (len(codes) == 2 and codes[1] > 0xFFFF) or not name.isascii() or not name.isalnum():
            raise SystemExit(f"{name} does not fit the table's rows")
        rows.append((name, legacy, codes))
    return rows


def header(rows):
    names = "".join(name for name, _, _ in rows)
    if len(names) > 0xFFFF or max(len(name) for name, _, _ in rows) > 0xFF:
        raise SystemExit("the names outgrow the offsets of the table's rows")
    lines = []
    at = 0
    for name, legacy, codes in rows:
        second = f"0x{codes[1]:04X}" if len(codes) == 2 else "0"
        lines.append(f"    {{{at}, {len(name)}, {'true' if legacy else 'false'}, 0x{codes[0]:04X}, {second}}},  // {name}")
        at += len(name)
    literal = "\n".join(f'    "{chunk}"' for chunk in textwrap.wrap(names, 100))
    return f"""#pragma once
// Written by tools/character-references/generate.py from Python's html.entities.html5: run it, do not edit.
// HTML's named character references: each name (without its ";") with the one or two characters it stands for,
// sorted by the name's bytes; legacy names are read without a ";" too.

#include <cstdint>
#include <string_view>

namespace ql {{

struct RTHTMLNamedReference {{
    std::uint16_t nameAt;      // in RTHTMLNamedReferenceNames
    std::uint8_t nameLength;
    bool legacy;
    char32_t character;
    char16_t secondCharacter;  // 0 when the name stands for one character
}};

inline constexpr std::string_view RTHTMLNamedReferenceNames =
{literal};

inline constexpr RTHTMLNamedReference RTHTMLNamedReferences[] = {{
{chr(10).join(lines)}
}};

}}  // namespace ql
"""


def main():
    HEADER.write_text(header(table()), encoding="ascii")
    FIXTURE.write_text(json.dumps(html.entities.html5, ensure_ascii=True, sort_keys=True, indent=0) + "\n", encoding="ascii")


if __name__ == "__main__":
    main()
