#!/usr/bin/env python3
"""A league's driver table from an archive too big for one machine.

The replays are split into batches; each batch is read on a worker of a Dask
distributed cluster through the gridtally Python module, which boils its
rows down to counts per driver; the counts are summed here. The table is the
one examples/archive/drivers.sql gives.

    dask_archive.py [--scheduler tcp://host:8786 | --workers 2] [--batch 64] [--json] PATH...

PATH: replays and folders (every *.rpy below them, any case). Without
--scheduler a LocalCluster of --workers processes runs on this machine.
The module must import on every worker (PYTHONPATH, or installed).
"""
import argparse
import collections
import json
import pathlib
import sys


def replay_paths(arguments):
    paths = set()
    for argument in map(pathlib.Path, arguments):
        if argument.is_dir():
            paths.update(p for p in argument.rglob("*") if p.suffix.lower() == ".rpy" and p.is_file())
        else:
            paths.add(argument)
    return sorted(str(p) for p in paths)


def batch_counts(paths):
    """On a worker: each driver's starts, wins, podiums, fastest laps."""
    import gridtally

    counts = collections.defaultdict(collections.Counter)
    for row in gridtally.rows(paths):
        if row["table"] != "results":
            continue
        driver = counts[row["driver"]]
        if row["resultTable"] == "classification":
            driver["starts"] += 1
            position = row["position"]
            driver["wins"] += position == 1
            driver["podiums"] += position is not None and position <= 3
        elif row["resultTable"] == "fastestLaps" and row["position"] == 1:
            driver["fastest_laps"] += 1
    return {name: dict(c) for name, c in counts.items()}


def league_table(partials):
    totals = collections.defaultdict(collections.Counter)
    for partial in partials:
        for name, counts in partial.items():
            totals[name].update(counts)
    table = [
        {"driver": name, **{k: c[k] for k in ("starts", "wins", "podiums", "fastest_laps")}}
        for name, c in totals.items()
        if c["starts"]
    ]
    table.sort(key=lambda r: (-r["wins"], -r["podiums"], -r["fastest_laps"], -r["starts"], r["driver"]))
    return table


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("paths", nargs="+")
    parser.add_argument("--scheduler", help="address of a running Dask scheduler")
    parser.add_argument("--workers", type=int, default=2, help="local worker processes without --scheduler")
    parser.add_argument("--batch", type=int, default=64, help="replays per task")
    parser.add_argument("--json", action="store_true", help="the table as JSON")
    args = parser.parse_args()

    from distributed import Client, LocalCluster

    paths = replay_paths(args.paths)
    batches = [paths[i : i + args.batch] for i in range(0, len(paths), args.batch)]
    cluster = None
    if not args.scheduler:
        cluster = LocalCluster(n_workers=args.workers, threads_per_worker=1, processes=True, dashboard_address=None)
    with Client(args.scheduler or cluster) as client:
        table = league_table(client.gather(client.map(batch_counts, batches)))
    if cluster:
        cluster.close()

    if args.json:
        print(json.dumps(table))
        return 0
    print(f"{'driver':<24} starts  wins  podiums  fastest laps")
    for r in table:
        print(f"{r['driver']:<24} {r['starts']:>6} {r['wins']:>5} {r['podiums']:>8} {r['fastest_laps']:>13}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
