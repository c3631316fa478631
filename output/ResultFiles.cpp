// Writers of the .bst, .pct and .loc result texts in the program's fixed number
// formats (E(w), F(w.d), I(n); see output/NumberFormat.h).

#include "output/ResultFiles.h"

#include <chrono>
#include <cmath>
#include <ctime>

#include "app/Workspace.h"
#include "input/ModelReader.h"
#include "base/ParameterIndex.h"
#include "base/NumberFormat.h"
#include "base/ResultSetWriter.h"

namespace korvel {

namespace {

const char* CalculationName(char mode) {
    switch (mode) {
        case 'F':
            return "Fourier";
        case 'P':
            return "Parratt";
        case 'M':
            return "Matrix";
        default:
            return "";
    }
}

double LayerThickness(const LayerModel& model, int layer) {
    return model.Value(ParameterIndex(layer, Column::Thickness));
}

void AppendThicknessSummary(const Workspace& ws, std::string& text) {
    const LayerModel& model = ws.Model;
    const int top = model.Counts.TopLayerCount;
    const int unit = model.Counts.RepeatUnitLayerCount;
    const int bottom = model.Counts.BottomLayerCount;
    double repeatUnit = 0.0;
    for (int layer = top + 1; layer <= top + unit; ++layer)
        repeatUnit += LayerThickness(model, layer);
    double total = 0.0;
    for (int layer = 1; layer <= top; ++layer) total += LayerThickness(model, layer);
    for (int layer = top + unit + 1; layer <= top + unit + bottom; ++layer)
        total += LayerThickness(model, layer);
    total += model.Counts.RepeatCount * repeatUnit;

    text += "Repeat Unit Length = " + FormatF(repeatUnit, 10, 4);
    if (ws.Settings.RepeatUnitFixed) text += "  /fixed/";
    text += kLineEnd;
    text += "Total thickness    = " + FormatF(total, 10, 4) + kLineEnd;
}

}  // namespace

double SecondsSinceMidnight() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&seconds, &local);
    const auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() %
        1000;
    return local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec + millis / 1000.0;
}

void WriteModelBlock(Workspace& ws, std::string& text) {
    LayerModel& model = ws.Model;
    const FreeParameters& free = ws.Free;
    const int b = ws.Fit.BestVertex - 1;
    for (int k = 1; k <= free.FreeCount; ++k)
        model.SetValue(free.ModelIndexOfFree(k), free.Vertices[b][k - 1]);
    ws.Fit.BestMerit = free.VertexMerit[b];

    for (int j = 1; j <= model.ParameterCount; ++j) {
        double value = model.Value(j);
        if (IsDensityParameter(j))
            value = ToFileUnits(j, value, ws.Settings.DensityUnits, model.Header.Wavelength);
        text += FormatE(value, 15) + "  ";
        if (j % 4 == 0) text += kLineEnd;
    }
    text += kLineEnd;
    text += "Norma   = " + FormatE(ws.Fit.BestMerit) + kLineEnd;
    text += "W_Norma = " + FormatE(ws.Fit.BestMerit / ws.Fit.ZeroCurveMerit) + kLineEnd;
    text += "#Calls  = " + FormatI(ws.Fit.EvaluationCount) + kLineEnd;
    AppendThicknessSummary(ws, text);
}

std::string ResultModelText(Workspace& ws) {
    const ModelHeader& header = ws.Model.Header;
    const LayerCounts& counts = ws.Model.Counts;
    const RunSettings& settings = ws.Settings;
    std::string text = FormatF(header.Wavelength, 8, 4);
    for (double value :
         {header.WavelengthSpread, header.ResolutionOffset1, header.ResolutionOffset2,
          header.ResolutionSlope1, header.ResolutionSlope2})
        text += " " + FormatF(value, 7, 4);
    text += kLineEnd;
    text += FormatI(counts.TopLayerCount) + " " + FormatI(counts.RepeatUnitLayerCount) + " " +
            FormatI(counts.BottomLayerCount) + " " + FormatI(counts.RepeatCount) + kLineEnd;

    WriteModelBlock(ws, text);

    text +=
        std::string("Calculation by  : ") + CalculationName(settings.CalculationMode) + kLineEnd;
    if (ws.Weighting.FresnelWeights) text += std::string("Residue weight  : Fresnel") + kLineEnd;
    if (settings.ErrorsFromFile)
        text += std::string("Residue weight  : Error Bar from file") + kLineEnd;
    if (ws.Weighting.FractionWeights)
        text += "Residue weight  : Iexp*" + FormatF(ws.Weighting.ErrorFraction, 6, 3) + kLineEnd;
    text += "CutOff Level     : " + FormatE(settings.CutOffLevel, 10) + kLineEnd;
    text += "Data file name   : " + settings.DataFileName + kLineEnd;
    text += "Model file name  : " + settings.ModelFileName + kLineEnd;
    text += "Limits file name : " + settings.LimitsFileName + kLineEnd;
    text +=
        "Scaling Factor for none smeared curve : " + FormatE(ws.Fit.ScaleUnsmeared, 15) + kLineEnd;
    text +=
        "Scaling Factor for smeared curve      : " + FormatE(ws.Fit.ScaleSmeared, 15) + kLineEnd;
    text += kLineEnd;
    text += std::string(" Variables :") + kLineEnd;
    const FreeParameters& free = ws.Free;
    for (int k = 1; k <= free.FreeCount; ++k) {
        const int j = free.ModelIndexOfFree(k);
        text += std::string("[") + ParameterLabel(j) + ":" + FormatI(LayerOf(j), 2) + "], ";
    }
    text += kLineEnd;
    text += kLineEnd;
    for (int j = 1; j <= ws.Model.ParameterCount; ++j) {
        const int target = j - 1 < static_cast<int>(free.StepPercent.size())
                               ? static_cast<int>(free.StepPercent[j - 1])
                               : 0;
        if (target <= 0) continue;
        text += std::string("[") + ParameterLabel(j) + ":" + FormatI(LayerOf(j)) + "] <== [" +
                ParameterLabel(j) + ":" + FormatI(target) + "]" + kLineEnd;
    }
    return text;
}

std::string FittedCurveText(const Workspace& ws) {
    const CurveArrays& curves = ws.Curves;
    std::string text;
    text.reserve(curves.PointCount * 50);
    for (int i = 0; i < curves.PointCount; ++i) {
        const double abscissa = ws.Settings.QzInverseAngstrom
                                    ? AngleToQz(curves.Angle[i], ws.Model.Header.Wavelength)
                                    : curves.Angle[i];
        text += FormatE(abscissa, 15) + " " + FormatE(curves.MeasuredIntensity[i], 15) + " " +
                FormatE(curves.SmearedCurve[i], 15) + kLineEnd;
    }
    return text;
}

void WriteFitResults(Workspace& ws, ResultSetWriter& results) {
    results.Write(ws.Files.ResultModelFile, ResultModelText(ws));
    results.Write(ws.Files.FittedCurveFile, FittedCurveText(ws));
    results.Commit();
    ws.Files.Written = true;
}

std::string LocalRunLine(const Workspace& ws) {
    const FreeParameters& free = ws.Free;
    const int b = ws.Fit.BestVertex - 1;
    std::string line;
    for (int k = 0; k < free.FreeCount; ++k)
        line +=
            " " +
            FormatE(free.FreeMid[k] + free.FreeHalfRange[k] * std::cos(free.Vertices[b][k]), 15);
    line += "    Xi= " + FormatE(free.VertexMerit[b], 17);
    line += " #ITER= " + FormatI(ws.Fit.IterationCount, 6);
    line += "  #Calls= " + FormatI(ws.Fit.EvaluationCount, 6);
    line += kLineEnd;
    return line;
}

}  // namespace korvel
