"""korvel.simulate and korvel.reflectivity against korvel-cli simulate on the examples."""

import numpy as np
import pytest

import korvel
from conftest import EXAMPLES, grid

# The golden runs of the examples: model, density units, mode, Qz grid, upper end, intervals.
CASES = [
    ("xray-film/au-on-si.mdl", 0, "matrix", False, 3.0, 600),
    ("multilayer/w-si-40.mdl", 0, "parratt", False, 5.0, 500),
    ("multilayer/w-si-40.mdl", 0, "fourier", False, 5.0, 500),
    ("multilayer/w-si-40.mdl", 0, "matrix", False, 5.0, 1000),
    ("neutron/ni-on-si.mdl", 1, "matrix", True, 0.15, 300),
]


@pytest.mark.parametrize("model, units, method, qz, upper, intervals", CASES)
def test_every_sml_value_is_the_one_korvel_cli_writes(cli, model, units, method, qz, upper,
                                                      intervals):
    arguments = ["simulate", model.split("/")[1], "--mode", method, "--max", str(upper),
                 "--intervals", str(intervals), "--density-units", str(units)]
    folder = cli([EXAMPLES / model], *arguments + (["--qz"] if qz else []))
    expected = (folder / model.split("/")[1]).with_suffix(".sml").read_bytes().decode()

    sample = korvel.read_sample(EXAMPLES / model, density_units=units)
    x = grid(0.0, upper, intervals)
    simulation = (korvel.simulate(sample, qz=x, method=method) if qz
                  else korvel.simulate(sample, x, method=method))
    assert simulation.sml_text == expected

    # Every value of the file is the smeared curve to the file's seven digits, and
    # reflectivity() gives that curve.
    written = np.loadtxt(expected.splitlines())
    R = (korvel.reflectivity(sample, qz=x, method=method) if qz
         else korvel.reflectivity(sample, x, method=method))
    np.testing.assert_array_equal(R, simulation.reflectivity)
    np.testing.assert_allclose(written[:, 1], R, rtol=6e-7, atol=0)


def test_threads_and_the_cut_off_change_only_what_they_should():
    sample = korvel.read_sample(EXAMPLES / "multilayer" / "w-si-40.mdl")
    theta = np.linspace(0.01, 5.0, 2000)
    R = korvel.reflectivity(sample, theta)
    np.testing.assert_array_equal(korvel.reflectivity(sample, theta, threads=2), R)
    floored = korvel.reflectivity(sample, theta, cut_off=1e-6, smeared=False)
    np.testing.assert_array_equal(floored,
                                  np.maximum(korvel.reflectivity(sample, theta, smeared=False),
                                             1e-6))
