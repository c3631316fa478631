#!/usr/bin/python3
"""Simulates the bundled W/Si multilayer, fits the gold-film demo and saves a figure of
data, fit and normalised residuals.

    PYTHONPATH=build/python /usr/bin/python3 examples/python/fit_demo.py [OUT.png]
"""

import pathlib
import sys

import matplotlib

matplotlib.use("Agg")  # a file, no window
import matplotlib.pyplot as plt  # noqa: E402
import numpy as np  # noqa: E402

import korvel  # noqa: E402

examples = pathlib.Path(__file__).resolve().parents[1]
out = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else "korvel-demo-fit.png")

multilayer = korvel.read_sample(examples / "multilayer" / "w-si-40.mdl")
theta = np.linspace(0.01, 5, 2000)  # degrees
R = korvel.reflectivity(multilayer, theta=theta, method="matrix")
print(f"W/Si multilayer: first Bragg peak R = {R[theta > 1].max():.3g}")

problem = korvel.read_problem(examples / "demo" / "demo.inp")
result = korvel.fit(problem, seed=1, newton=True, uncertainty=True)
for p in result.parameters:
    print(f"{p.name:12s} = {p.value:.6g} +- {p.uncertainty:.2g}")
print(f"reduced chi-square {result.chi2:.4f}, seed {result.seed}")

c = result.curve
fig, (top, bottom) = plt.subplots(2, 1, sharex=True, figsize=(7, 6),
                                  gridspec_kw={"height_ratios": [3, 1]})
top.errorbar(c.theta, c.measured, yerr=c.uncertainty, fmt=".", ms=2, lw=0.5, label="data")
top.plot(c.theta, c.fitted, lw=1.2, label=f"fit, chi2 = {result.chi2:.3f}")
top.set_yscale("log")
top.set_ylabel("reflectivity")
top.legend()
bottom.plot(c.theta, (c.measured - c.fitted) / c.uncertainty, ".", ms=2)
bottom.axhline(0, color="gray", lw=0.5)
bottom.set_xlabel("theta (degrees)")
bottom.set_ylabel("(data - fit) / dI")
fig.tight_layout()
fig.savefig(out, dpi=120)
print(f"figure: {out}")
