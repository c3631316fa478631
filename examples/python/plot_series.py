#!/usr/bin/python3
"""Plots the fitted film thickness against time from a batch summary (one curve a
minute in the example series) and saves the figure.

    scripts/make-series
    (cd examples/series && ../../build/korvel-cli batch series.inp film-*.dat --out fits --seed 1)
    /usr/bin/python3 examples/python/plot_series.py examples/series/fits/summary.csv [OUT.png]
"""

import csv
import sys

import matplotlib

matplotlib.use("Agg")  # a file, no window
import matplotlib.pyplot as plt  # noqa: E402

summary = sys.argv[1] if len(sys.argv) > 1 else "examples/series/fits/summary.csv"
out = sys.argv[2] if len(sys.argv) > 2 else "korvel-series-thickness.png"

with open(summary, newline="") as f:
    rows = [row for row in csv.DictReader(f) if row["status"] == "ok"]
minutes = [int(row["index"]) for row in rows]  # the series' curves are a minute apart
thickness = [float(row["Thickness:1"]) for row in rows]

fig, ax = plt.subplots(figsize=(6, 4))
ax.plot(minutes, thickness, "o", markersize=3)
ax.set_xlabel("time (min)")
ax.set_ylabel("film thickness (Å)")
ax.set_title(f"{len(rows)} curves fitted by korvel-cli batch")
fig.tight_layout()
fig.savefig(out, dpi=120)
print(f"wrote {out}: thickness {thickness[0]:.1f} Å to {thickness[-1]:.1f} Å")
