"""korvel.fit_many: problems and results pickle; a local thread pool, a Dask cluster of
worker processes and korvel-cli batch give the same fits for the same seed."""

import os
import pickle
import subprocess

import numpy as np
import pytest

import korvel
from conftest import EXAMPLES

DEMO = EXAMPLES / "demo"
SERIES = 20


@pytest.fixture
def series(tmp_path):
    """The demo's film at every sixth angle, its intensity scaled a little more for each
    data set: SERIES small data files beside a command file with a loose tolerance."""
    angle, r, dr = np.loadtxt(DEMO / "demo.dat", unpack=True)
    names = []
    for k in range(SERIES):
        name = f"f{k:02d}.dat"
        np.savetxt(tmp_path / name, np.column_stack([angle[::6], r[::6] * (1 + 0.005 * k),
                                                     dr[::6]]), fmt="%.8e")
        names.append(name)
    for name in ("au-film-start.mdl", "au-film.lmt"):
        (tmp_path / name).write_bytes((DEMO / name).read_bytes())
    (tmp_path / "series.inp").write_text(
        "f00.dat\nF\nN\nY\nau-film-start.mdl\nau-film.lmt\n1e-4\n3000\n0\nM\n")
    return tmp_path, names


def problems_of(folder, names):
    return [korvel.read_problem(folder / "series.inp", data_file=folder / name) for name in names]


def fitted(results):
    return [(r.seed, r.chi2, [p.value for p in r.parameters], r.bst_text, r.pct_text)
            for r in results]


def test_problems_and_results_pickle_unchanged(series):
    folder, names = series
    problem = korvel.read_problem(folder / "series.inp", data_file=folder / names[3])
    copy = pickle.loads(pickle.dumps(problem))
    assert copy.data_file_name == str(folder / names[3])
    np.testing.assert_array_equal(copy.sample.layers, problem.sample.layers)
    np.testing.assert_array_equal(copy.limits, problem.limits)
    np.testing.assert_array_equal(copy.data.uncertainty, problem.data.uncertainty)
    assert copy.tolerance == problem.tolerance and copy.method == problem.method

    result = korvel.fit(problem, seed=4, uncertainty=True)
    again = pickle.loads(pickle.dumps(result))
    assert again.bst_text == result.bst_text and again.loc_text == result.loc_text
    assert [(p.name, p.value, p.uncertainty) for p in again.parameters] == \
        [(p.name, p.value, p.uncertainty) for p in result.parameters]
    np.testing.assert_array_equal(again.curve.fitted, result.curve.fitted)
    np.testing.assert_array_equal(again.sample.layers, result.sample.layers)
    assert (again.seed, again.evaluations, again.chi2) == (result.seed, result.evaluations,
                                                           result.chi2)
    # The copy fits as the original does.
    assert korvel.fit(copy, seed=4).bst_text == korvel.fit(problem, seed=4).bst_text


# Dask of Debian 12 starts its event loop in a way newer tornado calls deprecated.
@pytest.mark.filterwarnings("ignore::DeprecationWarning")
def test_fit_many_on_threads_on_a_dask_cluster_and_korvel_cli_batch_agree(series):
    folder, names = series
    problems = problems_of(folder, names)
    done = []
    local = korvel.fit_many(problems, seed=21, jobs=2, progress=lambda d, t: done.append((d, t)))
    assert done[-1] == (SERIES, SERIES) and len(done) == SERIES
    assert [r.seed for r in local] == [korvel.series_seed(21, i) for i in range(SERIES)]
    assert fitted(korvel.fit_many(problems, seed=21, jobs=1)) == fitted(local)

    distributed = pytest.importorskip("dask.distributed")
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                  dashboard_address=None) as cluster, \
            distributed.Client(cluster) as client:
        remote = korvel.fit_many(problems, seed=21, client=client)
    assert fitted(remote) == fitted(local)

    program = os.environ.get("KORVEL_CLI")
    if not program:
        pytest.skip("KORVEL_CLI names no korvel-cli to compare with")
    # The data files named as the problems name them, so that the reports agree.
    subprocess.run([program, "batch", "series.inp", *[str(folder / n) for n in names],
                    "--seed", "21", "--out", "out", "--quiet"],
                   cwd=folder, check=True, capture_output=True)
    for name, result in zip(names, local):
        stem = name[:-4]
        for text, extension in ((result.bst_text, "bst"), (result.pct_text, "pct"),
                                (result.loc_text, "loc")):
            written = (folder / "out" / stem / f"au-film-start.{extension}").read_bytes()
            assert written == text.encode(), (name, extension)


def test_a_failing_problem_raises_or_takes_its_place(series):
    folder, names = series
    problems = problems_of(folder, names[:3])
    problems[1].data = korvel.Curve([0.1, 0.2], [1.0, float("nan")], [0.1, 0.1])
    with pytest.raises(korvel.KorvelError):
        korvel.fit_many(problems, seed=1, jobs=2)
    results = korvel.fit_many(problems, seed=1, jobs=2, return_exceptions=True)
    assert isinstance(results[1], korvel.KorvelError)
    assert results[0].seed == korvel.series_seed(1, 0) and results[2].chi2 > 0
