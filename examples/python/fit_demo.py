#!/usr/bin/python3
"""Simulates the bundled W/Si multilayer, fits the gold-film demo and saves a figure of
data, fit and normalised residuals beside the film's density profile, start and fit.

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
fig = plt.figure(figsize=(11, 6))
grid = fig.add_gridspec(2, 2, height_ratios=[3, 1], width_ratios=[3, 2])
top = fig.add_subplot(grid[0, 0])
bottom = fig.add_subplot(grid[1, 0], sharex=top)
side = fig.add_subplot(grid[:, 1])
top.errorbar(c.theta, c.measured, yerr=c.uncertainty, fmt=".", ms=2, lw=0.5, label="data")
top.plot(c.theta, c.fitted, lw=1.2, label=f"fit, chi2 = {result.chi2:.3f}")
top.set_yscale("log")
top.set_ylabel("reflectivity")
top.legend()
# The residuals with the weights the fit used; only the fit window counts in chi2.
bottom.plot(c.theta, korvel.residuals(result), ".", ms=2)
for level, style in ((0, "-"), (1, ":"), (-1, ":"), (3, "--"), (-3, "--")):
    bottom.axhline(level, color="gray", lw=0.5, ls=style)
bottom.set_xlabel("theta (degrees)")
bottom.set_ylabel("(data - fit) / dI")

# Density profiles of the start and the fit on one depth grid (delta, the demo's units).
z, fitted_delta, _ = korvel.profile(result.sample)
_, start_delta, _ = korvel.profile(problem.sample, z)
side.plot(z, start_delta, "--", color="gray", lw=1, label="start")
side.plot(z, fitted_delta, lw=1.5, label="fit")
side.set_xlabel("depth below the surface (angstrom)")
side.set_ylabel("delta")
side.legend()
fig.tight_layout()
fig.savefig(out, dpi=120)
print(f"figure: {out}")
