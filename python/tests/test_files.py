"""Samples, limits and curves between Python and the program's files."""

import numpy as np
import pytest

import korvel
from conftest import EXAMPLES


@pytest.mark.parametrize("model, units", [("multilayer/w-si-40.mdl", 0),
                                          ("xray-film/au-on-si.mdl", 0),
                                          ("neutron/ni-on-si.mdl", 1)])
def test_a_sample_written_and_read_back_is_the_same(tmp_path, model, units):
    sample = korvel.read_sample(EXAMPLES / model, density_units=units)
    korvel.write_sample(sample, tmp_path / "copy.mdl")
    again = korvel.read_sample(tmp_path / "copy.mdl", density_units=units)
    np.testing.assert_array_equal(again.layers, sample.layers)
    for name in ("wavelength", "wavelength_spread", "resolution_offset1", "resolution_offset2",
                 "resolution_slope1", "resolution_slope2", "top_layer_count",
                 "repeat_unit_layer_count", "bottom_layer_count", "repeat_count",
                 "density_units"):
        assert getattr(again, name) == getattr(sample, name), name
    assert (tmp_path / "copy.mdl").read_bytes() == sample.to_text().encode()
    assert sample.to_text().endswith("\r\n")


def test_a_sample_built_in_python_computes_as_the_same_file():
    film = korvel.read_sample(EXAMPLES / "xray-film" / "au-on-si.mdl")
    built = korvel.Sample(
        [korvel.Layer(*row) for row in film.layers.tolist()],
        wavelength=film.wavelength, wavelength_spread=film.wavelength_spread,
        resolution_offset1=film.resolution_offset1, resolution_offset2=film.resolution_offset2,
        resolution_slope1=film.resolution_slope1, resolution_slope2=film.resolution_slope2)
    assert built.top_layer_count == film.top_layer_count
    theta = np.linspace(0.05, 3.0, 300)
    np.testing.assert_array_equal(korvel.reflectivity(built, theta),
                                  korvel.reflectivity(film, theta))
    # Edits of the layer array in place reach the next computation.
    built.layers[0, 0] += 20.0
    assert not np.array_equal(korvel.reflectivity(built, theta), korvel.reflectivity(film, theta))
    built.layer_list = film.layer_list
    np.testing.assert_array_equal(built.layers, film.layers)


def test_arrays_pass_without_copies_where_their_layout_allows():
    layers = np.array([[100.0, 2e-5, 1e-6, 3.0], [0.0, 7.6e-6, 1.7e-7, 3.0]])
    sample = korvel.Sample(layers)
    assert sample.layers is layers
    theta = np.linspace(0.1, 2.0, 50)
    curve = korvel.Curve(theta, np.ones(50))
    assert curve.theta is theta
    # A list is turned into an array once; the result is a fresh array owned by NumPy.
    R = korvel.reflectivity(sample, list(theta))
    assert R.dtype == np.float64 and R.shape == (50,) and R.flags.writeable
    # A simulation's arrays look into its result, read-only.
    simulation = korvel.simulate(sample, theta)
    assert simulation.reflectivity.base is not None
    assert not simulation.reflectivity.flags.writeable
    np.testing.assert_array_equal(simulation.reflectivity, R)


def test_limits_and_data_written_and_read_back_are_the_same(tmp_path):
    limits = korvel.read_limits(EXAMPLES / "demo" / "au-film.lmt", 8)
    assert limits.shape == (8, 3)
    korvel.write_limits(limits, tmp_path / "copy.lmt")
    np.testing.assert_array_equal(korvel.read_limits(tmp_path / "copy.lmt", 8), limits)

    data = korvel.read_data(EXAMPLES / "demo" / "demo.dat", uncertainties=True)
    assert len(data) == 601 and data.uncertainty is not None
    korvel.write_data(data, tmp_path / "copy.dat")
    again = korvel.read_data(tmp_path / "copy.dat", uncertainties=True)
    for name in ("theta", "intensity", "uncertainty"):
        np.testing.assert_array_equal(getattr(again, name), getattr(data, name))

    # Qz files: written at a wavelength, read back into the same angles.
    korvel.write_data(data, tmp_path / "qz.dat", qz=True, wavelength=1.5406)
    qz = korvel.read_data(tmp_path / "qz.dat", uncertainties=True, qz=True, wavelength=1.5406)
    np.testing.assert_allclose(qz.theta, data.theta, rtol=1e-6)


def test_a_short_model_file_reads_with_a_warning(tmp_path):
    (tmp_path / "short.mdl").write_text("1.54 0 0 0 0 0\n1 0 0 0\n200 2e-5 1e-6 4\n0 7e-6")
    with pytest.warns(korvel.KorvelWarning):
        sample = korvel.read_sample(tmp_path / "short.mdl")
    assert sample.layers[1].tolist() == [0.0, 7e-6, 0.0, 0.0]


def test_read_problem_reads_what_the_command_file_names():
    problem = korvel.read_problem(EXAMPLES / "demo" / "demo.inp")
    assert problem.method == "matrix" and problem.weights == "data"
    assert problem.model_file_name == "au-film-start.mdl"
    assert problem.limits.shape == (8, 3) and len(problem.data) == 601
    np.testing.assert_array_equal(
        problem.sample.layers,
        korvel.read_sample(EXAMPLES / "demo" / "au-film-start.mdl").layers)
