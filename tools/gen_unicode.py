#!/usr/bin/env python3
"""Generates src/text/unicode_tables.cpp from the Unicode Character Database.

Usage: python3 tools/gen_unicode.py [UCD_DIR] [OUTPUT]
  UCD_DIR defaults to /usr/share/unicode (Debian package unicode-data),
  OUTPUT defaults to src/text/unicode_tables.cpp next to this script's parent.

Reads UnicodeData.txt (simple lower-case mapping), PropList.txt
(White_Space), auxiliary/GraphemeBreakProperty.txt, emoji/emoji-data.txt
(Extended_Pictographic) and, when the data has it, the InCB property of
DerivedCoreProperties.txt. Only the Python standard library is used.
"""

import os
import re
import sys

MAX_CP = 0x10FFFF

# Must match unicode::detail::GraphemeBreak in src/unicode.h.
GCB_VALUES = [
    "Other", "CR", "LF", "Control", "Extend", "ZWJ", "Regional_Indicator",
    "Prepend", "SpacingMark", "L", "V", "T", "LV", "LVT",
]
EXT_PICT_BIT = 0x10
INCB_SHIFT = 5
INCB_VALUES = {"Consonant": 1, "Extend": 2, "Linker": 3}

# Precomposed Hangul syllables alternate LV, then 27 LVT; unicode.cpp
# computes their class, which keeps ~800 ranges out of the table.
HANGUL_FIRST = 0xAC00
HANGUL_LAST = 0xD7A3


def die(msg):
    sys.stderr.write("gen_unicode: %s\n" % msg)
    sys.exit(1)


def read_lines(path):
    try:
        with open(path, encoding="utf-8") as f:
            return f.read().splitlines()
    except OSError as e:
        die("cannot read %s: %s" % (path, e))


def parse_range(text):
    text = text.strip()
    if ".." in text:
        a, b = text.split("..")
        return int(a, 16), int(b, 16)
    v = int(text, 16)
    return v, v


def property_ranges(path, wanted=None):
    """Yields (first, last, fields) of a UCD property file; fields are the
    ';'-separated values after the code point column, comment removed."""
    for line in read_lines(path):
        data = line.split("#", 1)[0].strip()
        if not data:
            continue
        cols = [c.strip() for c in data.split(";")]
        first, last = parse_range(cols[0])
        if wanted is not None and cols[1] != wanted:
            continue
        yield first, last, cols[1:]


def file_version(path):
    """The version from the first header line, e.g. 'GraphemeBreakProperty-15.0.0.txt'."""
    head = read_lines(path)[0]
    m = re.search(r"-(\d+\.\d+\.\d+)\.txt", head)
    if not m:
        die("no version in the header of %s" % path)
    return m.group(1)


def grapheme_classes(ucd):
    cls = bytearray(MAX_CP + 1)  # 0 = Other
    gcb_path = os.path.join(ucd, "auxiliary", "GraphemeBreakProperty.txt")
    for first, last, fields in property_ranges(gcb_path):
        name = fields[0]
        if name not in GCB_VALUES:
            die("unknown Grapheme_Cluster_Break value %r" % name)
        value = GCB_VALUES.index(name)
        for cp in range(first, last + 1):
            if cls[cp]:
                die("U+%04X has two Grapheme_Cluster_Break values" % cp)
            cls[cp] = value

    emoji_path = os.path.join(ucd, "emoji", "emoji-data.txt")
    seen = False
    for first, last, _ in property_ranges(emoji_path, "Extended_Pictographic"):
        seen = True
        for cp in range(first, last + 1):
            cls[cp] |= EXT_PICT_BIT
    if not seen:
        die("no Extended_Pictographic in %s" % emoji_path)

    # InCB appeared with Unicode 15.1 (rule GB9c); older data has none.
    has_incb = False
    dcp_path = os.path.join(ucd, "DerivedCoreProperties.txt")
    for first, last, fields in property_ranges(dcp_path, "InCB"):
        has_incb = True
        value = INCB_VALUES.get(fields[1]) if len(fields) > 1 else None
        if value is None:
            die("unknown InCB value in %s" % dcp_path)
        for cp in range(first, last + 1):
            cls[cp] |= value << INCB_SHIFT
    return cls, has_incb


def drop_hangul_syllables(cls):
    lv = GCB_VALUES.index("LV")
    lvt = GCB_VALUES.index("LVT")
    for cp in range(HANGUL_FIRST, HANGUL_LAST + 1):
        expected = lv if (cp - HANGUL_FIRST) % 28 == 0 else lvt
        if cls[cp] != expected:
            die("U+%04X breaks the Hangul syllable pattern" % cp)
        cls[cp] = 0


def class_ranges(cls):
    """Runs of equal non-zero class as (first, last, class)."""
    out = []
    cp = 0
    while cp <= MAX_CP:
        value = cls[cp]
        start = cp
        while cp + 1 <= MAX_CP and cls[cp + 1] == value:
            cp += 1
        if value:
            out.append((start, cp, value))
        cp += 1
    return out


def white_space_ranges(ucd):
    marks = bytearray(MAX_CP + 1)
    for first, last, _ in property_ranges(os.path.join(ucd, "PropList.txt"), "White_Space"):
        for cp in range(first, last + 1):
            marks[cp] = 1
    return [(a, b) for a, b, _ in class_ranges(marks)]


def lower_mappings(ucd):
    pairs = []
    for line in read_lines(os.path.join(ucd, "UnicodeData.txt")):
        fields = line.split(";")
        if len(fields) != 15:
            die("malformed UnicodeData.txt line: %r" % line)
        if fields[13]:
            pairs.append((int(fields[0], 16), int(fields[13], 16)))
    pairs.sort()
    return pairs


def lower_runs(pairs):
    """Packs (cp, lower) pairs into runs (first, last, delta, stride): every
    stride-th code point from first to last maps to itself plus delta."""
    runs = []
    for cp, lower in pairs:
        delta = lower - cp
        if runs:
            first, last, rdelta, stride = runs[-1]
            if rdelta == delta:
                if first == last and cp - last in (1, 2):
                    runs[-1] = (first, cp, delta, cp - last)
                    continue
                if first != last and cp - last == stride:
                    runs[-1] = (first, cp, delta, stride)
                    continue
        runs.append((cp, cp, delta, 1))
    return runs


def emit(ucd, output):
    version = file_version(os.path.join(ucd, "auxiliary", "GraphemeBreakProperty.txt"))
    cls, has_incb = grapheme_classes(ucd)
    drop_hangul_syllables(cls)
    grapheme = class_ranges(cls)
    white = white_space_ranges(ucd)
    lower = lower_runs(lower_mappings(ucd))

    out = []
    w = out.append
    w("// Generated by tools/gen_unicode.py from the Unicode Character Database %s;" % version)
    w("// do not edit. Regenerate with:")
    w("//   python3 tools/gen_unicode.py /usr/share/unicode src/text/unicode_tables.cpp")
    w("")
    w('#include "text/unicode.h"')
    w("")
    w("namespace unicode::detail {")
    w("")
    w("namespace {")
    w("")
    w("// Code points without an entry are Other and not Extended_Pictographic,")
    w("// except the Hangul syllables U+%04X..U+%04X (LV/LVT, computed)." % (HANGUL_FIRST, HANGUL_LAST))
    w("constexpr CharClassRange kCharClasses[] = {")
    for first, last, value in grapheme:
        w("    {0x%04X, 0x%04X, 0x%02X}," % (first, last, value))
    w("};")
    w("")
    w("constexpr CodeRange kWhiteSpace[] = {")
    for first, last in white:
        w("    {0x%04X, 0x%04X}," % (first, last))
    w("};")
    w("")
    w("constexpr LowerRun kLower[] = {")
    for first, last, delta, stride in lower:
        w("    {0x%04X, 0x%04X, %d, %d}," % (first, last, delta, stride))
    w("};")
    w("")
    w("} // namespace")
    w("")
    w('std::string_view dataVersion() { return "%s"; }' % version)
    w("bool dataHasInCB() { return %s; }" % ("true" if has_incb else "false"))
    w("std::span<const CharClassRange> charClassTable() { return kCharClasses; }")
    w("std::span<const CodeRange> whiteSpaceTable() { return kWhiteSpace; }")
    w("std::span<const LowerRun> lowerTable() { return kLower; }")
    w("")
    w("} // namespace unicode::detail")
    text = "\n".join(out) + "\n"

    tmp = output + ".tmp"
    with open(tmp, "w", encoding="utf-8", newline="\n") as f:
        f.write(text)
    os.replace(tmp, output)
    sys.stderr.write(
        "gen_unicode: %s: Unicode %s, %d class ranges, %d white-space ranges, "
        "%d lower-case runs, InCB %s\n"
        % (output, version, len(grapheme), len(white), len(lower),
           "yes" if has_incb else "no"))


def main(argv):
    if len(argv) > 3:
        die("usage: gen_unicode.py [UCD_DIR] [OUTPUT]")
    ucd = argv[1] if len(argv) > 1 else "/usr/share/unicode"
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    output = argv[2] if len(argv) > 2 else os.path.join(root, "src", "text", "unicode_tables.cpp")
    emit(ucd, output)


if __name__ == "__main__":
    main(sys.argv)
