#pragma once
// Synthetic fits written to the current folder: a command file, a film model with
// placeholders, data computed from the true model by a simulation run, and the wrong
// starting model. Shared by the tests of whole fitting runs.

#include <sstream>
#include <string>
#include <vector>

#include "ScriptedRunInterface.h"
#include "TestFiles.h"
#include "app/FittingRun.h"
#include "app/Workspace.h"

namespace korvel::testing::synthetic {

struct CommandFile {
    std::string Mode = "F";
    std::string Scaled = "N";  // N: the data are already scaled
    std::string ErrorsFromFile = "Y";
    double Tolerance = 1e-8;
    int MaxIterations = 300;
    char Calculation = 'P';
};

inline void WriteCommandFile(const CommandFile& c) {
    std::ostringstream s;
    s << "# synthetic fit\n"
      << "data.dat\n"
      << c.Mode << "\n"
      << c.Scaled << "\n"
      << c.ErrorsFromFile << "\n"
      << "model.mdl\n"
      << "model.lmt\n"
      << c.Tolerance << "\n"
      << c.MaxIterations << "\n"
      << "0\n"
      << c.Calculation << "\n";
    WriteText("fit.inp", s.str());
}

// Single film on a substrate, delta/beta units, no resolution smearing.
inline const char* kFilmModel =
    "1.5405 0 0 0 0 0\n"
    "1 0 0 0\n"
    "%T %D 2.0e-7 %R\n"
    "0 7.6e-6 1.7e-7 3\n";
inline const char* kFilmLimits =
    "100 200 10\n0.5e-5 2.5e-5 10\n0 1e-6 0\n1 10 10\n"
    "0 0 0\n0 0 0\n0 0 0\n0 0 0\n";

inline std::string Fill(std::string text, double thickness, double delta, double roughness) {
    auto put = [&text](const std::string& key, double value) {
        std::ostringstream s;
        s.precision(17);
        s << value;
        text.replace(text.find(key), key.size(), s.str());
    };
    put("%T", thickness);
    put("%D", delta);
    put("%R", roughness);
    return text;
}

inline Workspace NewWorkspace(std::uint64_t seed = 2024) {
    Workspace ws;
    ws.Settings.CommandFileName = "fit.inp";
    ws.Options.Seed = seed;
    ws.Options.MaxRespreads = 0;
    return ws;
}

// Writes data.dat with the curve of the current model.mdl at the given abscissae,
// computed by a "Simulate" run, with dI = fraction * I as third column.
inline void WriteSyntheticData(const std::vector<double>& abscissae, bool qz = false,
                        int densityUnits = 0) {
    std::string placeholder;
    for (double x : abscissae) {
        std::ostringstream line;
        line.precision(10);
        line << x << " 1 1\n";
        placeholder += line.str();
    }
    WriteText("data.dat", placeholder);
    CommandFile simulate;
    simulate.Mode = "S";
    WriteCommandFile(simulate);
    Workspace ws = NewWorkspace();
    ScriptedRunInterface ui;
    ui.EditCommandFileDialog = [&](CommandFileDialogRecord& record) {
        record.QzFormat = qz ? 1 : 0;
        record.DensityUnits = densityUnits;
    };
    RunFitting(ws, ui);
    std::istringstream pct(ReadText("model.pct"));
    std::string data;
    double x, measured, computed;
    while (pct >> x >> measured >> computed) {
        std::ostringstream line;
        line.precision(10);
        line << x << " " << computed << " " << 0.03 * computed << "\n";
        data += line.str();
    }
    WriteText("data.dat", data);
}

inline std::vector<double> Range(double first, double last, int count) {
    std::vector<double> values(count);
    for (int i = 0; i < count; ++i) values[i] = first + (last - first) * i / (count - 1);
    return values;
}

struct FilmValues {
    double Thickness, Delta, Roughness;  // fill %T, %D and %R
};

// Writes the limits, data computed from the model filled with `truth`, then the
// model filled with the wrong `start`.
inline void PrepareFit(const std::string& model, const std::string& limits, FilmValues truth,
                FilmValues start, const std::vector<double>& abscissae, bool qz = false,
                int densityUnits = 0) {
    WriteText("model.lmt", limits);
    WriteText("model.mdl", Fill(model, truth.Thickness, truth.Delta, truth.Roughness));
    WriteSyntheticData(abscissae, qz, densityUnits);
    WriteText("model.mdl", Fill(model, start.Thickness, start.Delta, start.Roughness));
}

}  // namespace korvel::testing::synthetic
