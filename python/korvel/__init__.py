"""Korvel: specular X-ray and neutron reflectivity of layered samples.

Simulate the reflectivity of a layer stack, fit a stack to a measured curve, and read
and write the program's files. Units throughout: lengths (thickness, roughness,
wavelength) in angstrom, glancing angles theta in degrees, Qz in 1/angstrom, the two
density columns of a layer in the sample's density units (0 delta and beta, 1
scattering length density in 1/A^2, 2 electrons per A^3, 3 Qc^2 in 1/A^2 and mu in
1/A).

    import numpy as np, korvel
    s = korvel.read_sample("examples/multilayer/w-si-40.mdl")
    R = korvel.reflectivity(s, theta=np.linspace(0.01, 5, 2000), method="matrix")

Every failure is a korvel.KorvelError with the program's message and its place.
"""

import os

from . import _korvel
from ._batch import fit_many
from ._errors import KorvelError, KorvelWarning
from ._korvel import (
    Curve,
    FitCurve,
    FitProblem,
    FitResult,
    Layer,
    Parameter,
    Posterior,
    Progress,
    Sample,
    Simulation,
    __version__,
    fit,
    format_limits,
    merit,
    parse_limits,
    profile,
    read_text,
    reflectivity,
    residuals,
    sample,
    series_seed,
    simulate,
    write_text,
)

__all__ = [
    "Curve", "FitCurve", "FitProblem", "FitResult", "KorvelError", "KorvelWarning", "Layer",
    "Parameter", "Posterior", "Progress", "Sample", "Simulation", "fit", "fit_many", "merit",
    "profile", "read_data", "read_limits", "read_problem", "read_sample", "reflectivity",
    "residuals", "sample", "series_seed", "simulate", "write_data", "write_limits",
    "write_ort", "write_results", "write_sample",
]


def read_sample(path, density_units=0):
    """The sample of the model file (.mdl) at `path`; density_units (0..3) says what its
    two density columns hold. A file that ends early reads its missing numbers as 0
    and gives a KorvelWarning."""
    return Sample.from_text(read_text(os.fspath(path)), density_units, os.fspath(path))


def write_sample(sample, path):
    """Writes `sample` as a model file (.mdl) at `path`, replacing it atomically."""
    write_text(os.fspath(path), sample.to_text())


def read_limits(path, parameter_count):
    """The limits file (.lmt) at `path` of a model of `parameter_count` parameters (4 per
    layer), as an (n, 3) array of lower bound, upper bound and step column."""
    return parse_limits(read_text(os.fspath(path)), parameter_count, os.fspath(path))


def write_limits(limits, path):
    """Writes an (n, 3) limits array as a limits file (.lmt) at `path`."""
    write_text(os.fspath(path), format_limits(limits))


def read_data(path, uncertainties=False, qz=False, wavelength=0.0, dataset=1, dq_fwhm=False):
    """The curve of the data file at `path`.

    The program's .dat file: per point the abscissa (theta in degrees, or with qz Qz in
    1/A turned into theta at `wavelength` A), the intensity and, with uncertainties, its
    uncertainty.

    A column file (name ending in .ort, or first non-blank character '#'): an ORSO text
    file (its header names the columns Qz, R, sR, sQz and their units, 1/A or 1/nm, and
    whether the resolution is a standard deviation or a FWHM) or plain columns Qz [1/A],
    R, dR, dQ. dataset picks one of several data sets (1 = the first); dq_fwhm reads a
    plain file's dQ as FWHM. Qz is turned into theta at `wavelength` (A; 0 takes the
    file's own, and any other is compared with it). The curve carries the uncertainty
    and the resolution (curve.resolution: standard deviation in Qz, 1/A, NaN where the
    file says unknown) when the file gives them. Points with R <= 0 or dR <= 0 are left
    out; what was left out or assumed comes as a KorvelWarning."""
    path = os.fspath(path)
    text = read_text(path)
    if _korvel.is_column_data(path, text):
        return _korvel.parse_column_data(text, path, wavelength, dataset, dq_fwhm)[0]
    if dataset != 1:
        raise KorvelError(f"The data file holds 1 data set: there is no data set {dataset}.",
                          path)
    return Curve.from_text(text, uncertainties, qz, wavelength, path)


def write_data(curve, path, qz=False, wavelength=0.0):
    """Writes `curve` as a data file (.dat) at `path` (with qz: Qz in 1/A at
    `wavelength` A as the abscissa)."""
    write_text(os.fspath(path), curve.to_text(qz, wavelength))


def read_problem(path, **options):
    if "data_file" in options:
        options["data_file"] = os.fspath(options["data_file"])
    return _korvel.read_problem(os.fspath(path), **options)


read_problem.__doc__ = _korvel.read_problem.__doc__


def write_ort(result, path, problem=None):
    """Writes the fit's measured and fitted curves as an ORSO text file (.ort) at `path`,
    replacing it atomically: a header naming the program, the model and data files and
    the resolution the fit smeared with, then the columns Qz (1/A), R, sR, sQz and Rfit.
    problem: the FitProblem fitted, when not the result's own (result.problem)."""
    write_text(os.fspath(path), _korvel.format_ort(result, problem))


def write_results(result, folder):
    """Writes the fit result's .bst, .pct and .loc files into `folder` (made when
    missing), named after the problem's model file, exactly as the program writes
    them; all three are replaced together or none. Returns the three paths."""
    folder = os.fspath(folder)
    try:
        os.makedirs(folder, exist_ok=True)
    except OSError:
        pass  # the writer reports what is wrong with the folder in the program's words
    return _korvel.write_results(result, folder)
