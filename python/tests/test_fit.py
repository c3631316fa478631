"""korvel.fit: the same fit as korvel-cli, fits in parallel threads, KeyboardInterrupt."""

import _thread
import os
import threading
import time

import numpy as np
import pytest

import korvel
from conftest import EXAMPLES, multilayer_problem

DEMO = EXAMPLES / "demo"
DEMO_FILES = [DEMO / name for name in ("demo.inp", "demo.dat", "au-film-start.mdl", "au-film.lmt")]


def test_a_fit_from_python_writes_what_korvel_cli_fit_writes(cli, tmp_path):
    folder = cli(DEMO_FILES, "fit", "demo.inp", "--seed", "1", "--newton", "--uncertainty",
                 "--quiet")
    reports = []
    result = korvel.fit(korvel.read_problem(DEMO / "demo.inp"), seed=1, newton=True,
                        uncertainty=True, progress=reports.append)
    written = korvel.write_results(result, tmp_path / "out")
    assert len(written) == 3
    for path in written:
        name = path.rsplit("/", 1)[1]
        assert (tmp_path / "out" / name).read_bytes() == (folder / name).read_bytes(), name

    bst = (folder / "au-film-start.bst").read_text()
    norma = float(bst.split("Norma")[1].split("=")[1].split()[0])
    assert result.chi2 == pytest.approx(norma, rel=1e-6)
    assert result.seed == 1 and not result.stopped
    assert [p.name for p in result.parameters] == ["Thickness:1", "ReDensity:1", "Roughness:1",
                                                   "Roughness:2"]
    assert all(p.uncertainty > 0 for p in result.parameters)
    assert result.parameters[0].value == pytest.approx(252.4007, rel=1e-6)
    curve = result.curve
    assert curve.theta.shape == curve.measured.shape == curve.fitted.shape == (601,)
    assert np.sum(((curve.measured - curve.fitted) / curve.uncertainty) ** 2) > 0

    # Reports come in the phases' order, and the fitted sample computes the fitted curve.
    phases = [r.phase for r in reports if r.event == "started"]
    assert phases[0] == "initial_simplex" and phases[-1] == "uncertainty"
    assert {r.event for r in reports} >= {"iteration", "run_ended", "count_down"}
    assert "between_evaluations" not in {r.event for r in reports}


def test_the_seed_repeats_a_fit_and_an_error_of_the_progress_function_ends_it():
    problem = korvel.read_problem(DEMO / "demo.inp")
    first = korvel.fit(problem)
    again = korvel.fit(problem, seed=first.seed)
    assert again.chi2 == first.chi2 and again.bst_text == first.bst_text

    def failing(report):
        if report.event == "iteration":
            raise RuntimeError("enough")

    with pytest.raises(RuntimeError, match="enough"):
        korvel.fit(problem, seed=1, progress=failing)


def fits_in_threads(problem, count):
    """Runs `count` fits of `problem` at once; their results and (start, end) times."""
    results, spans = [None] * count, [None] * count

    def run(k):
        begin = time.perf_counter()
        results[k] = korvel.fit(problem, seed=3)
        spans[k] = (begin, time.perf_counter())

    threads = [threading.Thread(target=run, args=(k,)) for k in range(count)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    return results, spans


def test_fits_in_threads_run_at_the_same_time_and_agree():
    # A fit that kept the GIL would run start to end before the other could start.
    problem = multilayer_problem(200)
    results, spans = fits_in_threads(problem, 2)
    assert max(begin for begin, _ in spans) < min(end for _, end in spans)
    assert results[0].bst_text == results[1].bst_text == korvel.fit(problem, seed=3).bst_text


@pytest.mark.skipif(os.cpu_count() < 2 or os.getloadavg()[0] > os.cpu_count() - 1.5,
                    reason="needs two cores that other programs leave free")
def test_two_fits_in_two_threads_take_clearly_less_time_than_one_after_the_other():
    problem = multilayer_problem(400)
    start = time.perf_counter()
    for _ in range(2):
        korvel.fit(problem, seed=3)
    serial_seconds = time.perf_counter() - start
    start = time.perf_counter()
    fits_in_threads(problem, 2)
    parallel_seconds = time.perf_counter() - start
    assert parallel_seconds < 0.75 * serial_seconds, (parallel_seconds, serial_seconds)


def test_keyboard_interrupt_ends_the_search_with_the_best_result_so_far():
    problem = multilayer_problem(2000)
    timer = threading.Timer(0.5, _thread.interrupt_main)
    start = time.perf_counter()
    timer.start()
    result = korvel.fit(problem, seed=3, newton=True, uncertainty=True)
    seconds = time.perf_counter() - start
    timer.join()
    assert result.stopped
    assert seconds < 3.0  # the whole fit takes several seconds
    assert result.chi2 > 0 and len(result.parameters) == 7
    assert "Uncertainty" not in result.bst_text


def test_a_second_keyboard_interrupt_raises_at_once():
    problem = korvel.read_problem(DEMO / "demo.inp")
    interrupts = []

    def interrupting(report):
        # Each interrupt arrives while the fit runs: the first ends the search, the
        # second (in the wind-down of the simplex run) leaves the fit.
        if report.event in ("iteration", "ended") and len(interrupts) < 2:
            interrupts.append(report)
            _thread.interrupt_main()

    with pytest.raises(KeyboardInterrupt):
        korvel.fit(problem, seed=1, progress=interrupting)
    assert len(interrupts) == 2
