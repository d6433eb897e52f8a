#!/usr/bin/env python3
"""gridfold's conversion as a whole process against the plain program, side by side in one run.

Writes a shuffled list of COLUMNS x ROWS points (CR LF lines "X,Y,Z", six decimals), then runs
`plotvane-cli fold` and the plain program (getc, strtod, qsort, fprintf) on it in turn, RUNS times
each, and prints the median wall time of each, their ratio and each one's peak resident memory.
The two outputs must be byte-identical.

  fold_processes.py --cli build/native/bin/plotvane-cli --plain build/native/bin/bench_plain_fold
"""
import argparse
import filecmp
import os
import random
import statistics
import subprocess
import sys
import tempfile
import time


def write_list(path, columns, rows):
    random.seed(20261207)
    lines = [
        "%.6f,%.6f,%.6f\r\n" % (100.0 + i * 0.123457, 200.0 + j * 0.234567, random.randint(-999999999, 999999999) / 1e6)
        for j in range(rows)
        for i in range(columns)
    ]
    random.shuffle(lines)
    with open(path, "w", newline="") as f:
        f.write("".join(lines))


def run(command, work):
    """Wall seconds and peak resident KiB of one process. GNU time reports the memory: a child of
    this (large) Python process would inherit its high-water mark."""
    report = os.path.join(work, "time.txt")
    start = time.perf_counter()
    finished = subprocess.run(["/usr/bin/time", "-f", "%M", "-o", report] + command, stdout=subprocess.DEVNULL)
    seconds = time.perf_counter() - start
    if finished.returncode != 0:
        sys.exit(f"fold_processes: {' '.join(command)} failed")
    with open(report) as f:
        return seconds, int(f.read().split()[-1])


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--cli", required=True)
    parser.add_argument("--plain", required=True)
    parser.add_argument("--columns", type=int, default=1000)
    parser.add_argument("--rows", type=int, default=1000)
    parser.add_argument("--runs", type=int, default=5)
    args = parser.parse_args()

    with tempfile.TemporaryDirectory(prefix="fold_processes_") as work:
        points = os.path.join(work, "points.xyz")
        write_list(points, args.columns, args.rows)
        ours_out, plain_out = os.path.join(work, "ours.csv"), os.path.join(work, "plain.csv")
        commands = {"plotvane-cli fold": [args.cli, "fold", points, ours_out], "plain": [args.plain, points, plain_out]}
        results = {name: [] for name in commands}
        run(commands["plotvane-cli fold"], work)  # the list into the page cache
        for _ in range(args.runs):
            for name, command in commands.items():
                results[name].append(run(command, work))
        if not filecmp.cmp(ours_out, plain_out, shallow=False):
            sys.exit("fold_processes: the two grid files differ")
        size = os.path.getsize(points)

    print(f"input: {args.columns * args.rows} points, {size} bytes, CR LF; median of {args.runs} runs each, alternating")
    medians = {}
    for name, samples in results.items():
        medians[name] = statistics.median(s for s, _ in samples)
        peak = max(k for _, k in samples)
        runs = " ".join(f"{s * 1000:.0f}" for s, _ in samples)
        print(f"{name:18} {medians[name] * 1000:7.1f} ms   peak {peak / 1024:5.1f} MiB   (runs: {runs} ms)")
    print(f"ratio: {medians['plain'] / medians['plotvane-cli fold']:.2f} x faster than the plain program")


if __name__ == "__main__":
    main()
