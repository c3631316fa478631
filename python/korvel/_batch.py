"""Many fits at once: korvel.fit_many on a local thread pool or a Dask cluster."""

import concurrent.futures
import os

from . import _korvel


def _fit_one(problem, seed, options):
    # One engine thread per fit: the fits themselves are what runs in parallel.
    return _korvel.fit(problem, seed=seed, threads=1, **options)


def _clock_seed():
    return int.from_bytes(os.urandom(8), "little") >> 1


def fit_many(problems, seed=None, jobs=None, client=None, progress=None,
             return_exceptions=False, **options):
    """Fits every problem of `problems` independently; returns the FitResults in the
    order of the problems.

    seed: the series' seed; the fit of problem i gets korvel.series_seed(seed, i), the
    seed `korvel-cli batch --seed` gives the i-th data file, so the results depend
    neither on the workers nor on the order in which fits end (None: one from the
    system's random source; each result reports its seed).
    jobs: fits at once on a local thread pool (None: one per processor). The GIL is
    released while a fit computes, so the threads run in parallel.
    client: a dask.distributed.Client; the fits are mapped over its workers instead
    (the problems and results pickle). Dask is imported only then.
    progress: called as progress(done, total) in the calling thread as fits end.
    return_exceptions: put a failed fit's KorvelError in its place of the list instead
    of raising it.
    options: passed to korvel.fit (newton, uncertainty, max_respreads).
    """
    problems = list(problems)
    base = _clock_seed() if seed is None else int(seed)
    seeds = [_korvel.series_seed(base, i) for i in range(len(problems))]
    if not problems:
        return []
    if client is not None:
        return _on_cluster(client, problems, seeds, options, progress, return_exceptions)
    results = [None] * len(problems)
    workers = jobs if jobs is not None else (os.cpu_count() or 1)
    with concurrent.futures.ThreadPoolExecutor(max_workers=max(1, workers)) as pool:
        futures = {pool.submit(_fit_one, p, s, options): i
                   for i, (p, s) in enumerate(zip(problems, seeds))}
        try:
            for done, future in enumerate(concurrent.futures.as_completed(futures), 1):
                results[futures[future]] = _outcome(future.exception, future.result,
                                                    return_exceptions)
                if progress is not None:
                    progress(done, len(problems))
        except BaseException:
            for future in futures:
                future.cancel()
            raise
    return results


def _outcome(exception, result, return_exceptions):
    error = exception()
    if error is None:
        return result()
    if return_exceptions and isinstance(error, Exception):
        return error
    raise error


def _on_cluster(client, problems, seeds, options, progress, return_exceptions):
    from dask.distributed import as_completed

    futures = client.map(_fit_one, problems, seeds, options=options, pure=False)
    position = {future.key: i for i, future in enumerate(futures)}
    results = [None] * len(problems)
    try:
        for done, future in enumerate(as_completed(futures), 1):
            results[position[future.key]] = _outcome(future.exception, future.result,
                                                     return_exceptions)
            if progress is not None:
                progress(done, len(problems))
    except BaseException:
        client.cancel(futures)
        raise
    return results
