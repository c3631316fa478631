"""Shared set-ups of the korvel module's tests: the source tree, korvel-cli, runs of it."""

import os
import pathlib
import shutil
import subprocess

import numpy as np
import pytest

import korvel

SOURCE = pathlib.Path(os.environ.get("KORVEL_SOURCE_DIR",
                                     pathlib.Path(__file__).resolve().parents[2]))
EXAMPLES = SOURCE / "examples"


@pytest.fixture
def cli(tmp_path):
    """Runs korvel-cli in a fresh folder holding copies of `inputs`; returns the folder."""
    program = os.environ.get("KORVEL_CLI")
    if not program:
        pytest.skip("KORVEL_CLI names no korvel-cli to compare with")

    def run(inputs, *arguments):
        folder = tmp_path / "cli"
        folder.mkdir(exist_ok=True)
        for path in inputs:
            shutil.copy(path, folder)
        subprocess.run([program, *arguments], cwd=folder, check=True, capture_output=True)
        return folder

    return run


def grid(lower, upper, intervals):
    """The simulation dialog's grid: lower + (upper - lower) * k / intervals, computed
    in the same order as the program computes it."""
    return lower + (upper - lower) * np.arange(intervals + 1) / intervals


def multilayer_problem(points, seed_noise=7.0):
    """A fit of the bundled W/Si multilayer to a noisy simulated curve of `points`
    points: seven free parameters, a fit of some seconds at 2000 points."""
    truth = korvel.read_sample(EXAMPLES / "multilayer" / "w-si-40.mdl")
    theta = np.linspace(0.1, 5.0, points)
    measured = korvel.reflectivity(truth, theta) * (1 + 0.03 * np.sin(seed_noise * np.arange(points)))
    start = truth.copy()
    start.layers[:, 0] *= [1.03, 0.98, 1.0]
    start.layers[:, 3] *= 1.2
    values = truth.layers.ravel()
    limits = np.zeros((12, 3))
    for j in (0, 1, 3, 4, 5, 7, 11):
        limits[j] = [0.8 * values[j], 1.2 * values[j] + 1e-9, 10]
    data = korvel.Curve(theta, measured, 0.03 * measured)
    return korvel.FitProblem(start, limits, data, tolerance=1e-8, max_iterations=20000,
                             method="parratt", model_file_name="ml.mdl")
