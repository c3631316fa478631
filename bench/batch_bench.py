#!/usr/bin/python3
"""Throughput of korvel-cli batch: 200 small fits (the demo's film at every sixth
angle, scaled a little more for each data set) with --jobs 1 and --jobs 2, fits per
second, and the driver's own share of the time: the batch's wall time with one job
against the sum of the same fits run bare through the library (korvel.fit, one
thread), which leaves process start, reading, result files and summary.

    usage: PYTHONPATH=<build>/python batch_bench.py <build>/korvel-cli
"""

import pathlib
import subprocess
import sys
import tempfile
import time

import numpy as np

import korvel

COUNT = 200
SEED = 1
DEMO = pathlib.Path(__file__).resolve().parents[1] / "examples" / "demo"


def write_series(folder):
    angle, r, dr = np.loadtxt(DEMO / "demo.dat", unpack=True)
    names = []
    for k in range(COUNT):
        name = folder / f"d{k:03d}.dat"
        np.savetxt(name, np.column_stack([angle[::6], r[::6] * (1 + 0.001 * k), dr[::6]]),
                   fmt="%.8e")
        names.append(str(name))
    for name in ("au-film-start.mdl", "au-film.lmt"):
        (folder / name).write_bytes((DEMO / name).read_bytes())
    (folder / "bench.inp").write_text(
        "d000.dat\nF\nN\nY\nau-film-start.mdl\nau-film.lmt\n1e-5\n3000\n0\nM\n")
    return names


def batch_seconds(cli, folder, names, jobs):
    start = time.perf_counter()
    subprocess.run([cli, "batch", "bench.inp", *names, "--seed", str(SEED), "--jobs", str(jobs),
                    "--out", f"out{jobs}", "--quiet"], cwd=folder, check=True,
                   capture_output=True)
    return time.perf_counter() - start


def main():
    cli = str(pathlib.Path(sys.argv[1]).resolve())
    with tempfile.TemporaryDirectory() as tmp:
        folder = pathlib.Path(tmp)
        names = write_series(folder)
        problems = [korvel.read_problem(folder / "bench.inp", data_file=n) for n in names]
        start = time.perf_counter()
        for i, problem in enumerate(problems):
            korvel.fit(problem, seed=korvel.series_seed(SEED, i), threads=1)
        bare = time.perf_counter() - start
        one = batch_seconds(cli, folder, names, 1)
        two = batch_seconds(cli, folder, names, 2)
    print(f"\nbatch of {COUNT} small fits (demo film, {len(problems[0].data)} points)")
    print(f"  --jobs 1: {one:7.2f} s  {COUNT / one:7.1f} fits/s")
    print(f"  --jobs 2: {two:7.2f} s  {COUNT / two:7.1f} fits/s  "
          f"speed-up {one / two:.2f}x (target >= 1.8x)")
    print(f"  the same fits bare through the library: {bare:.2f} s; driver overhead "
          f"{100 * (one - bare) / one:.1f} % of --jobs 1 (target < 5 %)")


if __name__ == "__main__":
    main()
