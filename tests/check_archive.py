#!/usr/bin/env python3
"""Checks gridtally --archive rows against each replay's own JSON report.

  check_archive.py GRIDTALLY SCHEMA STREAM [CSVDIR]
      STREAM: the JSON Lines of one archive run on standard output, run in
      STREAM's folder (relative paths are relative to it). Every
      row must be valid against SCHEMA. Each replays row is followed by its
      replay's rows; for each replay, `GRIDTALLY --format=json [--laps]
      PATH` is run and its tables must give the same rows, value for value
      (a broken replay: the run fails with "Error: " and the row's error,
      and the replay has no other rows). CSVDIR: the same run with
      --format=csv -o CSVDIR, whose tables must hold the same rows.

Exit status 0 when all is well, 1 on a failed check, 77 when the jsonschema
module is missing (the caller skips).
"""
import csv
import io
import json
import os
import re
import subprocess
import sys

RESULT_TABLES = ("results", "classification", "fastestLaps")


def snake(key):
    return re.sub(r"[A-Z]", lambda m: "_" + m.group(0).lower(), key)


def csv_value(value):
    if value is None:
        return ""
    if isinstance(value, bool):
        return "true" if value else "false"
    if isinstance(value, list):
        return "\n".join(value)
    return str(value)


def replays_of(stream):
    """[(replays row, [result rows], [lap rows])] in stream order."""
    replays = []
    for line in stream:
        row = json.loads(line)
        table = row.pop("table")
        if table == "replays":
            replays.append((row, [], []))
        else:
            replays[-1][1 if table == "results" else 2].append(row)
    return replays


def expected_rows(doc, key, columns):
    results, laps = [], []
    for s in doc["sessions"]:
        start = {"replay": key, "session": s["index"], "sessionType": s["type"]}
        for table in RESULT_TABLES:
            for r in s.get(table, []):
                results.append(dict(dict.fromkeys(columns, None), **start, resultTable=table, **r))
        for car in s.get("laps", []):
            for c in car["crossings"]:
                laps.append(dict(start, number=car["number"], driver=car["driver"], **c))
    return results, laps


def check_replay(gridtally, cwd, replay, results, laps, with_laps, columns):
    args = [gridtally, "--format=json"] + (["--laps"] if with_laps else []) + [replay["path"]]
    run = subprocess.run(args, capture_output=True, cwd=cwd)
    if replay["error"] is not None:
        last = run.stderr.decode("utf-8").splitlines()[-1]
        if run.returncode == 0 or last != "Error: " + replay["error"]:
            raise ValueError("single run says %r (status %d), archive %r" % (last, run.returncode, replay["error"]))
        if results or laps or replay["key"] is not None:
            raise ValueError("a broken replay with a key or rows")
        return
    if run.returncode != 0:
        raise ValueError("single run failed: %s" % run.stderr.decode())
    doc = json.loads(run.stdout)
    facts = {"track": doc["event"]["track"], "carset": doc["event"]["carset"], "saver": doc["replay"]["saver"],
             "sessions": len(doc["sessions"]), "cars": len(doc["entries"])}
    for name, value in facts.items():
        if replay[name] != value:
            raise ValueError("%s: archive %r, report %r" % (name, replay[name], value))
    warnings = [line[len("Warning: "):] for line in run.stderr.decode("utf-8").splitlines()]
    if replay["warnings"] != warnings:
        raise ValueError("warnings: archive %r, report %r" % (replay["warnings"], warnings))
    want_results, want_laps = expected_rows(doc, replay["key"], columns)
    for what, want, got in (("results", want_results, results), ("laps", want_laps, laps)):
        if want != got:
            diff = next((i for i, (a, b) in enumerate(zip(want, got)) if a != b), min(len(want), len(got)))
            raise ValueError("%s row %d: report %r, archive %r" % (
                what, diff, want[diff] if diff < len(want) else None, got[diff] if diff < len(got) else None))


def check_csv(directory, replays):
    tables = {"replays": [r for r, _, _ in replays], "results": [x for _, rs, _ in replays for x in rs],
              "laps": [x for _, _, ls in replays for x in ls]}
    for table, rows in tables.items():
        if table == "laps" and not rows:
            continue
        with open("%s/%s.csv" % (directory, table), encoding="utf-8", newline="") as f:
            got = list(csv.reader(f, strict=True))
        header = [snake(k) for k in rows[0]] if rows else got[0]
        want = [header] + [[csv_value(v) for v in row.values()] for row in rows]
        if got != want:
            raise ValueError("%s.csv differs from the JSON Lines rows" % table)


def main(gridtally, schema_path, stream_path, csv_dir=None):
    try:
        import jsonschema
    except ImportError:
        print("python3-jsonschema is not installed: archive checks skipped")
        return 77
    schema = json.load(open(schema_path, encoding="utf-8"))
    validator = jsonschema.Draft202012Validator(schema)
    columns = list(schema["$defs"]["result"]["properties"])[1:]
    lines = open(stream_path, encoding="utf-8").read().splitlines()
    failures = 0
    for n, line in enumerate(lines):
        for e in validator.iter_errors(json.loads(line)):
            print("line %d: %s" % (n + 1, e.message))
            failures += 1
    replays = replays_of(lines)
    with_laps = any(laps for _, _, laps in replays)
    for replay, results, laps in replays:
        try:
            check_replay(gridtally, os.path.dirname(os.path.abspath(stream_path)), replay, results, laps, with_laps, columns)
        except ValueError as e:
            print("%s: %s" % (replay["path"], e))
            failures += 1
    if csv_dir:
        try:
            check_csv(csv_dir, replays)
        except (ValueError, csv.Error) as e:
            print("CSV: %s" % e)
            failures += 1
    print("%d replays checked, %d failures" % (len(replays), failures))
    return 1 if failures or not replays else 0


if __name__ == "__main__":
    if len(sys.argv) not in (4, 5):
        print(__doc__)
        sys.exit(2)
    sys.exit(main(*sys.argv[1:]))
