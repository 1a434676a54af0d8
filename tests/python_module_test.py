#!/usr/bin/env python3
"""The Python module against the program: read() is the JSON report, rows()
the archive stream, on a generated league with a broken replay.

Usage: python_module_test.py <module dir> <gridtally> <mkbench>
Exits 77 (skipped) when the module was not built.
"""
import json
import pathlib
import subprocess
import sys
import tempfile


def main():
    module_dir, gridtally_bin, mkbench = sys.argv[1:4]
    sys.path.insert(0, module_dir)
    try:
        import gridtally
    except ImportError as e:
        print(f"skipped: the Python module was not built (it needs pybind11-dev and python3-dev, and no sanitizers): {e}")
        return 77

    def program(*args):
        return subprocess.run([gridtally_bin, *args], capture_output=True, text=True)

    with tempfile.TemporaryDirectory() as tmp:
        league = pathlib.Path(tmp) / "league"
        subprocess.run([mkbench, "--league", str(league), "5"], check=True)
        (league / "broken.rpy").write_bytes(b"no replay")
        replays = sorted(league.glob("0*.rpy"))

        for path in replays:
            report = json.loads(program("--format=json", "--laps", str(path)).stdout)
            assert gridtally.read(path, laps=True) == report, path
            assert gridtally.read(path.read_bytes(), laps=True) == report, path
            assert gridtally.read(memoryview(bytearray(path.read_bytes())), laps=True) == report, path
        for source in (league / "broken.rpy", league / "missing.rpy"):
            expected = program(str(source)).stderr
            try:
                gridtally.read(str(source))
                raise AssertionError(f"{source} was read")
            except gridtally.Error as e:
                assert f"Error: {e}\n" == expected, (str(e), expected)

        stream = program("--archive", "--laps", str(league)).stdout
        expected = [json.loads(line) for line in stream.splitlines()]
        for threads in (1, 2):
            rows = list(gridtally.rows([league], laps=True, threads=threads))
            assert rows == expected, threads
        assert {row["table"] for row in expected} == {"replays", "results", "laps"}
        assert all("laps" != row["table"] for row in gridtally.rows(str(league)))
        # A replay's bytes give its rows, the path named <bytes>.
        assert expected[0]["path"] == str(replays[0])
        first = [dict(expected[0], path="<bytes>")]
        first += [row for row in expected[1:] if row.get("replay") == expected[0]["key"]]
        assert list(gridtally.rows(replays[0].read_bytes(), laps=True)) == first
    print(f"read() and rows() agree with the program on {len(replays)} replays")
    return 0


if __name__ == "__main__":
    sys.exit(main())
