// The ORSO text file of a measured and a fitted curve.

#include "output/OrtText.h"

#include <cmath>
#include <cstdio>

namespace korvel {
namespace {

// A YAML string in double quotes: a path may hold ": ", " #", quotes of its own or
// even a line break, which written bare would end the '#' header line.
std::string Quoted(const std::string& text) {
    std::string quoted = "\"";
    for (const char c : text) {
        if (static_cast<unsigned char>(c) < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02x", static_cast<unsigned>(c));
            quoted += escape;
            continue;
        }
        if (c == '"' || c == '\\') quoted += '\\';
        quoted += c;
    }
    return quoted + "\"";
}

// Free text on a header line: control characters (a line break above all) as blanks.
std::string OneLine(std::string text) {
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20) c = ' ';
    return text;
}

std::string ShortNumber(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.10g", value);
    return text;
}

// The format's recommended '%-22.16e'; NaN as "nan".
std::string Column(double value) {
    char text[40];
    if (std::isnan(value))
        std::snprintf(text, sizeof text, "%-22s", "nan");
    else
        std::snprintf(text, sizeof text, "%-22.16e", value);
    return text;
}

double At(const std::vector<double>& values, std::size_t i) {
    return i < values.size() ? values[i] : std::nan("");
}

}  // namespace

std::string FormatOrt(const OrtHeader& header, const ColumnCurve& measured,
                      std::span<const double> fitted) {
    const std::string program = Quoted(header.Program);
    const std::string version = Quoted(header.Version);
    std::string text;
    text.reserve(600 + measured.Qz.size() * 120);
    auto line = [&text](const std::string& content) { text += "# " + content + "\n"; };
    line("# ORSO reflectivity data file | 1.0 standard | YAML encoding | "
         "https://www.reflectometry.org/");
    line("# measured and fitted reflectivity | " + OneLine(header.DataFile) + " | " +
         OneLine(header.ModelFile));
    line("data_source:");
    line("  owner: {name: null, affiliation: null}");
    line("  experiment: {title: null, instrument: null, start_date: null, probe: null}");
    line("  sample: {name: null}");
    line("  measurement:");
    line("    instrument_settings:");
    line("      incident_angle: null");
    line(header.Wavelength > 0.0
             ? "      wavelength: {magnitude: " + ShortNumber(header.Wavelength) +
                   ", unit: angstrom}"
             : std::string("      wavelength: null"));
    line("      polarization: null");
    line("    data_files:");
    line("    - file: " + Quoted(header.DataFile));
    line("reduction:");
    line("  software: {name: " + program + ", version: " + version + "}");
    line("  comment: the measured points a fit took, with the curve fitted to them");
    line("analysis:");
    line("  software: {name: " + program + ", version: " + version + "}");
    line("  model_file: " + Quoted(header.ModelFile));
    line("  resolution: " + Quoted(header.Resolution));
    if (!measured.Name.empty()) line("data_set: " + Quoted(measured.Name));
    line("columns:");
    line("- {name: Qz, unit: 1/angstrom, physical_quantity: normal_wavevector_transfer}");
    line("- {name: R, physical_quantity: reflectivity}");
    line("- {error_of: R, error_type: uncertainty, value_is: sigma}");
    line("- {error_of: Qz, error_type: resolution, value_is: sigma}");
    line("- {name: Rfit, physical_quantity: reflectivity, comment: " +
         Quoted("the fitted model's curve, smeared and scaled as the fit compared it") + "}");
    std::string names = "# #";
    for (const char* name : {"Qz", "R", "sR", "sQz", "Rfit"}) {
        char cell[32];
        std::snprintf(cell, sizeof cell, " %-22s", name);
        names += cell;
    }
    while (names.back() == ' ') names.pop_back();
    text += names + "\n";

    for (std::size_t i = 0; i < measured.Qz.size(); ++i) {
        std::string row = Column(measured.Qz[i]) + " " + Column(At(measured.R, i)) + " " +
                          Column(At(measured.dR, i)) + " " + Column(At(measured.dQz, i)) + " " +
                          Column(i < fitted.size() ? fitted[i] : std::nan(""));
        while (!row.empty() && row.back() == ' ') row.pop_back();
        text += row + "\n";
    }
    return text;
}

}  // namespace korvel
