// The file conveniences of the library: a fit problem read from a command file and
// the files it names, as the fitting run reads them; a fit result's files written
// together through the result-set writer.

#include <filesystem>
#include <string>
#include <vector>

#include "api/Conversion.h"
#include "base/InputTexts.h"
#include "base/NumberFormat.h"
#include "base/NumberStream.h"
#include "base/ResultSetWriter.h"
#include "base/RunError.h"
#include "base/TextFile.h"
#include "input/CommandFileReader.h"
#include "input/DataReader.h"
#include "input/LimitsReader.h"
#include "input/ModelReader.h"
#include "korvel/korvel.h"
#include "model/RunFilePath.h"

namespace korvel::api {

namespace {

constexpr double kDialogToleranceFallback = 1e-5;
constexpr double kDefaultErrorFraction = 0.03;

// A number as it comes back from the settings dialog's field, which shows it in E(15)
// (seven significant digits): the fitting run fits with that value.
double ThroughDialogField(double value, double fallback) {
    return ParseRealTrimmed(FormatE(value, 15)).value_or(fallback);
}

// The settings of the command file as the "Command File Parameters" dialog hands them
// back with the three choices the file does not carry.
RunSettings DialogSettings(const CommandFileContents& read, const ReadOptions& options) {
    RunSettings s = read.Settings;
    s.QzInverseAngstrom = options.Qz;
    s.DensityUnits = DensityUnitsIndex(options.Units, "ReadProblem: the density units");
    // The choice is offered only for a model with a repeat unit.
    s.RepeatUnitFixed = read.Model.Counts.RepeatUnitLayerCount != 0 && options.RepeatUnitFixed;
    s.FitTolerance = ThroughDialogField(s.FitTolerance, kDialogToleranceFallback);
    s.CutOffLevel = ThroughDialogField(s.CutOffLevel, 0.0);
    s.CalculationMode = MethodLetter(MethodOfLetter(s.CalculationMode));
    return s;
}

void SetWeighting(FitProblem& problem, const RunSettings& s, const ReadOptions& options) {
    if (s.ErrorsFromFile) {
        problem.Weights = Weighting::FromData;
        return;
    }
    if (options.Weights == Weighting::FromData)
        throw RunError(
            "The data file carries no uncertainties: the weights must be Fresnel or Fraction.",
            s.CommandFileName);
    problem.Weights = options.Weights;
    // The dialog's rule: a fraction that is not above 0 is the default one.
    problem.ErrorFraction =
        options.ErrorFraction > 0.0 ? options.ErrorFraction : kDefaultErrorFraction;
}

// Refuses to replace an input named in the report with a result.
void CheckNotAnInput(const FitResult& result, const std::string& folder,
                     const std::string& resultPath) {
    namespace fs = std::filesystem;
    for (const std::string* input :
         {&result.ModelFileName, &result.DataFileName, &result.LimitsFileName}) {
        if (input->empty()) continue;
        const fs::path path(*input);
        const std::string inputPath =
            path.is_absolute() ? *input : (fs::path(folder) / path).string();
        if (SameFile(resultPath, inputPath))
            throw RunError("An input file would be overwritten by a result file.", resultPath);
    }
}

// The model and limits files of a problem whose data are read.
void ReadModelAndLimits(FitProblem& problem, InputTexts& inputs, const RunSettings& s,
                        const std::string& modelPath, const std::string& limitsPath) {
    // A missing limits file is reported before anything is wrong with the model.
    inputs.CheckReadable(limitsPath);
    problem.Model = ParseSample(inputs.Read(modelPath), static_cast<DensityUnits>(s.DensityUnits),
                                modelPath, &problem.Warnings);
    const int parameterCount = 4 * static_cast<int>(problem.Model.Layers.size());
    std::vector<std::string> limitsWarnings;
    problem.Bounds =
        ParseLimits(inputs.Read(limitsPath), parameterCount, limitsPath, &limitsWarnings);
    // A short limits file matters only to a fit: a run that only evaluates ignores it.
    if (s.FitMode)
        problem.Warnings.insert(problem.Warnings.end(), limitsWarnings.begin(),
                                limitsWarnings.end());
}

}  // namespace

FitProblem ReadProblem(const std::string& path, const ReadOptions& options) {
    // A file that gives its contents once (a named pipe) is read once.
    InputTexts inputs;
    RunSettings start;
    start.CommandFileName = path;
    const CommandFileContents read =
        korvel::ParseCommandFile(ReadWholeFile(path), path, start,
                                 [&inputs](const std::string& file) { return inputs.Read(file); });
    const RunSettings s = DialogSettings(read, options);

    FitProblem problem;
    problem.DataFileName = options.DataFile.empty() ? s.DataFileName : options.DataFile;
    problem.ModelFileName = s.ModelFileName;
    problem.LimitsFileName = s.LimitsFileName;
    problem.Method = MethodOfLetter(s.CalculationMode);
    problem.FitMode = s.FitMode;
    problem.DataScaled = s.DataScaled;
    problem.CutOff = s.CutOffLevel;
    problem.Tolerance = s.FitTolerance;
    problem.MaxIterations = s.MaxIterations;
    problem.RepeatUnitFixed = s.RepeatUnitFixed;
    problem.QzAbscissa = s.QzInverseAngstrom;
    SetWeighting(problem, s, options);

    // The data, in degrees: Qz turned into angles with the wavelength of the model.
    const std::string dataPath =
        options.DataFile.empty() ? RunFilePath(s, s.DataFileName) : options.DataFile;
    const std::string modelPath = RunFilePath(s, s.ModelFileName);
    const std::string limitsPath = RunFilePath(s, s.LimitsFileName);
    const std::string dataText = ReadWholeFile(dataPath);
    if (IsColumnData(dataPath, dataText)) {
        // Qz always, turned into angles with the model's wavelength; the file's
        // uncertainties when the command file takes them and the file gives them.
        LayerModel model;
        ParseModelHeader(inputs.Read(modelPath), modelPath, model);
        ColumnDataRead column = ParseColumnData(dataText, dataPath, model.Header.Wavelength,
                                                options.DataSet, options.ResolutionIsFwhm);
        problem.Data = std::move(column.Data);
        problem.Warnings = std::move(column.Warnings);
        if (problem.Data.Uncertainty.empty() || !s.ErrorsFromFile) {
            problem.Data.Uncertainty.clear();
            RunSettings weighted = s;
            weighted.ErrorsFromFile = false;
            SetWeighting(problem, weighted, options);
        }
        problem.Resolution = options.Resolution;
        ReadModelAndLimits(problem, inputs, s, modelPath, limitsPath);
        return problem;
    }
    if (options.DataSet != 1)
        throw RunError("The data file holds 1 data set: there is no data set " +
                           std::to_string(options.DataSet) + ".",
                       dataPath);
    const DataPoints data = ParseDataPoints(dataText, dataPath, s.ErrorsFromFile);
    LayerModel header;
    if (s.QzInverseAngstrom) ParseModelHeader(inputs.Read(modelPath), modelPath, header);
    CurveArrays curves;
    FillMeasuredCurves(data, s.QzInverseAngstrom, header.Header.Wavelength, WeightingState{},
                       curves);
    const std::size_t n = curves.PointCount;
    problem.Data = ToCurve(
        std::span(curves.Angle.data(), n), std::span(curves.MeasuredIntensity.data(), n),
        s.ErrorsFromFile ? std::span(curves.Uncertainty.data(), n) : std::span<const double>());

    problem.Resolution = options.Resolution;
    ReadModelAndLimits(problem, inputs, s, modelPath, limitsPath);
    return problem;
}

std::string ReadTextFile(const std::string& path) { return ReadWholeFile(path); }

void WriteTextFile(const std::string& path, const std::string& text) {
    CheckCreatable(path);
    ResultSetWriter file({path});
    file.Write(path, text);
    file.Commit();
}

std::vector<std::string> WriteResults(const FitResult& result, const std::string& folder,
                                      bool flushNow) {
    namespace fs = std::filesystem;
    const std::string stem = result.ModelFileName.empty()
                                 ? std::string("model")
                                 : fs::path(result.ModelFileName).stem().string();
    const fs::path base = fs::path(folder) / stem;
    const std::vector<std::string> paths = {base.string() + ".bst", base.string() + ".pct",
                                            base.string() + ".loc"};
    for (const std::string& path : paths) {
        CheckNotAnInput(result, folder, path);
        CheckCreatable(path);
    }
    ResultSetWriter results(paths, flushNow ? FlushToDisk::Now : FlushToDisk::Later);
    results.Write(paths[0], result.BstText);
    results.Write(paths[1], result.PctText);
    results.Write(paths[2], result.LocText);
    results.Commit();
    return paths;
}

void FlushFolder(const std::string& folder) { FlushFileSystemOf(folder); }

}  // namespace korvel::api
