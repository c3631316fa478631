// The .bst, .pct and .loc result texts and the fitting log's lines in the program's
// fixed number formats (E(w), F(w.d), I(n); see base/NumberFormat.h).

#include "output/ResultFiles.h"

#include <cmath>

#include "base/NumberFormat.h"
#include "base/ParameterIndex.h"
#include "fit/FitSession.h"
#include "input/ModelReader.h"

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

void AppendThicknessSummary(const FitSession& ws, std::string& text) {
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

std::string RightAligned(const std::string& text, std::size_t width) {
    return text.size() >= width ? text : std::string(width - text.size(), ' ') + text;
}

// dParam / value in F(7.4); a value of 0 has no relative uncertainty: "    Inf".
std::string Quota(double uncertainty, double value) {
    const double quota = uncertainty / value;
    if (value == 0.0 || !std::isfinite(quota)) return RightAligned("Inf", 7);
    return FormatF(quota, 7, 4);
}

}  // namespace

std::string ModelBlockText(const FitSession& ws) {
    const LayerModel& model = ws.Model;
    std::string text;
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
    return text;
}

std::string ResultModelText(const FitSession& ws) {
    const ModelHeader& header = ws.Model.Header;
    const LayerCounts& counts = ws.Model.Counts;
    const RunSettings& settings = ws.Settings;
    std::string text = FormatF(header.Wavelength, 8, 4);
    for (double value :
         {header.WavelengthSpread, header.ResolutionOffset1, header.ResolutionOffset2,
          header.ResolutionSlope1, header.ResolutionSlope2}) {
        text += ' ';
        text += FormatF(value, 7, 4);
    }
    text += kLineEnd;
    text += FormatI(counts.TopLayerCount) + " " + FormatI(counts.RepeatUnitLayerCount) + " " +
            FormatI(counts.BottomLayerCount) + " " + FormatI(counts.RepeatCount) + kLineEnd;

    text += ModelBlockText(ws);

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

std::string FittedCurveText(const FitSession& ws) {
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

std::string LocalRunLine(const FitSession& ws) {
    const FreeParameters& free = ws.Free;
    const int b = ws.Fit.BestVertex - 1;
    std::string line;
    for (int k = 0; k < free.FreeCount; ++k) {
        line += ' ';
        line +=
            FormatE(free.FreeMid[k] + free.FreeHalfRange[k] * std::cos(free.Vertices[b][k]), 15);
    }
    line += "    Xi= " + FormatE(free.VertexMerit[b], 17);
    line += " #ITER= " + FormatI(ws.Fit.IterationCount, 6);
    line += "  #Calls= " + FormatI(ws.Fit.EvaluationCount, 6);
    line += kLineEnd;
    return line;
}

std::string NewtonSectionText(const FitSession& ws, NewtonSection section, double meritDifference) {
    auto modelSection = [&](const char* heading) {
        std::string text = kLineEnd;
        text += std::string(heading) + kLineEnd;
        text += kLineEnd;
        text += ModelBlockText(ws);
        text += "Xi2_Amoeba - Xi2_Newton = " + FormatE(meritDifference, 12) + kLineEnd;
        return text;
    };
    switch (section) {
        case NewtonSection::NewtonPoint:
            return modelSection("Model after Neuton step");
        case NewtonSection::Midpoint:
            return std::string("1/2 between Amoeba and Newton - Done.") + kLineEnd;
        case NewtonSection::Parabola:
            return std::string("Parabolic approximation between Amoeba and Newton - Done.") +
                   kLineEnd;
        case NewtonSection::OptimizedPoint:
            return modelSection("Model after Optimized Neuton step") +
                   "#ITER= " + FormatI(ws.Fit.IterationCount) +
                   "  #Calls= " + FormatI(ws.Fit.EvaluationCount) + kLineEnd;
    }
    return {};
}

std::string UncertaintyTable(const FitSession& ws, std::span<const double> values,
                             std::span<const double> uncertainties) {
    std::string text = kLineEnd;
    text += std::string("Estimation of Parameters Uncertainties") + kLineEnd;
    text += kLineEnd;
    text += RightAligned("Param", 15) + RightAligned("dParam", 19) + RightAligned("Quota", 13) +
            RightAligned("Shift", 11) + kLineEnd;
    for (int k = 1; k <= ws.Free.FreeCount; ++k) {
        const int j = ws.Free.ModelIndexOfFree(k);
        text += std::string("[") + ParameterLabel(j) + ":" + FormatI(LayerOf(j)) + "]";
        text += "   " + FormatE(values[k - 1], 15) + "   " + FormatE(uncertainties[k - 1], 12) +
                " (" + Quota(uncertainties[k - 1], values[k - 1]) + ")" + kLineEnd;
    }
    text += kLineEnd;
    return text;
}

std::string FitLogLine(std::uint16_t calls, double bestMerit) {
    return FormatI(calls, 6) + "  " + FormatE(bestMerit, 15) + kLineEnd;
}

}  // namespace korvel
