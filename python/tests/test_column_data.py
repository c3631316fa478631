"""Column data files (ORSO text, commented Qz/R/dR/dQ columns) and the data's pointwise
resolution, from Python."""

import numpy as np
import pytest

import korvel
from conftest import SOURCE

DATA = SOURCE / "tests" / "data"
FWHM = 2 * np.sqrt(2 * np.log(2))


def columns(path):
    rows = [line.split() for line in path.read_text().splitlines()
            if line.strip() and not line.lstrip().startswith("#")]
    return np.array([[float(x) for x in row] for row in rows])


def theta_of(qz, wavelength):
    return np.degrees(np.arcsin(qz * wavelength / (4 * np.pi)))


def test_an_orso_file_in_inverse_nanometres_with_fwhm_resolution_reads_in_angstrom_and_sigma():
    path = DATA / "film-nm-fwhm.ort"
    table = columns(path)
    curve = korvel.read_data(path)  # at the header's wavelength, 0.15406 nm
    qz = table[:, 0] / 10
    np.testing.assert_allclose(curve.theta, theta_of(qz, 1.5406), rtol=1e-12)
    np.testing.assert_array_equal(curve.intensity, table[:, 1])
    np.testing.assert_array_equal(curve.uncertainty, table[:, 2])
    np.testing.assert_allclose(curve.resolution, table[:, 3] / 10 / FWHM, rtol=1e-12)

    with pytest.warns(korvel.KorvelWarning, match="wavelength"):
        korvel.read_data(path, wavelength=1.79)


def test_a_plain_column_file_leaves_out_non_positive_points_and_needs_a_wavelength():
    path = DATA / "plain-qz-columns.txt"
    with pytest.raises(korvel.KorvelError, match="wavelength"):
        korvel.read_data(path)
    with pytest.warns(korvel.KorvelWarning) as found:
        curve = korvel.read_data(path, wavelength=1.5406)
    table = columns(path)
    kept = (table[:, 1] > 0) & (table[:, 2] > 0)
    assert len(curve) == kept.sum() < len(table)
    assert any("3 points with R <= 0 or dR <= 0 left out" in str(w.message) for w in found)
    np.testing.assert_allclose(curve.theta, theta_of(table[kept, 0], 1.5406), rtol=1e-12)
    np.testing.assert_array_equal(curve.resolution, table[kept, 3])  # nan stays unknown

    with pytest.warns(korvel.KorvelWarning):
        fwhm = korvel.read_data(path, wavelength=1.5406, dq_fwhm=True)
    np.testing.assert_allclose(fwhm.resolution, table[kept, 3] / FWHM, rtol=1e-12)


def test_a_file_of_two_data_sets_gives_the_one_asked_for():
    path = DATA / "two-spin-states.ort"
    with pytest.warns(korvel.KorvelWarning, match='2 data sets .1 "spin up", 2 "spin down"'):
        first = korvel.read_data(path, wavelength=5.0)
    with pytest.warns(korvel.KorvelWarning, match="data set 2 is read"):
        second = korvel.read_data(path, wavelength=5.0, dataset=2)
    assert len(first) and len(second) and not np.array_equal(first.intensity, second.intensity)
    with pytest.raises(korvel.KorvelError, match="data set"):
        korvel.read_data(path, wavelength=5.0, dataset=3)
    with pytest.raises(korvel.KorvelError, match="data set 2"):
        korvel.read_data(SOURCE / "examples" / "demo" / "demo.dat", dataset=2)


def film():
    return korvel.Sample([[180.0, 2.2e-5, 1.0e-6, 3.0], [0.0, 7.6e-6, 1.7e-7, 2.0]])


def test_pointwise_smearing_agrees_with_a_brute_force_convolution():
    sample = film()
    wavelength = sample.wavelength
    qz = np.linspace(0.05, 0.45, 60)
    sigma = 0.03 * qz  # 3 % of Qz, a common instrument
    smeared = korvel.reflectivity(sample, qz=qz, resolution=sigma)
    # The Gaussian truncated at 3.5 sigma, renormalised, on a fine grid.
    x = np.linspace(-3.5, 3.5, 4001)
    weight = np.exp(-x ** 2 / 2)
    expected = []
    for q, s in zip(qz, sigma):
        nodes = q + s * x
        order = np.argsort(np.abs(nodes))
        r = np.empty_like(nodes)
        r[order] = korvel.reflectivity(sample, qz=np.abs(nodes)[order], smeared=False)
        expected.append(np.trapz(weight * r, x) / np.trapz(weight, x))
    np.testing.assert_allclose(smeared, expected, rtol=1e-4)
    # A point without a resolution stays unsmeared.
    sigma[3] = np.nan
    again = korvel.reflectivity(sample, qz=qz, resolution=sigma)
    assert again[3] == korvel.reflectivity(sample, qz=qz, smeared=False)[3]
    assert wavelength == 1.5406


def smeared_problem(noise=0.0):
    truth = film()
    theta = np.linspace(0.2, 2.5, 120)
    qz = 4 * np.pi * np.sin(np.radians(theta)) / truth.wavelength
    sigma = 0.04 * qz
    exact = korvel.reflectivity(truth, theta, resolution=sigma)
    measured = exact * (1 + noise * np.random.default_rng(3).standard_normal(len(theta)))
    limits = np.zeros((8, 3))
    limits[:, 0] = limits[:, 1] = truth.layers.ravel()
    limits[0] = [150.0, 210.0, 10]
    limits[3] = [1.0, 6.0, 10]
    data = korvel.Curve(theta, measured, 0.02 * exact, resolution=sigma)
    return korvel.FitProblem(truth.copy(), limits, data, model_file_name="film.mdl",
                             data_file_name="film.ort")


def test_a_fit_smears_with_the_data_resolution_by_default_and_with_the_model_when_told():
    problem = smeared_problem()
    problem.fit_mode = False
    assert problem.resolution == "default"
    by_data = korvel.fit(problem)
    assert by_data.chi2 < 1e-12
    np.testing.assert_array_equal(by_data.curve.fitted, problem.data.intensity)
    problem.resolution = "model"  # the sample's laws are zero: no smearing at all
    assert korvel.fit(problem).chi2 > 1
    problem.resolution = "data"
    problem.data.resolution = None
    with pytest.raises(korvel.KorvelError, match="no resolution"):
        korvel.fit(problem)
    with pytest.raises(ValueError, match="resolution must be"):
        problem.resolution = "instrument"


def test_a_fit_written_as_orso_text_reads_back(tmp_path):
    problem = smeared_problem(noise=0.02)
    problem.sample.layers[0, 0] = 185.0
    result = korvel.fit(problem, seed=1)
    assert result.parameters[0].value == pytest.approx(180.0, abs=0.5)
    path = tmp_path / "fit.ort"
    korvel.write_ort(result, path)
    text = path.read_text()
    assert "korvel" in text and "film.mdl" in text and "Rfit" in text
    back = korvel.read_data(path)
    np.testing.assert_allclose(back.theta, result.curve.theta, rtol=1e-13)
    np.testing.assert_array_equal(back.intensity, result.curve.measured)
    np.testing.assert_array_equal(back.uncertainty, result.curve.uncertainty)
    np.testing.assert_allclose(back.resolution, problem.data.resolution, rtol=1e-15)
    fitted = columns(path)[:, 4]
    np.testing.assert_array_equal(fitted, result.curve.fitted)
