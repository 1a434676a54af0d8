#!/usr/bin/env python3
"""The league's questions answered by real engines on a generated archive.

duckdb: examples/archive/*.sql through npm's @duckdb/node-api against the
        same answers computed here from the rows.
dask:   examples/archive/dask_archive.py on a LocalCluster of 2 workers
        through the Python module, against DuckDB's driver table (or the
        one computed here when DuckDB is not installed).

Usage: archive_engines_test.py duckdb|dask <gridtally> <mkbench> <module dir> <test-tools dir> <source dir>
Exits 77 (skipped) when the engine is not installed.
"""
import collections
import json
import os
import pathlib
import shutil
import subprocess
import sys
import tempfile

SKIP = 77


def rows_of(folder, table):
    with open(folder / f"{table}.jsonl", encoding="utf-8") as f:
        return [json.loads(line) for line in f]


def expected_answers(archive, driver):
    """The answers from the rows, the plain way."""
    results = rows_of(archive, "results")
    track = {r["key"]: r["track"] for r in rows_of(archive, "replays") if r["key"]}
    drivers = collections.defaultdict(lambda: {"starts": 0, "wins": 0, "podiums": 0, "fastest_laps": 0})
    for r in results:
        if r["resultTable"] == "classification":
            d = drivers[r["driver"]]
            d["starts"] += 1
            d["wins"] += r["position"] == 1
            d["podiums"] += r["position"] is not None and r["position"] <= 3
    for r in results:
        if r["resultTable"] == "fastestLaps" and r["position"] == 1:
            drivers[r["driver"]]["fastest_laps"] += 1
    table = [{"driver": name, **d} for name, d in drivers.items()]
    table.sort(key=lambda r: (-r["wins"], -r["podiums"], -r["fastest_laps"], -r["starts"], r["driver"]))

    best = {}
    for r in results:
        if r["lapTimeMs"] is None:
            continue
        t = track[r["replay"]]
        if t not in best or (r["lapTimeMs"], r["driver"]) < (best[t]["record_ms"], best[t]["holder"]):
            best[t] = {"track": t, "record": r["lapTime"], "record_ms": r["lapTimeMs"], "holder": r["driver"]}
    records = [best[t] for t in sorted(best)]

    bins = collections.Counter(
        (track[l["replay"]], l["lapTimeMs"] // 1000)
        for l in rows_of(archive, "laps")
        if l["driver"] == driver and l["lap"] > 0 and l["lapTimeMs"] is not None and not l["invalid"]
    )
    times = [{"track": t, "second": s, "laps": n} for (t, s), n in sorted(bins.items())]
    return {"drivers": table, "lapRecords": records, "lapTimes": times}


def duckdb_answers(work, tools, source, driver):
    node = shutil.which("node")
    if not node:
        return None, "node is not installed"
    run = subprocess.run([node, str(source / "tests/duckdb_queries.mjs"), str(tools), str(source / "examples/archive"),
                          driver], cwd=work, capture_output=True, text=True)
    if run.returncode == SKIP:
        return None, run.stdout.strip()
    if run.returncode != 0:
        raise SystemExit(f"DuckDB failed: {run.stderr}")
    return json.loads(run.stdout), None


def main():
    engine, gridtally, mkbench, module_dir, tools, source = sys.argv[1:7]
    tools, source = pathlib.Path(tools), pathlib.Path(source)
    with tempfile.TemporaryDirectory() as tmp:
        work = pathlib.Path(tmp)
        subprocess.run([mkbench, "--league", str(work / "league"), "24"], check=True)
        (work / "league" / "broken.rpy").write_bytes(b"no replay")
        run = subprocess.run([gridtally, "--archive", "--laps", "-o", "archive", "league"], cwd=work,
                             capture_output=True, text=True)
        assert run.returncode == 1, run.stderr
        expected = expected_answers(work / "archive", driver="Jim Clarkson")
        assert expected["drivers"] and expected["lapRecords"] and expected["lapTimes"]
        duckdb, why = duckdb_answers(work, tools, source, "Jim Clarkson")

        if engine == "duckdb":
            if duckdb is None:
                print(f"skipped: {why}")
                return SKIP
            for key in expected:
                assert duckdb[key] == expected[key], (key, duckdb[key][:3], expected[key][:3])
            print(f"DuckDB answers the league's questions on {len(expected['drivers'])} drivers as expected")
            return 0

        try:
            import distributed  # noqa: F401
        except ImportError:
            print("skipped: Dask's distributed is not installed (python3-distributed)")
            return SKIP
        sys.path.insert(0, module_dir)
        try:
            import gridtally  # noqa: F401
        except ImportError:
            print("skipped: the Python module was not built (it needs pybind11-dev and python3-dev, and no sanitizers)")
            return SKIP
        env = dict(os.environ, PYTHONPATH=os.pathsep.join(filter(None, [module_dir, os.environ.get("PYTHONPATH")])))
        run = subprocess.run([sys.executable, str(source / "examples/archive/dask_archive.py"), "--workers", "2",
                              "--batch", "5", "--json", str(work / "league")], env=env, capture_output=True, text=True)
        assert run.returncode == 0, run.stderr
        table = json.loads(run.stdout)
        reference = duckdb["drivers"] if duckdb else expected["drivers"]
        assert table == reference, (table[:3], reference[:3])
        against = "DuckDB's" if duckdb else f"the one from the rows ({why})"
        print(f"Dask's driver table of {len(table)} drivers is {against}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
