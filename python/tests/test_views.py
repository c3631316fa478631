"""What a fit did, from Python: the density profile, the residuals and the fitted values
with their starts and limits."""

import numpy as np
import pytest

import korvel
from conftest import EXAMPLES, film_problem


def test_a_sharp_film_profile_is_a_step_function_in_the_sample_density_units():
    # Scattering length densities (units 1): the profile keeps them, without a conversion.
    sample = korvel.Sample([[100.0, 4.5e-6, 1e-8, 0.0], [0.0, 2.07e-6, 2e-9, 0.0]],
                           density_units=1, wavelength=1.0)
    z, re, im = korvel.profile(sample, [-10.0, 0.0, 50.0, 99.9, 100.0, 400.0])
    np.testing.assert_array_equal(z, [-10.0, 0.0, 50.0, 99.9, 100.0, 400.0])
    # At a sharp interface the medium below counts.
    np.testing.assert_allclose(re, [0.0, 4.5e-6, 4.5e-6, 4.5e-6, 2.07e-6, 2.07e-6], rtol=1e-12)
    np.testing.assert_allclose(im, [0.0, 1e-8, 1e-8, 1e-8, 2e-9, 2e-9], rtol=1e-12)


def test_a_rough_multilayer_profile_holds_every_period_and_conserves_the_density():
    sample = korvel.read_sample(EXAMPLES / "multilayer" / "w-si-40.mdl")
    h = sample.layers
    top = h[:sample.top_layer_count]
    unit = h[len(top):len(top) + sample.repeat_unit_layer_count]
    bottom = h[len(top) + len(unit):-1]
    total = top[:, 0].sum() + sample.repeat_count * unit[:, 0].sum() + bottom[:, 0].sum()
    z, re, _ = korvel.profile(sample, points=20001)
    assert z[0] < 0 and z[-1] > total and np.all(np.diff(z) > 0)
    # The roughness moves density across each interface but keeps its integral:
    # down to a depth inside the substrate it is sum(delta d) plus the substrate's part.
    below = z[-1] - total
    expected = sum((part[:, 0] * part[:, 1]).sum() * count
                   for part, count in ((top, 1), (unit, sample.repeat_count), (bottom, 1)))
    expected += below * h[-1, 1]
    assert np.trapz(re, z) == pytest.approx(expected, rel=1e-4)
    with pytest.raises(korvel.KorvelError, match="Invalid numeric input"):
        korvel.profile(sample, [0.0, np.nan])


def test_residuals_use_the_weights_of_the_fit_and_sum_to_its_chi_square():
    problem, _ = film_problem()
    result = korvel.fit(problem, seed=1)
    r = korvel.residuals(result)
    window = result.fit_window
    freedom = len(r[window]) - len(result.parameters)
    assert np.sum(r[window] ** 2) / freedom == pytest.approx(result.chi2, rel=1e-10)

    # Fraction weights replace the data's uncertainties: 3 % of the measured value.
    problem.weights = "fraction"
    result = korvel.fit(problem, seed=1)
    curve = result.curve
    np.testing.assert_allclose(korvel.residuals(result),
                               (curve.measured - curve.fitted) / (0.03 * curve.measured),
                               rtol=1e-12)


def test_fitted_parameters_carry_their_start_limits_and_a_mark_at_a_limit():
    problem, truth = film_problem()
    # The truth's thickness (250 A) lies above this range: the fit presses against it.
    problem.limits[0] = [238.0, 245.0, 10]
    problem.limits[3] = [1.0, 12.0, 10]
    problem.sample.layers[0, 0] = 240.0
    result = korvel.fit(problem, seed=1)
    thickness, roughness = result.parameters
    assert (thickness.start, thickness.lower, thickness.upper) == (240.0, 238.0, 245.0)
    assert thickness.at_limit == "upper" and roughness.at_limit is None
    assert roughness.start == truth.layers[0, 3]
