#!/usr/bin/python3
"""Speed of the Python module: korvel.reflectivity against a plain vectorised NumPy
Parratt recursion (the kind of code Python users run) on the C++ benchmark's models,
against the C++ batch-kernel times of the same run, and the cost of a call.

    usage: PYTHONPATH=<build>/python python_bench.py [KERNEL_BENCH_OUTPUT]

KERNEL_BENCH_OUTPUT is what korvel_bench printed in the same `make bench`; its table
gives the batch kernel's time per curve (1 thread) for the same models.
"""

import re
import sys
import timeit

import numpy as np

import korvel

WAVELENGTH = 1.54
SUBSTRATE = (0.0, 7.6e-6, 1.7e-7, 3.0)


def models():
    """The C++ benchmark's models M2 (20 layers) and M3 (100 periods of 2 layers)."""
    m2 = [(10.0 + 2.0 * i, (8e-6 if i % 2 == 0 else 3e-6) + 5e-8 * i, 1e-7, 3.0)
          for i in range(20)]
    unit = [(20.0, 8e-6, 5e-7, 3.0), (30.0, 3e-6, 1e-8, 3.0)]
    return {
        "M2": korvel.Sample(m2 + [SUBSTRATE], wavelength=WAVELENGTH),
        "M3": korvel.Sample(unit + [SUBSTRATE], top_layer_count=0, repeat_unit_layer_count=2,
                            repeat_count=100, wavelength=WAVELENGTH),
    }


def numpy_parratt(sample, theta):
    """Parratt's recursion with Nevot-Croce factors, vectorised over the points; the
    periods written out as a stack of layers."""
    layers = sample.layers
    top, unit = sample.top_layer_count, sample.repeat_unit_layer_count
    stack = list(layers[:top]) + list(layers[top:top + unit]) * sample.repeat_count \
        + list(layers[top + unit:])
    media = [(0.0, 0.0, 0.0, 0.0)] + stack
    k = 2 * np.pi / sample.wavelength
    cos2 = np.cos(np.radians(theta)) ** 2
    kz = []
    for _, delta, beta, _ in media:
        n = complex(1.0 - delta, -beta)
        q = k * np.sqrt(n * n - cos2 + 0j)
        kz.append(np.where(q.imag > 0, -q, q))  # the decaying root
    x = np.zeros_like(cos2, dtype=complex)
    for j in range(len(media) - 2, -1, -1):
        sigma = media[j + 1][3]
        r = (kz[j] - kz[j + 1]) / (kz[j] + kz[j + 1]) * np.exp(-2 * kz[j] * kz[j + 1] * sigma**2)
        x = (r + x) / (1 + r * x)
        if j > 0:
            x = x * np.exp(-2j * kz[j] * media[j][0])
    return np.abs(x) ** 2


def best_seconds(call, minimum=0.2):
    """Seconds per call, the fastest of seven repetitions (the machine is shared)."""
    timer = timeit.Timer(call)
    number, _ = timer.autorange()
    number = max(number, int(number * minimum / 0.2))
    return min(timer.repeat(7, number)) / number


def kernel_times(path):
    """ms per 1000-point curve of the batch kernel on 1 thread, by (model, mode letter)."""
    times = {}
    try:
        lines = open(path).read().splitlines()
    except OSError:
        return times
    row = re.compile(r"^(M[23])\s+([PMF])\s+\d+\s+" + r"([\d.]+) \(\s*[\d.]+\)\s+" * 2)
    for line in lines:
        # "M2     P       21     1.234 (  5.87)    0.123 (  0.59)  ...": reference, batch 1
        found = row.match(line)
        if found:
            times[found[1], found[2]] = float(found[4]) / 1e3
    return times


def main():
    kernel = kernel_times(sys.argv[1]) if len(sys.argv) > 1 else {}
    theta = np.linspace(0.01, 5.0, 1000)
    rows, checks = [], []
    for name, sample in models().items():
        ours = korvel.reflectivity(sample, theta, method="parratt", smeared=False)
        theirs = numpy_parratt(sample, theta)
        # The same curve: the engine's roughness factors take kz to first order in delta
        # and beta, which moves the sixth digit.
        assert np.allclose(ours, theirs, rtol=1e-5, atol=0), name
        numpy_s = best_seconds(lambda: numpy_parratt(sample, theta))
        for method, letter in (("parratt", "P"), ("matrix", "M")):
            s = best_seconds(lambda: korvel.reflectivity(sample, theta, method=method))
            rows.append((name, method, s, numpy_s, kernel.get((name, letter))))
        target = 3 if name == "M2" else 50
        parratt = next(r for r in rows if r[0] == name and r[1] == "parratt")
        checks.append((f"{name}: NumPy Parratt / korvel.reflectivity (parratt)",
                       numpy_s / parratt[2], target, True))
        for row in rows:
            if row[0] == name and row[4]:
                checks.append((f"{name} {row[1]}: korvel.reflectivity / C++ batch 1 thread",
                               row[2] / row[4], 1.2, False))

    film = korvel.Sample([(100.0, 4e-6, 1e-7, 3.0), SUBSTRATE], wavelength=WAVELENGTH)
    ten = np.linspace(0.1, 1.0, 10)
    call = best_seconds(lambda: korvel.reflectivity(film, ten))

    print("\nPython: ms per curve of 1000 points")
    print(f"{'model':6s} {'method':8s} {'korvel':>10s} {'NumPy':>10s} {'C++ batch':>10s} "
          f"{'NumPy/korvel':>13s}")
    for name, method, s, numpy_s, cxx in rows:
        cxx_text = f"{cxx * 1e3:10.3f}" if cxx else f"{'-':>10s}"
        print(f"{name:6s} {method:8s} {s * 1e3:10.3f} {numpy_s * 1e3:10.3f} {cxx_text} "
              f"{numpy_s / s:13.1f}")
    print(f"korvel.reflectivity of a 10-point curve: {call * 1e6:.1f} us per call")
    checks.append(("korvel.reflectivity, 10 points: us per call", call * 1e6, 20, False))

    print("\nTargets (Python)")
    for what, value, target, at_least in checks:
        met = value >= target if at_least else value <= target
        print(f"  {what:58s} {value:8.2f}  {'>=' if at_least else '<='} {target:5.2f}  "
              f"{'met' if met else 'MISSED'}")


if __name__ == "__main__":
    main()
