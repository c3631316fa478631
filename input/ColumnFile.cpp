// Column data files: the ORSO text format and plain commented column files, read from
// their text into a data set, and that data set into the points a fit takes.

#include "input/ColumnFile.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <limits>

#include "base/NumberStream.h"
#include "base/RunError.h"
#include "input/HeaderYaml.h"

namespace korvel {
namespace {

constexpr std::size_t kMostPoints = 65535;  // the point count is 16-bit
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
// FWHM = 2 sqrt(2 ln 2) sigma for a Gaussian.
constexpr double kFwhmPerSigma = 2.3548200450309493;

std::string Lowered(std::string_view text) {
    std::string lowered(text);
    std::transform(lowered.begin(), lowered.end(), lowered.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lowered;
}

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", value);
    return text;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v'; }

// The text without a UTF-8 byte-order mark, which some editors write invisibly.
std::string_view WithoutMark(std::string_view text) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    return text;
}

struct TextLine {
    std::string_view Text;
    int Number = 0;
};

// LF, CR LF and a lone CR each end a line.
std::vector<TextLine> LinesOf(std::string_view text) {
    std::vector<TextLine> lines;
    int number = 1;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text[i] != '\n' && text[i] != '\r') continue;
        lines.push_back({text.substr(start, i - start), number++});
        if (i + 1 < text.size() && text[i] == '\r' && text[i + 1] == '\n') ++i;
        start = i + 1;
    }
    return lines;
}

std::vector<std::string_view> Tokens(std::string_view text) {
    std::vector<std::string_view> tokens;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && IsBlank(text[i])) ++i;
        const std::size_t start = i;
        while (i < text.size() && !IsBlank(text[i])) ++i;
        if (i > start) tokens.push_back(text.substr(start, i - start));
    }
    return tokens;
}

// The lines of one data set: its header and its rows of numbers.
struct RawDataSet {
    std::vector<HeaderLine> Header;
    std::vector<TextLine> Rows;
};

// The YAML after the '#' marker: the marker and one blank after it removed.
std::string HeaderText(std::string_view line) {
    line.remove_prefix(line.find('#') + 1);
    if (!line.empty() && line.front() == ' ') line.remove_prefix(1);
    while (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    return std::string(line);
}

// Data sets follow each other, each after a "# data_set:" line (optional for the
// first). Other '#' lines among the numbers are comments.
std::vector<RawDataSet> SplitDataSets(std::string_view text) {
    std::vector<RawDataSet> sets(1);
    for (const TextLine& line : LinesOf(text)) {
        const std::size_t first = line.Text.find_first_not_of(" \t\r\f\v");
        if (first == std::string_view::npos) continue;
        if (line.Text[first] != '#') {
            sets.back().Rows.push_back({line.Text.substr(first), line.Number});
            continue;
        }
        std::string header = HeaderText(line.Text);
        if (!sets.back().Rows.empty()) {
            if (header.rfind("data_set:", 0) != 0) continue;
            sets.emplace_back();
        }
        sets.back().Header.push_back({std::move(header), line.Number});
    }
    if (sets.size() > 1 && sets.back().Rows.empty() && sets.back().Header.empty()) sets.pop_back();
    return sets;
}

// Factor from the unit of a reciprocal length to 1/A; none for a unit it does not know.
std::optional<double> PerAngstrom(std::string unit) {
    unit = Lowered(unit);
    std::erase(unit, ' ');
    for (const char* a : {"1/angstrom", "1/a", "1/\xC3\xA5", "1/\xE2\x84\xAB", "angstrom^-1",
                          "angstrom**-1", "a^-1", "\xC3\xA5^-1", "1/aa"})
        if (unit == a) return 1.0;
    for (const char* nm : {"1/nm", "nm^-1", "nm**-1"})
        if (unit == nm) return 0.1;
    return std::nullopt;
}

// Factor from a length unit to A.
std::optional<double> InAngstrom(std::string unit) {
    unit = Lowered(unit);
    std::erase(unit, ' ');
    if (unit.empty() || unit == "angstrom" || unit == "a" || unit == "\xC3\xA5" ||
        unit == "\xE2\x84\xAB" || unit == "aa")
        return 1.0;
    if (unit == "nm") return 10.0;
    return std::nullopt;
}

std::string TextOf(const HeaderNode* node) { return node == nullptr ? std::string() : node->ScalarText(); }

// How one of the leading four columns is to be read.
struct ColumnReading {
    bool Present = false;  // the file has the column and it is taken
    double Scale = 1.0;    // into 1/A, and FWHM into a standard deviation
    bool Unknown = false;  // every value counts as unknown (no standard deviation exists)
};

class ColumnFileReader {
  public:
    ColumnFileReader(const std::string& text, const std::string& path,
                     const ColumnReadOptions& options)
        : path_(path), options_(options), sets_(SplitDataSets(WithoutMark(text))) {
        for (const RawDataSet& set : sets_) headers_.push_back(ParseHeaderYaml(set.Header));
    }

    ColumnData Read() {
        ColumnData data;
        data.Path = path_;
        for (std::size_t k = 0; k < sets_.size(); ++k) {
            const std::string name = TextOf(headers_[k].Get("data_set"));
            data.DataSets.push_back(name.empty() ? std::to_string(k) : name);
        }
        const int count = static_cast<int>(sets_.size());
        if (options_.DataSet < 1 || options_.DataSet > count)
            throw RunError("The data file holds " + std::to_string(count) + " data set" +
                               (count == 1 ? "" : "s") + ": there is no data set " +
                               std::to_string(options_.DataSet) + ".",
                           path_);
        set_ = options_.DataSet - 1;
        data.DataSet = options_.DataSet;
        if (count > 1) {
            std::string list;
            for (int k = 0; k < count; ++k)
                list += (k > 0 ? ", " : "") + std::to_string(k + 1) + " \"" + data.DataSets[k] + "\"";
            data.Warnings.Add(path_ + " holds " + std::to_string(count) + " data sets (" + list +
                              "); data set " + std::to_string(data.DataSet) + " is read.");
        }
        data.Curve.Name = data.DataSets[set_];

        const HeaderNode* columns = Find({"columns"});
        data.Described = columns != nullptr && columns->Type == HeaderNode::Kind::List &&
                         columns->List.size() >= 2;
        if (data.Described)
            DescribedColumns(*columns, data.Warnings);
        else
            PlainColumns();
        ReadRows(data.Curve);
        ReadWavelength(data);
        return data;
    }

  private:
    // A key of the chosen data set's header, or of the first data set's, whose header
    // holds what the later ones do not change.
    const HeaderNode* Find(std::initializer_list<std::string_view> path) const {
        if (const HeaderNode* own = headers_[set_].Get(path)) return own;
        return headers_.front().Get(path);
    }

    std::string Where(int line) const { return path_ + ", line " + std::to_string(line); }

    // The leading four columns as the ORSO header describes them: Qz, R, the uncertainty
    // of R and the resolution of Qz, each a standard deviation unless "value_is: FWHM".
    void DescribedColumns(const HeaderNode& columns, ReadWarnings& warnings) {
        columnCount_ = static_cast<int>(std::min<std::size_t>(columns.List.size(), 4));
        const HeaderNode& qz = columns.List[0];
        const std::string qzUnit = TextOf(qz.Get("unit"));
        const auto qzScale = qzUnit.empty() ? std::optional<double>(1.0) : PerAngstrom(qzUnit);
        if (!qzScale)
            throw RunError("The unit of Qz is neither 1/angstrom nor 1/nm: '" + qzUnit + "'.",
                           Where(qz.Line));
        qz_ = {true, *qzScale, false};
        r_ = {true, 1.0, false};
        if (columnCount_ >= 3) uncertainty_ = ErrorColumn(columns.List[2], "R", 1.0, warnings);
        if (columnCount_ >= 4) {
            resolution_ = ErrorColumn(columns.List[3], "Qz", *qzScale, warnings);
            const bool fwhm = Lowered(TextOf(columns.List[3].Get("value_is"))) == "fwhm";
            if (options_.ResolutionIsFwhm && !fwhm)
                warnings.Add(path_ + ": the header gives the resolution column as a standard "
                                     "deviation; it is read as the header says, not as a FWHM.");
        }
    }

    ColumnReading ErrorColumn(const HeaderNode& column, const std::string& of, double qzScale,
                              ReadWarnings& warnings) {
        const std::string errorOf = TextOf(column.Get("error_of"));
        if (!errorOf.empty() && errorOf != of) {
            warnings.Add(Where(column.Line) + ": the column after " + of +
                         " is described as the error of " + errorOf + ", not of " + of +
                         "; it is not read.");
            return {};
        }
        double scale = qzScale;
        if (const std::string unit = TextOf(column.Get("unit")); !unit.empty() && of == "Qz") {
            const auto own = PerAngstrom(unit);
            if (!own)
                throw RunError("The unit of the Qz resolution is neither 1/angstrom nor 1/nm: '" +
                                   unit + "'.",
                               Where(column.Line));
            scale = *own;
        }
        const bool fwhm = Lowered(TextOf(column.Get("value_is"))) == "fwhm";
        const std::string distribution = Lowered(TextOf(column.Get("distribution")));
        // The standard deviation of each distribution from its full width at half maximum:
        // Gaussian FWHM / (2 sqrt(2 ln 2)); uniform (rectangular) of full width w: w / sqrt(12);
        // triangular of half base a (= FWHM): a / sqrt(6).
        double fromFwhm = 1.0 / kFwhmPerSigma;
        if (distribution.empty() || distribution == "gaussian") {
        } else if (distribution == "uniform" || distribution == "rectangular") {
            fromFwhm = 1.0 / std::sqrt(12.0);
        } else if (distribution == "triangular") {
            fromFwhm = 1.0 / std::sqrt(6.0);
        } else if (distribution == "lorentzian") {
            warnings.Add(Where(column.Line) + ": the " + (of == "Qz" ? "resolution" : "uncertainty") +
                         " column is a Lorentzian, which has no standard deviation; its values "
                         "count as unknown.");
            return {true, 1.0, true};
        } else {
            warnings.Add(Where(column.Line) + ": unknown distribution '" + distribution +
                         "'; the values are read as those of a Gaussian.");
        }
        if (of == "Qz" && !distribution.empty() && distribution != "gaussian")
            warnings.Add(Where(column.Line) + ": the resolution is a " + distribution +
                         " distribution; the data's resolution smears with a Gaussian of the "
                         "same standard deviation.");
        return {true, scale * (fwhm ? fromFwhm : 1.0), false};
    }

    // A plain file: Qz [1/A], R, dR, dQ by position, as many as its first row holds.
    void PlainColumns() {
        const std::vector<TextLine>& rows = sets_[set_].Rows;
        columnCount_ = rows.empty() ? 2 : static_cast<int>(Tokens(rows.front().Text).size());
        if (columnCount_ < 2)
            throw RunError("A data line holds fewer than the two numbers Qz and R.",
                           Where(rows.front().Number));
        columnCount_ = std::min(columnCount_, 4);
        qz_ = {true, 1.0, false};
        r_ = {true, 1.0, false};
        if (columnCount_ >= 3) uncertainty_ = {true, 1.0, false};
        if (columnCount_ >= 4)
            resolution_ = {true, options_.ResolutionIsFwhm ? 1.0 / kFwhmPerSigma : 1.0, false};
    }

    // "nan" (any case, with a sign or not) is an unknown value, the ORSO convention.
    double Value(std::string_view token, int line) const {
        std::string_view bare = token;
        if (!bare.empty() && (bare.front() == '+' || bare.front() == '-')) bare.remove_prefix(1);
        if (Lowered(bare) == "nan") return kNaN;
        const auto value = ParseReal(token);
        if (!value)
            throw RunError("Invalid numeric input", Where(line) + ": '" + std::string(token) + "'");
        return *value;
    }

    void ReadRows(ColumnCurve& curve) const {
        const std::vector<TextLine>& rows = sets_[set_].Rows;
        if (rows.empty())
            throw RunError("Data file holds no data points.",
                           sets_.size() > 1 ? path_ + ", data set " + std::to_string(set_ + 1) : path_);
        if (rows.size() > kMostPoints)
            throw RunError("Too many data points: at most 65535 are allowed.", path_);
        for (const TextLine& row : rows) {
            const std::vector<std::string_view> tokens = Tokens(row.Text);
            if (static_cast<int>(tokens.size()) < columnCount_)
                throw RunError("A data line holds " + std::to_string(tokens.size()) + " number" +
                                   (tokens.size() == 1 ? "" : "s") + ", fewer than the " +
                                   std::to_string(columnCount_) + " columns of the data.",
                               Where(row.Number));
            const double qz = Value(tokens[0], row.Number);
            const double r = Value(tokens[1], row.Number);
            if (std::isnan(qz) || std::isnan(r))
                throw RunError("Qz and R of a data point must be numbers, not nan.",
                               Where(row.Number) + ": '" + std::string(tokens[std::isnan(qz) ? 0 : 1]) +
                                   "'");
            curve.Qz.push_back(qz * qz_.Scale);
            curve.R.push_back(r);
            curve.Lines.push_back(row.Number);
            if (uncertainty_.Present) {
                const double value = Value(tokens[2], row.Number);
                curve.dR.push_back(uncertainty_.Unknown ? kNaN : value * uncertainty_.Scale);
            }
            if (resolution_.Present) {
                const double value = Value(tokens[3], row.Number);
                curve.dQz.push_back(resolution_.Unknown ? kNaN : value * resolution_.Scale);
            }
        }
    }

    // data_source.measurement.instrument_settings.wavelength: a magnitude, or min and max
    // (time of flight), with a unit of nm or angstrom (the default).
    void ReadWavelength(ColumnData& data) const {
        const HeaderNode* node = Find({"data_source", "measurement", "instrument_settings", "wavelength"});
        if (node == nullptr) return;
        auto number = [](const HeaderNode* n) {
            return n == nullptr ? std::nullopt : ParseReal(n->ScalarText());
        };
        double scale = 1.0;
        std::optional<double> low;
        std::optional<double> high;
        if (node->Type == HeaderNode::Kind::Scalar) {
            low = high = number(node);
        } else {
            const std::string unit = TextOf(node->Get("unit"));
            const auto inAngstrom = InAngstrom(unit);
            if (!inAngstrom) {
                data.Warnings.Add(Where(node->Line) + ": unknown unit of the wavelength '" + unit +
                                  "'; the wavelength is not compared with the model's.");
                return;
            }
            scale = *inAngstrom;
            low = high = number(node->Get("magnitude"));
            if (!low) {
                low = number(node->Get("min"));
                high = number(node->Get("max"));
            }
        }
        if (!low || !high || !(*low > 0.0) || *high < *low) return;
        data.WavelengthMin = *low * scale;
        data.WavelengthMax = *high * scale;
    }

    std::string path_;
    ColumnReadOptions options_;
    std::vector<RawDataSet> sets_;
    std::vector<HeaderNode> headers_;
    std::size_t set_ = 0;
    int columnCount_ = 2;
    ColumnReading qz_;
    ColumnReading r_;
    ColumnReading uncertainty_;
    ColumnReading resolution_;
};

struct Exclusions {
    int Count = 0;
    int FirstLine = 0;

    void Add(int line) {
        if (Count++ == 0) FirstLine = line;
    }
};

std::string PointCount(int count) {
    return std::to_string(count) + (count == 1 ? " point" : " points");
}

}  // namespace

bool IsColumnFile(std::string_view path, std::string_view text) {
    if (path.size() >= 4 && Lowered(path.substr(path.size() - 4)) == ".ort") return true;
    text = WithoutMark(text);
    const std::size_t first = text.find_first_not_of(" \t\r\n\f\v");
    return first != std::string_view::npos && text[first] == '#';
}

ColumnData ParseColumnFile(const std::string& text, const std::string& path,
                           const ColumnReadOptions& options) {
    return ColumnFileReader(text, path, options).Read();
}

DataPoints ColumnDataPoints(const ColumnData& data, bool errorsFromFile, ReadWarnings& warnings) {
    const ColumnCurve& curve = data.Curve;
    const std::size_t n = curve.Qz.size();
    auto known = [](const std::vector<double>& values) {
        return static_cast<int>(
            std::count_if(values.begin(), values.end(), [](double v) { return !std::isnan(v); }));
    };
    const int knownUncertainties = known(curve.dR);
    const int knownResolutions = known(curve.dQz);
    const bool useUncertainties = errorsFromFile && knownUncertainties > 0;
    const bool useResolutions = knownResolutions > 0;
    if (errorsFromFile && !curve.dR.empty() && knownUncertainties == 0)
        warnings.Add(data.Path + ": every uncertainty is unknown (nan); the points are weighted "
                                 "as those of a file without uncertainties.");
    if (!curve.dQz.empty() && knownResolutions == 0)
        warnings.Add(data.Path + ": every resolution is unknown (nan); the model's resolution "
                                 "laws apply.");

    DataPoints points;
    points.Path = data.Path;
    points.WithUncertainties = useUncertainties;
    points.WithResolution = useResolutions;
    Exclusions nonPositive;
    Exclusions unknownUncertainty;
    Exclusions unknownResolution;
    for (std::size_t i = 0; i < n; ++i) {
        const int line = curve.Lines.empty() ? 0 : curve.Lines[i];
        const double uncertainty = useUncertainties ? curve.dR[i] : 0.0;
        // The figure of merit divides by dR and the plot takes log R: neither is defined.
        if (!(curve.R[i] > 0.0) || (useUncertainties && uncertainty <= 0.0)) {
            nonPositive.Add(line);
            continue;
        }
        if (useUncertainties && std::isnan(uncertainty)) {
            unknownUncertainty.Add(line);
            continue;
        }
        DataPoint point;
        point.Abscissa = curve.Qz[i];
        point.Intensity = curve.R[i];
        point.Uncertainty = uncertainty;
        point.Resolution = useResolutions ? curve.dQz[i] : 0.0;
        if (useResolutions && std::isnan(point.Resolution)) unknownResolution.Add(line);
        point.Where = data.Path + ", line " + std::to_string(line);
        points.Points.push_back(std::move(point));
    }
    if (nonPositive.Count > 0)
        warnings.Add(data.Path + ": " + PointCount(nonPositive.Count) +
                     " with R <= 0 or dR <= 0 left out of the fit (the first on line " +
                     std::to_string(nonPositive.FirstLine) + ").");
    if (unknownUncertainty.Count > 0)
        warnings.Add(data.Path + ": " + PointCount(unknownUncertainty.Count) +
                     " of unknown uncertainty (nan) among known ones left out of the fit (the "
                     "first on line " +
                     std::to_string(unknownUncertainty.FirstLine) + ").");
    if (unknownResolution.Count > 0)
        warnings.Add(data.Path + ": " + PointCount(unknownResolution.Count) +
                     " of unknown resolution (nan) among known ones; smearing with the data's "
                     "resolution leaves them unsmeared (the first on line " +
                     std::to_string(unknownResolution.FirstLine) + ").");
    if (points.Points.empty())
        throw RunError("No data point is left for the fit: every point has R <= 0, dR <= 0 or "
                       "an unknown dR.",
                       data.Path);
    return points;
}

std::string ColumnDataSummary(const ColumnData& data, const DataPoints& points) {
    std::string text = data.Path + ": ";
    if (data.DataSets.size() > 1)
        text += "data set " + std::to_string(data.DataSet) + " of " +
                std::to_string(data.DataSets.size()) + " (\"" + data.Curve.Name + "\"), ";
    text += PointCount(static_cast<int>(points.Points.size()));
    if (data.WavelengthMin && data.WavelengthMax) {
        text += ", measured at ";
        text += *data.WavelengthMin == *data.WavelengthMax
                    ? Number(*data.WavelengthMin) + " A"
                    : Number(*data.WavelengthMin) + " to " + Number(*data.WavelengthMax) + " A";
    }
    return text;
}

void CompareWavelength(const ColumnData& data, double wavelength, ReadWarnings& warnings) {
    if (!data.WavelengthMin || !data.WavelengthMax) return;
    const double low = *data.WavelengthMin;
    const double high = *data.WavelengthMax;
    constexpr double kTolerance = 1e-3;
    if (wavelength >= low * (1.0 - kTolerance) && wavelength <= high * (1.0 + kTolerance)) return;
    const std::string measured =
        low == high ? "a wavelength of " + Number(low) + " A"
                    : "wavelengths from " + Number(low) + " to " + Number(high) + " A";
    warnings.Add(data.Path + ": the data were measured at " + measured +
                 ", the model's wavelength is " + Number(wavelength) +
                 " A; Qz is converted into angles with the model's.");
}

}  // namespace korvel
