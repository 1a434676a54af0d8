#!/usr/bin/env python3
"""Fails when a source file includes a header of a layer it may not use.

Which layer may use which is read from src/CMakeLists.txt: a layer may
include its own headers and those of every layer it links, directly or
through the layers it links.
Usage: check_layers.py [source root]  (default: the src/ beside tests/)
"""
import pathlib
import re
import sys


def layer_links(cmake_text):
    links = {}
    for name, deps in re.findall(r"gridtally_layer\((\w+)([^)]*)\)", cmake_text):
        links[name] = re.findall(r"gridtally_(\w+)", deps)
    for name in re.findall(r"add_library\(gridtally_(\w+)", cmake_text):
        links.setdefault(name, [])
    return links


def reachable(links, layer):
    seen, todo = set(), [layer]
    while todo:
        for dep in links.get(todo.pop(), []):
            if dep not in seen:
                seen.add(dep)
                todo.append(dep)
    return seen


def offences(src):
    links = layer_links((src / "CMakeLists.txt").read_text())
    include = re.compile(r'\s*#\s*include\s*"([^"/]+)/[^"]*"')
    for path in sorted(src.glob("*/*")):
        layer = path.parent.name
        if path.suffix not in (".h", ".cpp"):
            continue
        if layer not in links:
            yield f"{path.relative_to(src.parent)}: {layer}/ is no layer of src/CMakeLists.txt"
            continue
        allowed = reachable(links, layer) | {layer}
        for number, line in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
            match = include.match(line)
            if match and match.group(1) not in allowed:
                used = match.group(1)
                why = "is above it or beside it" if used in links else "is no layer"
                yield f"{path.relative_to(src.parent)}:{number}: {line.strip()}: {used}/ {why}; {layer}/ may use {', '.join(sorted(allowed))}"


def main():
    src = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).resolve().parent.parent / "src")
    found = list(offences(src))
    for offence in found:
        print(offence)
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
