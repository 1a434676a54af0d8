#!/usr/bin/env python3
"""Checks a league site as gridtally --season FILE --site FOLDER writes it.

    site_check.py FOLDER SCHEMA_FOLDER

Fails (status 1), listing every problem, when a page does not parse as
HTML5 without a single parse error, holds a script or an event attribute,
links to a local file that is not there or fetches anything from elsewhere
(only the canonical address may name the site's public place);
when the points of a driver's rounds in the round files do not add up to
the total in season.json, or season.json's rounds do not carry the round
files' official results; or when a round-N.json does not validate against
round.schema.json (the official result) and report.schema.json (the rest).
Exits with status 77 when html5lib or jsonschema is not installed.
"""

import json
import pathlib
import re
import sys
import urllib.parse

SKIP = 77


def page_problems(path, folder):
    import html5lib

    parser = html5lib.HTMLParser(tree=html5lib.getTreeBuilder("etree"), strict=False, namespaceHTMLElements=False)
    document = parser.parse(path.read_text(encoding="utf-8"))
    name = path.relative_to(folder)
    for position, code, data in parser.errors:
        yield f"{name}: parse error at {position}: {code} {data}"
    for e in document.iter():
        if not isinstance(e.tag, str):
            continue
        tag = e.tag.rsplit("}", 1)[-1]
        if tag in ("script", "iframe", "object", "embed"):
            yield f"{name}: <{tag}> element"
        for attribute, value in e.attrib.items():
            if attribute.lower().startswith("on"):
                yield f"{name}: event attribute {attribute}"
            if attribute in ("href", "src") and e.get("rel") != "canonical":
                url = urllib.parse.urlsplit(value)
                if url.scheme or url.netloc:
                    yield f"{name}: {attribute}={value!r} leaves the site"
                elif url.path and not (path.parent / url.path).resolve().is_file():
                    yield f"{name}: {attribute}={value!r} is not there"


def points_problems(folder):
    season = json.loads((folder / "season.json").read_text(encoding="utf-8-sig"))
    official = {}  # (round, driver): official entry
    for path in sorted(folder.glob("round-*.json")):
        number = int(path.stem.split("-")[1])
        cars = json.loads(path.read_text(encoding="utf-8"))["official"]
        for car in cars:
            official[(number, car["driver"])] = car
        if next((r.get("official") for r in season["rounds"] if r["round"] == number), None) != cars:
            yield f"season.json: round {number} does not carry the official result of {path.name}"
    for standing in season["standings"]:
        driver, summed = standing["driver"], 0
        for result in standing["results"]:
            car = official.get((result["round"], driver))
            if car is None:
                continue
            # A dropped round's race points do not count; its points penalties and bonuses do.
            adjustment = sum(int(m) for m in re.findall(r"([+-]\d+) points?", car["penalty"]))
            summed += adjustment if result["dropped"] else car["points"]
        if summed != standing["points"]:
            yield f"{driver}: the round files give {summed}, season.json {standing['points']}"


def schema_problems(folder, schemas):
    import jsonschema

    report = json.loads((schemas / "report.schema.json").read_text(encoding="utf-8"))
    round_schema = json.loads((schemas / "round.schema.json").read_text(encoding="utf-8"))
    for path in sorted(folder.glob("round-*.json")):
        document = json.loads(path.read_text(encoding="utf-8"))
        for error in jsonschema.Draft202012Validator(round_schema).iter_errors(document):
            yield f"{path.name}: {error.json_path}: {error.message}"
        document.pop("official", None)
        for error in jsonschema.Draft202012Validator(report).iter_errors(document):
            yield f"{path.name}: {error.json_path}: {error.message}"


def main():
    try:
        import html5lib  # noqa: F401
        import jsonschema  # noqa: F401
    except ImportError as e:
        print(f"skipped: {e}")
        return SKIP
    folder, schemas = pathlib.Path(sys.argv[1]), pathlib.Path(sys.argv[2])
    problems = []
    for path in sorted(folder.rglob("*.html")):
        problems += page_problems(path, folder)
    problems += points_problems(folder)
    problems += schema_problems(folder, schemas)
    for problem in problems:
        print(problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
