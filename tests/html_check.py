#!/usr/bin/env python3
"""Checks a results page with a conforming HTML5 parser (html5lib): any
parse error fails it, as in html5lib's strict mode, and all are listed.

    html_check.py PAGE [--same-structure-as OTHER] [--text TEXT ...]

Fails (status 1) when the page does not parse without a single parse error,
is not UTF-8, holds control characters or noncharacters, has anything
active or external (script, event attributes, links to other files,
embedded objects), or a chart without its title and description.
--same-structure-as: the two pages must have the same elements in the same
order (a page made from hostile names against one made from plain names).
--text: each text must appear as text in the page.
Exits with status 77 when html5lib is not installed.
"""

import argparse
import re
import sys

SKIP = 77
FORBIDDEN = {"script", "iframe", "object", "embed", "img", "link", "base", "form", "input", "frame", "video",
             "audio", "source", "image", "use", "foreignObject", "a"}


def parse(path):
    import html5lib

    raw = open(path, "rb").read()
    problems = []
    try:
        text = raw.decode("utf-8")
    except UnicodeDecodeError as e:
        return None, [f"not UTF-8: {e}"]
    for m in re.finditer(r"[\x00-\x08\x0b-\x1f\x7f-\x9f\ufdd0-\ufdef\ufffe\uffff]", text):
        problems.append(f"raw control character or noncharacter U+{ord(m.group()):04X} at offset {m.start()}")
        break
    if text.startswith("\ufeff"):
        problems.append("byte-order mark")
    parser = html5lib.HTMLParser(tree=html5lib.getTreeBuilder("etree"), strict=False, namespaceHTMLElements=False)
    document = parser.parse(text)
    for position, code, data in parser.errors:
        problems.append(f"parse error at {position}: {code} {data}")
    return document, problems


def local(tag):
    return tag.rsplit("}", 1)[-1]


def elements(document):
    return [local(e.tag) for e in document.iter() if isinstance(e.tag, str)]


def check(document):
    problems = []
    names = elements(document)
    for name in sorted(set(names) & FORBIDDEN):
        problems.append(f"<{name}> element")
    ids = {}
    for e in document.iter():
        if not isinstance(e.tag, str):
            continue
        for attribute, value in e.attrib.items():
            attribute = local(attribute)
            if attribute.lower().startswith("on"):
                problems.append(f"event attribute {attribute} on <{local(e.tag)}>")
            if attribute.lower() in ("src", "href", "xlink:href", "action", "srcset", "poster", "data"):
                problems.append(f"reference {attribute}={value!r} on <{local(e.tag)}>")
            if attribute == "id":
                if value in ids:
                    problems.append(f"id {value!r} used twice")
                ids[value] = e
        if local(e.tag) == "style" and ("url(" in (e.text or "") or "@import" in (e.text or "")):
            problems.append("the style fetches something")
    head = document.find("head")
    charset = [m for m in head.iter() if local(m.tag) == "meta" and m.get("charset")]
    if not charset or charset[0].get("charset").lower() != "utf-8" or local(list(head)[0].tag) != "meta":
        problems.append('<meta charset="utf-8"> is not the first element of the head')
    if names.count("style") != 1:
        problems.append(f"{names.count('style')} <style> elements, expected one")
    if not (head.find("title") is not None and (head.find("title").text or "").strip()):
        problems.append("no page title")
    for svg in (e for e in document.iter() if isinstance(e.tag, str) and local(e.tag) == "svg"):
        children = [local(c.tag) for c in svg if isinstance(c.tag, str)]
        if children[:2] != ["title", "desc"]:
            problems.append("a chart without <title> and <desc> first")
        for ref in svg.get("aria-labelledby", "").split():
            if ref not in ids:
                problems.append(f"aria-labelledby names a missing id {ref!r}")
        if not svg.get("viewBox"):
            problems.append("a chart without viewBox")
    return problems


def all_text(document):
    return "".join(document.itertext())


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("page")
    parser.add_argument("--same-structure-as")
    parser.add_argument("--text", action="append", default=[])
    args = parser.parse_args()
    try:
        import html5lib  # noqa: F401
    except ImportError:
        print("SKIP: html5lib is not installed (Debian package python3-html5lib); the HTML check did not run")
        return SKIP

    document, problems = parse(args.page)
    if document is not None:
        problems += check(document)
        text = all_text(document)
        for wanted in args.text:
            if wanted not in text:
                problems.append(f"the text {wanted!r} is not in the page as text")
        if args.same_structure_as:
            other, other_problems = parse(args.same_structure_as)
            problems += ["other page: " + p for p in other_problems]
            if other is not None and elements(other) != elements(document):
                a, b = elements(document), elements(other)
                at = next((i for i, (x, y) in enumerate(zip(a, b)) if x != y), min(len(a), len(b)))
                problems.append(f"the elements differ from the other page's at element {at}: "
                                f"{a[at:at + 3]} against {b[at:at + 3]}")
    for p in problems:
        print("FAILED: " + p)
    if not problems:
        print(f"{args.page}: conforming, nothing active or external")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
