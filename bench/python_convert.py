"""A campaign from Python: JOBS job directories (default 1000), each holding a
copy of examples/hdat.out, converted in this one process with eigpick.convert,
and the same directories with one subprocess.run of the program each. Every
fort.50 must be examples/fort.50.expected. The two sides take ROUNDS rounds
(default 5) in turns; prints the median and range of each and of their ratio.
ROUNDS=0 checks without timing.

    PYTHONPATH=build/python /usr/bin/python3 bench/python_convert.py [PROGRAM]

PROGRAM defaults to build/eigpick; the directories go to TMPDIR.
"""

import os
import pathlib
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

import eigpick

ROOT = pathlib.Path(__file__).resolve().parents[1]
EXPECTED = (ROOT / "examples" / "fort.50.expected").read_bytes()


def in_process(directories, program):
    return [eigpick.convert(directory) for directory in directories]


def subprocesses(directories, program):
    return [subprocess.run([program], cwd=directory).returncode for directory in directories]


# Each side: its name, how it converts the directories, and what it must say of each.
SIDES = [
    ("eigpick.convert in one process", in_process, "converted"),
    ("subprocess.run of the program", subprocesses, 0),
]


def holds_expected(directory):
    fort50 = directory / "fort.50"
    return fort50.is_file() and fort50.read_bytes() == EXPECTED


def timed_round(side, directories, program):
    """Seconds the side takes to convert every directory, which it must do right."""
    name, convert, outcome = side
    for directory in directories:
        (directory / "fort.50").unlink(missing_ok=True)
    start = time.perf_counter()
    outcomes = convert(directories, program)
    seconds = time.perf_counter() - start
    wrong = [str(directory) for directory, said in zip(directories, outcomes)
             if said != outcome or not holds_expected(directory)]
    if wrong:
        sys.exit(f"{name}: {len(wrong)} directories wrong, the first {wrong[0]}")
    return seconds


def main():
    program = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ROOT / "build" / "eigpick").resolve()
    jobs, rounds = int(os.environ.get("JOBS", 1000)), int(os.environ.get("ROUNDS", 5))
    with tempfile.TemporaryDirectory(prefix="eigpick-python-bench.") as work:
        directories = [pathlib.Path(work, f"job{k:05d}") for k in range(jobs)]
        for directory in directories:
            directory.mkdir()
            shutil.copyfile(ROOT / "examples" / "hdat.out", directory / "hdat.out")
        times = [[], []]
        for _ in range(max(rounds, 1)):
            for side, seconds in zip(SIDES, times):
                seconds.append(timed_round(side, directories, program))
    print(f"{jobs} job directories in {tempfile.gettempdir()}, every fort.50 exact")
    if rounds == 0:
        return
    for (name, _, _), seconds in zip(SIDES, times):
        median = statistics.median(seconds)
        print(f"{name}: median {median:.3f} s ({min(seconds):.3f}-{max(seconds):.3f}),"
              f" {1000 * median / jobs:.3f} ms a directory")
    ratios = [slow / fast for fast, slow in zip(*times)]
    print(f"in-process is {statistics.median(ratios):.1f} times as fast"
          f" ({min(ratios):.1f}-{max(ratios):.1f} over {rounds} rounds)")


if __name__ == "__main__":
    main()
