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


def film_problem(points=80, noise=0.05, seed=11, free=(0, 3), **choices):
    """A gold film on silicon fitted to its own curve with Gaussian noise of `noise`
    relative standard deviation, the uncertainties known: the free parameters are those
    of model indices `free` (0 thickness, 1 delta, 3 roughness of the film), each held to
    a range around the truth. Returns the problem and the true sample."""
    truth = korvel.Sample([[250.0, 4.6e-5, 4.9e-6, 4.6], [0.0, 7.6e-6, 1.7e-7, 3.1]])
    theta = np.linspace(0.2, 3.0, points)
    exact = korvel.reflectivity(truth, theta)
    measured = exact * (1 + noise * np.random.default_rng(seed).standard_normal(points))
    limits = np.zeros((8, 3))
    values = truth.layers.ravel()
    limits[:, 0] = limits[:, 1] = values
    for j in free:
        limits[j] = [0.9 * values[j], 1.1 * values[j], 10]
    data = korvel.Curve(theta, measured, noise * exact)
    return korvel.FitProblem(truth.copy(), limits, data, model_file_name="film.mdl",
                             **choices), truth
