#!/usr/bin/env python3
"""Checks gridtally's JSON and CSV reports with real parsers.

  check_json_csv.py SCHEMA DIR
      Every DIR/*.json: strict UTF-8 without a byte-order mark, parsed by the
      json module, valid against SCHEMA (JSON Schema draft 2020-12). Every
      DIR/*.csv: a byte-order mark, strict UTF-8, read by the csv module, one
      of the report's two headers or a standings header, every row as long
      as the header. Where NAME.json and NAME.csv both exist (the same run
      in both formats), the CSV rows must be the JSON rows, value for value;
      NAME_teams.csv (season standings with --teams) pairs with NAME.json
      too. A driver or team name that a spreadsheet would take for a formula
      must be the JSON's name after one "'".
  check_json_csv.py --drivers FILE.json FILE.csv
      Prints the driver names of the JSON entry list, then those of the CSV's
      driver column, one per line as hex of their UTF-8 bytes.

Exit status 0 when all is well, 1 on a failed check, 77 when the jsonschema
module is missing (the caller skips).
"""
import csv
import io
import json
import os
import re
import sys

BOM = b"\xef\xbb\xbf"
RESULT_HEADER = ("session,session_type,table,position,number,driver,team,laps,time,time_ms,gap,gap_ms,"
                 "laps_behind,status,lap_time,lap_time_ms,diff,diff_ms,best_lap_ms,lap,clock,clock_ms,"
                 "valid_laps,total_laps,remark").split(",")
# The season standings: these columns, then per round r<N>_position,
# r<N>_points, r<N>_status, r<N>_dropped (drivers) or r<N>_points (teams).
STANDINGS_HEADERS = (["position", "driver", "points"], ["position", "team", "points"])
LAP_HEADER = ("session,number,driver,lap,lap_time,lap_time_ms,clock,clock_ms,position,off_track,invalid,"
              "remark").split(",")


def snake(key):
    return re.sub(r"[A-Z]", lambda m: "_" + m.group(0).lower(), key)


def csv_value(value):
    if value is None:
        return ""
    if isinstance(value, bool):
        return "true" if value else "false"
    return str(value)


# The CSV columns that carry names from outside, and the guard they get.
NAME_COLUMNS = ("driver", "team")


def guarded(value):
    return "'" + value if value[:1] in ("=", "+", "-", "@", "\t", "\r") else value


def no_constants(name):
    raise ValueError("not JSON: " + name)


def load_json(path):
    data = open(path, "rb").read()
    if data.startswith(BOM):
        raise ValueError("byte-order mark")
    return json.loads(data.decode("utf-8"), parse_constant=no_constants)


def read_csv(path):
    data = open(path, "rb").read()
    if not data.startswith(BOM):
        raise ValueError("no byte-order mark")
    text = data[len(BOM):].decode("utf-8")
    rows = list(csv.reader(io.StringIO(text, newline=""), strict=True))
    if not rows or (rows[0] not in (RESULT_HEADER, LAP_HEADER) and rows[0][:3] not in STANDINGS_HEADERS):
        raise ValueError("unknown header %r" % (rows[0] if rows else None))
    for n, row in enumerate(rows):
        if len(row) != len(rows[0]):
            raise ValueError("row %d has %d fields, the header %d" % (n + 1, len(row), len(rows[0])))
    return rows


def rows_of_json(doc, laps):
    """The CSV rows that the JSON document's tables make."""
    rows = []
    for s in doc["sessions"]:
        if laps:
            for car in s.get("laps", []):
                for c in car["crossings"]:
                    rows.append({"session": s["index"], "number": car["number"], "driver": car["driver"],
                                 **{snake(k): v for k, v in c.items()}})
            continue
        for table in ("results", "classification", "fastestLaps"):
            for r in s.get(table, []):
                rows.append({"session": s["index"], "session_type": s["type"], "table": table,
                             **{snake(k): v for k, v in r.items()}})
    return rows


def rows_of_standings(doc, table):
    """The CSV rows of the standings' drivers' or teams' table."""
    rows = []
    for s in doc[table]:
        row = {k: v for k, v in s.items() if k != "results"}
        for r in s["results"]:
            row.update({"r%d_%s" % (r["round"], k): v for k, v in r.items() if k not in ("round", "fastestLap")})
        rows.append(row)
    return rows


def compare(json_path, csv_path, rows):
    doc = load_json(json_path)
    header = rows[0]
    if header[:3] in STANDINGS_HEADERS:
        expected = rows_of_standings(doc, "teams" if header[1] == "team" else "standings")
    else:
        expected = rows_of_json(doc, header == LAP_HEADER)
    if len(expected) != len(rows) - 1:
        raise ValueError("%d CSV rows, %d JSON rows" % (len(rows) - 1, len(expected)))
    for n, (want, got) in enumerate(zip(expected, rows[1:])):
        for column, value in zip(header, got):
            expected_value = csv_value(want.get(column))
            if column in NAME_COLUMNS:
                expected_value = guarded(expected_value)
            if expected_value != value:
                raise ValueError("row %d, %s: CSV %r, JSON %r" % (n + 1, column, value, want.get(column)))


def check_dir(schema_path, directory):
    try:
        import jsonschema
    except ImportError:
        print("python3-jsonschema is not installed: JSON Schema checks skipped")
        return 77
    schema = json.load(open(schema_path, encoding="utf-8"))
    jsonschema.Draft202012Validator.check_schema(schema)
    validator = jsonschema.Draft202012Validator(schema)
    failures = 0
    names = sorted(os.listdir(directory))
    for name in names:
        path = os.path.join(directory, name)
        try:
            if name.endswith(".json"):
                errors = sorted(validator.iter_errors(load_json(path)), key=lambda e: list(e.path))
                if errors:
                    e = errors[0]
                    raise ValueError("%s at %s" % (e.message, "/".join(map(str, e.path))))
            elif name.endswith(".csv"):
                rows = read_csv(path)
                twin = re.sub(r"(_teams)?\.csv$", ".json", path)
                if os.path.exists(twin):
                    compare(twin, path, rows)
        except (ValueError, UnicodeDecodeError, csv.Error) as e:
            print("%s: %s" % (name, e))
            failures += 1
    checked = sum(1 for n in names if n.endswith((".json", ".csv")))
    print("%d files checked, %d failed" % (checked, failures))
    return 1 if failures or checked == 0 else 0


def print_drivers(json_path, csv_path):
    doc = load_json(json_path)
    for entry in doc["entries"]:
        for driver in entry["drivers"]:
            print(driver["name"].encode("utf-8").hex())
    rows = read_csv(csv_path)
    column = rows[0].index("driver")
    for row in rows[1:]:
        print(row[column].encode("utf-8").hex())
    return 0


if __name__ == "__main__":
    if len(sys.argv) == 4 and sys.argv[1] == "--drivers":
        sys.exit(print_drivers(sys.argv[2], sys.argv[3]))
    if len(sys.argv) == 3:
        sys.exit(check_dir(sys.argv[1], sys.argv[2]))
    print(__doc__)
    sys.exit(2)
