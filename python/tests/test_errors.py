"""Failures: KorvelError with the program's message and place; ValueError and TypeError
for arguments Python code gets wrong."""

import numpy as np
import pytest

import korvel
from conftest import EXAMPLES

FILM = "1.54 0 0 0 0 0\n1 0 0 0\n200 2e-5 1e-6 4\n0 7.6e-6 1.7e-7 3\n"


def film():
    return korvel.Sample.from_text(FILM)


def test_file_errors_name_the_file_line_and_token(tmp_path):
    with pytest.raises(korvel.KorvelError) as error:
        korvel.read_sample(tmp_path / "missing.mdl")
    assert error.value.message == "File not found."
    assert error.value.file == str(tmp_path / "missing.mdl") and error.value.line is None

    (tmp_path / "bad.mdl").write_text(FILM.replace("1e-6", "x"))
    with pytest.raises(korvel.KorvelError) as error:
        korvel.read_sample(tmp_path / "bad.mdl")
    e = error.value
    assert (e.message, e.file, e.line, e.value) == ("Invalid numeric input",
                                                    str(tmp_path / "bad.mdl"), 3, "x")
    assert str(e) == f"Invalid numeric input\n{tmp_path / 'bad.mdl'}, line 3: 'x'"

    with pytest.raises(korvel.KorvelError, match="Data points must be in increasing order"):
        korvel.Curve.from_text("0.1 0.9\n0.05 0.8\n", name="d.dat")
    with pytest.raises(korvel.KorvelError) as error:
        korvel.read_problem(tmp_path / "none.inp")
    assert error.value.file == str(tmp_path / "none.inp")


def test_computations_name_the_parameter_or_the_point():
    sample = film()
    sample.layers[0, 3] = np.nan
    with pytest.raises(korvel.KorvelError) as error:
        korvel.reflectivity(sample, [0.1, 0.2])
    assert error.value.message == "Invalid numeric input"
    assert error.value.where == "sample: [Roughness:1] (layer 1, column 4)"
    assert error.value.file is None

    with pytest.raises(korvel.KorvelError) as error:
        korvel.reflectivity(film(), [0.1, 0.3, 0.2])
    assert error.value.where == "Simulate, point 3: theta = 0.2 deg"
    sample = film()
    sample.top_layer_count = 2
    with pytest.raises(korvel.KorvelError, match="The sample has 2 layers where its counts"):
        korvel.reflectivity(sample, [0.1])

    problem = korvel.read_problem(EXAMPLES / "demo" / "demo.inp")
    problem.limits = problem.limits[:4]
    with pytest.raises(korvel.KorvelError):
        korvel.fit(problem, seed=1)


def test_arguments_of_the_wrong_kind_are_type_errors():
    with pytest.raises(TypeError, match="either as theta"):
        korvel.reflectivity(film(), [0.1], qz=[0.01])
    with pytest.raises(TypeError, match="either as theta"):
        korvel.reflectivity(film())
    with pytest.raises(TypeError, match="theta must be an array of numbers"):
        korvel.reflectivity(film(), ["a", "b"])
    with pytest.raises(TypeError):
        korvel.reflectivity("w-si-40.mdl", [0.1])
    with pytest.raises(TypeError, match="data must be a korvel.Curve"):
        korvel.FitProblem(film(), None, [1, 2])
    problem = korvel.read_problem(EXAMPLES / "demo" / "demo.inp")
    with pytest.raises(TypeError, match="progress must be callable"):
        korvel.fit(problem, progress=3)
    with pytest.raises(TypeError, match="is not a korvel.Layer"):
        korvel.Sample([korvel.Layer(), (1, 2, 3, 4)])


def test_arguments_of_the_wrong_value_are_value_errors():
    with pytest.raises(ValueError, match="method must be 'matrix', 'parratt' or 'fourier'"):
        korvel.reflectivity(film(), [0.1], method="born")
    with pytest.raises(ValueError, match="density_units must be 0"):
        korvel.read_sample(EXAMPLES / "xray-film" / "au-on-si.mdl", density_units=4)
    with pytest.raises(ValueError, match="layers must have 4 columns"):
        korvel.Sample(np.ones((3, 3)))
    sample = film()
    sample.layers.shape = (1, 8)  # reshaped in place after the check on assignment
    with pytest.raises(ValueError, match="layers must have 4 columns"):
        korvel.reflectivity(sample, [0.1])
    with pytest.raises(ValueError, match="differ in length"):
        korvel.Curve([0.1, 0.2], [1.0])
    with pytest.raises(ValueError, match="one-dimensional"):
        korvel.reflectivity(film(), np.ones((2, 2)))
    with pytest.raises(ValueError, match="weights must be"):
        korvel.read_problem(EXAMPLES / "demo" / "demo.inp", weights="poisson")
