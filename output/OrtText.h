#pragma once
// The ORSO text format (.ort) written: a measured curve with the curve fitted to it, so
// that other programs of the field read the results. The header is YAML behind '#'
// markers: the format line, the measurement's wavelength and data file, the program, the
// model file and the resolution of the fit, and the five columns Qz (1/angstrom), R, sR
// (uncertainty of R, standard deviation), sQz (resolution of Qz, standard deviation) and
// Rfit; unknown values are written "nan", as the format asks.

#include <span>
#include <string>

#include "input/ColumnFile.h"

namespace korvel {

struct OrtHeader {
    std::string Program;     // name of the writing program
    std::string Version;     // its version
    std::string ModelFile;   // the fitted model
    std::string DataFile;    // the measured data
    double Wavelength = 0.0;  // A; 0: unknown
    std::string Resolution;  // what smeared the fitted curve, in words
};

// The text of the file: `measured` (its dR and dQz may be empty: written as nan) and
// `fitted`, one value per measured point. Every number in 17 significant digits, so the
// file reads back to the same doubles.
std::string FormatOrt(const OrtHeader& header, const ColumnCurve& measured,
                      std::span<const double> fitted);

}  // namespace korvel
