"""Population searches in korvel.fit, and the posterior of korvel.sample against an
independent ensemble sampler on the same target."""

import _thread

import numpy as np
import pytest

import korvel
from conftest import film_problem, multilayer_problem


def values_of(result):
    return np.array([p.value for p in result.parameters])


def test_a_population_search_reports_its_generations_and_repeats_with_its_seed_at_any_thread_count():
    problem, truth = film_problem()
    reports = []
    result = korvel.fit(problem, optimizer="de", population=16, generations=40, seed=5,
                        progress=reports.append)
    assert result.method == "de" and 0 < result.generations <= 40
    generations = [r for r in reports if r.phase == "population" and r.event == "generation"]
    assert [r.generation for r in generations] == list(range(result.generations + 1))
    assert all(r.best_merit <= r.median_merit and r.total == 40 for r in generations)
    assert generations[-1].best_merit <= generations[0].best_merit
    # The polished best member is the minimum next to the truth.
    reference = korvel.fit(problem, seed=1)
    assert result.chi2 == pytest.approx(reference.chi2, rel=1e-3)

    again = korvel.fit(problem, optimizer="de", population=16, generations=40, seed=5, threads=2)
    assert again.bst_text == result.bst_text and again.loc_text == result.loc_text


@pytest.mark.parametrize("optimizer", ["cmaes", "pso", "DE-Best1Bin"])
def test_every_method_keeps_to_the_limits_and_the_links(optimizer):
    problem, _ = film_problem(free=(0, 1, 3))
    # The substrate's roughness follows the film's (a link to layer 1).
    problem.limits[7] = [1.0, 10.0, -1]
    result = korvel.fit(problem, optimizer=optimizer, population=12, generations=15, seed=2)
    assert result.method == optimizer.lower()
    for p in result.parameters:
        assert p.lower <= p.value <= p.upper
    fitted = result.sample.layers
    assert fitted[1, 3] == fitted[0, 3]


def test_unknown_optimizers_and_bad_counts_are_refused():
    problem, _ = film_problem()
    with pytest.raises(ValueError, match="optimizer must be"):
        korvel.fit(problem, optimizer="simulated-annealing")
    with pytest.raises(korvel.KorvelError, match="must not be negative"):
        korvel.fit(problem, optimizer="de", population=-1)
    with pytest.raises(TypeError, match="korvel.FitProblem"):
        korvel.fit(problem.sample, optimizer="de")


def test_keyboard_interrupt_ends_a_population_search_with_its_best_member_polished():
    problem, _ = film_problem()

    def interrupt_at_third(report):
        if report.event == "generation" and report.generation == 3:
            _thread.interrupt_main()

    result = korvel.fit(problem, optimizer="de", population=16, generations=200, seed=3,
                        progress=interrupt_at_third)
    assert result.stopped and result.generations == 3
    assert result.loc_text and np.isfinite(result.chi2)


def test_the_merit_at_given_values_is_the_fits_evaluation_with_a_fixed_repeat_unit():
    problem = multilayer_problem(200)
    problem.repeat_unit_fixed = True
    # The unit's first thickness absorbs the rest of the fixed period: not free.
    free = [j for j in range(1, 12) if problem.limits[j, 2] != 0]
    values = problem.sample.layers.ravel()[free]
    problem.fit_mode = False
    evaluation = korvel.fit(problem)
    window = len(evaluation.curve.theta[evaluation.fit_window])
    problem.fit_mode = True
    # The same sum of squares over the window, divided by its points less the free ones.
    merit = korvel.merit(problem, values, threads=2)
    assert merit * (window - len(free)) == pytest.approx(evaluation.chi2 * window, rel=1e-9)


def emcee_chain(problem, centre, walkers, steps, seed):
    """The same posterior sampled by emcee: uniform priors inside the limits (korvel.merit
    gives +inf outside them), ln L = -merit * degrees of freedom / 2."""
    emcee = pytest.importorskip("emcee")
    freedom = len(problem.data.theta) - 2 - len(centre)  # the fit window leaves out the ends

    def log_likelihood(points):
        return -0.5 * freedom * korvel.merit(problem, points)

    rng = np.random.default_rng(seed)
    start = centre * (1 + 1e-4 * rng.standard_normal((walkers, len(centre))))
    sampler = emcee.EnsembleSampler(walkers, len(centre), log_likelihood, vectorize=True)
    sampler.random_state = np.random.RandomState(seed).get_state()
    sampler.run_mcmc(start, steps)
    return sampler


def test_the_posterior_agrees_with_emcee_on_the_same_target():
    problem, truth = film_problem()
    steps, walkers = 3000, 16
    posterior = korvel.sample(problem, steps, walkers=walkers, seed=4)
    names = posterior.names
    assert names == ["Thickness:1", "Roughness:1"] and posterior.chain.shape == (steps, walkers, 2)
    assert not posterior.chain_too_short and 0.2 < posterior.acceptance < 0.9

    # The chain's likelihoods are the figure of merit's at its positions.
    freedom = posterior.degrees_of_freedom
    assert freedom == len(problem.data.theta) - 2 - 2  # the fit window leaves out the ends
    some = posterior.chain[-1]
    np.testing.assert_allclose(-0.5 * freedom * korvel.merit(problem, some),
                               posterior.log_likelihood[-1], rtol=1e-9)
    outside = some[:2] * [[1.0, 1.0], [2.0, 1.0]]
    assert np.isfinite(korvel.merit(problem, outside[0])) and korvel.merit(problem, outside[1]) == np.inf
    with pytest.raises(korvel.KorvelError, match="point 2, free parameter 1"):
        korvel.merit(problem, [[250.0, 4.6], [np.nan, 4.6]])

    centre = truth.layers.ravel()[[0, 3]]
    reference = emcee_chain(problem, centre, walkers, steps, seed=8)
    burn = steps // 4
    flat = reference.get_chain(discard=burn, flat=True)
    tau = np.maximum(reference.get_autocorr_time(discard=burn, tol=0),
                     posterior.autocorrelation_time)
    kept = (steps - burn) * walkers / tau  # independent draws of each chain
    width = posterior.interval68[:, 1] - posterior.interval68[:, 0]
    sigma = width / 2
    # Standard errors of a median and of a 16th/84th percentile from n independent
    # draws of a Gaussian: 1.25 and 1.6 standard deviations over sqrt(n); two chains.
    median_error = np.sqrt(2) * 1.25 * sigma / np.sqrt(kept)
    quantile_error = np.sqrt(2) * 1.6 * sigma / np.sqrt(kept)
    np.testing.assert_array_less(np.abs(posterior.medians - np.median(flat, axis=0)),
                                 4 * median_error)
    for q, bounds in ((15.865525393145707, posterior.interval68[:, 0]),
                      (84.13447460685429, posterior.interval68[:, 1])):
        np.testing.assert_array_less(np.abs(bounds - np.percentile(flat, q, axis=0)),
                                     4 * quantile_error)
    for q, bounds in ((2.5, posterior.interval95[:, 0]), (97.5, posterior.interval95[:, 1])):
        np.testing.assert_array_less(np.abs(bounds - np.percentile(flat, q, axis=0)),
                                     8 * quantile_error)
    assert posterior.samples.shape == ((steps - burn) * walkers, 2)


def test_sampling_around_a_fit_result_uses_its_problem_and_stops_on_keyboard_interrupt():
    problem, _ = film_problem()
    result = korvel.fit(problem, seed=1)

    def interrupt_at_fifth(report):
        if report.phase == "sampling" and report.event == "generation" and report.generation == 5:
            _thread.interrupt_main()

    with pytest.warns(korvel.KorvelWarning, match="chain is too short"):
        posterior = korvel.sample(result, 400, seed=9, progress=interrupt_at_fifth)
    assert posterior.stopped and posterior.steps == 5
    # The walkers start in a small ball around the fitted values.
    np.testing.assert_allclose(posterior.chain[0].mean(axis=0), values_of(result), rtol=1e-3)

    with pytest.warns(korvel.KorvelWarning):
        assert korvel.sample(problem, 30, seed=9, walkers=16).seed == 9
    with pytest.raises(TypeError, match="problem="):
        korvel.sample(result, 10, problem=problem.sample)
    fixed, _ = film_problem(free=())
    with pytest.raises(korvel.KorvelError, match="no free parameter"):
        korvel.sample(fixed, 10)


def test_a_pickled_result_keeps_its_search_limits_window_and_problem():
    import pickle

    problem, _ = film_problem(resolution="model")
    problem.data.resolution = 0.01 * np.ones(len(problem.data.theta))
    result = korvel.fit(problem, optimizer="pso", population=12, generations=5, seed=6)
    again = pickle.loads(pickle.dumps(result))
    assert (again.method, again.generations, again.fit_window) == \
        (result.method, result.generations, result.fit_window)
    assert [(p.start, p.lower, p.upper, p.at_limit) for p in again.parameters] == \
        [(p.start, p.lower, p.upper, p.at_limit) for p in result.parameters]
    assert again.problem.resolution == "model"
    np.testing.assert_array_equal(again.problem.data.resolution, problem.data.resolution)
    with pytest.warns(korvel.KorvelWarning):
        posterior = korvel.sample(again, 20, seed=1)
    with pytest.warns(korvel.KorvelWarning):
        original = korvel.sample(result, 20, seed=1)
    np.testing.assert_array_equal(posterior.chain, original.chain)
