// The Python module korvel._korvel: the library interface (korvel/korvel.h) for Python.
// Samples, curves and limits keep their numbers in NumPy arrays that Python code edits
// in place; a call copies them into the library's types, computes with the GIL
// released, and hands its curves back as arrays over the library's own vectors.

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "korvel/korvel.h"

namespace py = pybind11;
namespace api = korvel::api;
using namespace pybind11::literals;

namespace {

// Any float array-like: float64 C-contiguous arrays pass through without a copy.
using Array = py::array_t<double, py::array::c_style | py::array::forcecast>;

constexpr int kLayerColumns = 4;
constexpr int kLimitsColumns = 3;

// ---------------------------------------------------------------------------------
// Arrays

Array AsArray(py::handle value, const char* what) {
    Array array = Array::ensure(value);
    if (!array)
        throw py::type_error(std::string(what) + " must be an array of numbers, not " +
                             std::string(py::str(py::type::of(value).attr("__name__"))));
    return array;
}

Array AsVector(py::handle value, const char* what) {
    Array array = AsArray(value, what);
    if (array.ndim() != 1)
        throw py::value_error(std::string(what) + " must be one-dimensional, not of shape " +
                              std::string(py::str(array.attr("shape"))));
    return array;
}

// A table of `columns` columns (layers: 4, limits: 3).
Array AsTable(py::handle value, int columns, const char* what) {
    Array array = AsArray(value, what);
    if (array.ndim() == 1 && array.size() == 0) return Array(std::vector<py::ssize_t>{0, columns});
    if (array.ndim() != 2 || array.shape(1) != columns)
        throw py::value_error(std::string(what) + " must have " + std::to_string(columns) +
                              " columns, not shape " + std::string(py::str(array.attr("shape"))));
    return array;
}

std::vector<double> ToVector(const Array& array) {
    return std::vector<double>(array.data(), array.data() + array.size());
}

// The vector's memory handed to NumPy: the array owns it from here on.
py::array_t<double> Adopt(std::vector<double>&& values) {
    if (values.empty()) return py::array_t<double>(0);
    auto* owner = new std::vector<double>(std::move(values));
    py::capsule release(owner, [](void* p) { delete static_cast<std::vector<double>*>(p); });
    return py::array_t<double>(static_cast<py::ssize_t>(owner->size()), owner->data(), release);
}

// A read-only array over `values`, kept alive by `owner` (the object holding them).
py::array_t<double> View(const std::vector<double>& values, py::handle owner) {
    py::array_t<double> view(static_cast<py::ssize_t>(values.size()), values.data(), owner);
    view.attr("flags").attr("writeable") = false;
    return view;
}

// ---------------------------------------------------------------------------------
// Names of the choices

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

api::CalculationMethod MethodOf(const std::string& name) {
    const std::string n = Lower(name);
    if (n == "matrix") return api::CalculationMethod::Matrix;
    if (n == "parratt") return api::CalculationMethod::Parratt;
    if (n == "fourier") return api::CalculationMethod::Fourier;
    throw py::value_error("method must be 'matrix', 'parratt' or 'fourier', not '" + name + "'");
}

const char* MethodName(api::CalculationMethod method) {
    switch (method) {
        case api::CalculationMethod::Parratt:
            return "parratt";
        case api::CalculationMethod::Fourier:
            return "fourier";
        case api::CalculationMethod::Matrix:
            break;
    }
    return "matrix";
}

api::Weighting WeightingOf(const std::string& name) {
    const std::string n = Lower(name);
    if (n == "data") return api::Weighting::FromData;
    if (n == "fresnel") return api::Weighting::Fresnel;
    if (n == "fraction") return api::Weighting::Fraction;
    throw py::value_error("weights must be 'data', 'fresnel' or 'fraction', not '" + name + "'");
}

const char* WeightingName(api::Weighting weighting) {
    switch (weighting) {
        case api::Weighting::Fresnel:
            return "fresnel";
        case api::Weighting::Fraction:
            return "fraction";
        case api::Weighting::FromData:
            break;
    }
    return "data";
}

api::SearchMethod SearchMethodOf(const std::string& name) {
    const std::optional<api::SearchMethod> method = api::SearchMethodOfName(Lower(name));
    if (!method)
        throw py::value_error(
            "optimizer must be 'tunnelling', 'de', 'de-rand1bin', 'de-best1bin', "
            "'de-current-to-best1bin', 'cmaes' or 'pso', not '" + name + "'");
    return *method;
}

api::ResolutionSource ResolutionOf(const std::string& name) {
    const std::string n = Lower(name);
    if (n == "default") return api::ResolutionSource::Default;
    if (n == "data") return api::ResolutionSource::Data;
    if (n == "model") return api::ResolutionSource::Model;
    throw py::value_error("resolution must be 'default', 'data' or 'model', not '" + name + "'");
}

const char* ResolutionName(api::ResolutionSource source) {
    switch (source) {
        case api::ResolutionSource::Data:
            return "data";
        case api::ResolutionSource::Model:
            return "model";
        case api::ResolutionSource::Default:
            break;
    }
    return "default";
}

api::DensityUnits UnitsOf(int units) {
    if (units < 0 || units > 3)
        throw py::value_error(
            "density_units must be 0 (delta, beta), 1 (SLD, 1/A^2), "
            "2 (electrons/A^3) or 3 (Qc^2, mu), not " +
            std::to_string(units));
    return static_cast<api::DensityUnits>(units);
}

constexpr std::array kPhaseNames = {"initial_simplex",  "search",     "local",  "tunnelling",
                                    "global_step",      "result",     "newton", "newton_gradient",
                                    "newton_curvature", "uncertainty", "population", "sampling"};
constexpr std::array kEventNames = {
    "started",   "ended",     "between_evaluations", "vertex_started", "vertex_evaluated",
    "iteration", "run_ended", "count_down",          "evaluated", "generation"};

// ---------------------------------------------------------------------------------
// Python-side records

// A sample: the header and counts as the library has them, the layers as an n x 4
// array that Python code may edit or replace.
struct SampleObject {
    api::Sample Header;  // its Layers stay empty
    py::object Layers;
};

py::object LayerTable(py::handle value) {
    if (py::isinstance<py::sequence>(value) && !py::isinstance<py::array>(value) &&
        !py::isinstance<py::str>(value)) {
        const py::sequence items = py::reinterpret_borrow<py::sequence>(value);
        if (items.size() > 0 && py::isinstance<api::Layer>(items[0])) {
            Array table(
                std::vector<py::ssize_t>{static_cast<py::ssize_t>(items.size()), kLayerColumns});
            auto t = table.mutable_unchecked<2>();
            for (py::ssize_t i = 0; i < t.shape(0); ++i) {
                if (!py::isinstance<api::Layer>(items[i]))
                    throw py::type_error("layers: item " + std::to_string(i) +
                                         " is not a korvel.Layer");
                const auto& layer = items[i].cast<const api::Layer&>();
                t(i, 0) = layer.Thickness;
                t(i, 1) = layer.ReDensity;
                t(i, 2) = layer.ImDensity;
                t(i, 3) = layer.Roughness;
            }
            return table;
        }
    }
    return AsTable(value, kLayerColumns, "layers");
}

api::Sample ToApi(const SampleObject& sample) {
    api::Sample out = sample.Header;
    const Array table = AsTable(sample.Layers, kLayerColumns, "layers");
    const auto t = table.unchecked<2>();
    out.Layers.resize(static_cast<std::size_t>(t.shape(0)));
    for (py::ssize_t i = 0; i < t.shape(0); ++i)
        out.Layers[i] = api::Layer{t(i, 0), t(i, 1), t(i, 2), t(i, 3)};
    return out;
}

SampleObject FromApi(const api::Sample& sample) {
    SampleObject out;
    out.Header = sample;
    out.Header.Layers.clear();
    Array table(
        std::vector<py::ssize_t>{static_cast<py::ssize_t>(sample.Layers.size()), kLayerColumns});
    auto t = table.mutable_unchecked<2>();
    for (std::size_t i = 0; i < sample.Layers.size(); ++i) {
        const api::Layer& l = sample.Layers[i];
        const auto r = static_cast<py::ssize_t>(i);
        t(r, 0) = l.Thickness;
        t(r, 1) = l.ReDensity;
        t(r, 2) = l.ImDensity;
        t(r, 3) = l.Roughness;
    }
    out.Layers = std::move(table);
    return out;
}

// A curve: theta, intensity and (or None) uncertainty arrays of one length.
struct CurveObject {
    py::object Theta;
    py::object Intensity;
    py::object Uncertainty;               // None: the curve carries none
    py::object Resolution = py::none();  // sigma in Qz per point, 1/A; None: none
};

CurveObject MakeCurve(py::handle theta, py::handle intensity, py::handle uncertainty,
                      py::handle resolution = py::none()) {
    CurveObject curve;
    const Array t = AsVector(theta, "theta");
    const Array i = AsVector(intensity, "intensity");
    if (t.size() != i.size())
        throw py::value_error("theta and intensity differ in length: " + std::to_string(t.size()) +
                              " and " + std::to_string(i.size()));
    curve.Theta = t;
    curve.Intensity = i;
    curve.Uncertainty = py::none();
    if (!uncertainty.is_none()) {
        const Array u = AsVector(uncertainty, "uncertainty");
        if (u.size() != t.size())
            throw py::value_error("theta and uncertainty differ in length: " +
                                  std::to_string(t.size()) + " and " + std::to_string(u.size()));
        curve.Uncertainty = u;
    }
    if (!resolution.is_none()) {
        const Array r = AsVector(resolution, "resolution");
        if (r.size() != t.size())
            throw py::value_error("theta and resolution differ in length: " +
                                  std::to_string(t.size()) + " and " + std::to_string(r.size()));
        curve.Resolution = r;
    }
    return curve;
}

api::Curve ToApi(const CurveObject& curve) {
    // The arrays may have been replaced one by one: checked again as a whole.
    const CurveObject checked =
        MakeCurve(curve.Theta, curve.Intensity, curve.Uncertainty, curve.Resolution);
    api::Curve out;
    out.Theta = ToVector(checked.Theta.cast<Array>());
    out.Intensity = ToVector(checked.Intensity.cast<Array>());
    if (!checked.Uncertainty.is_none())
        out.Uncertainty = ToVector(checked.Uncertainty.cast<Array>());
    if (!checked.Resolution.is_none()) out.Resolution = ToVector(checked.Resolution.cast<Array>());
    return out;
}

CurveObject FromApi(api::Curve&& curve) {
    CurveObject out;
    const bool withUncertainty = !curve.Uncertainty.empty() || curve.Theta.empty();
    out.Theta = Adopt(std::move(curve.Theta));
    out.Intensity = Adopt(std::move(curve.Intensity));
    out.Uncertainty =
        withUncertainty ? py::object(Adopt(std::move(curve.Uncertainty))) : py::object(py::none());
    if (!curve.Resolution.empty()) out.Resolution = Adopt(std::move(curve.Resolution));
    return out;
}

api::Limits LimitsOf(py::handle value) {
    api::Limits limits;
    if (value.is_none()) return limits;
    const Array table = AsTable(value, kLimitsColumns, "limits");
    const auto t = table.unchecked<2>();
    for (py::ssize_t i = 0; i < t.shape(0); ++i)
        limits.Parameters.push_back({t(i, 0), t(i, 1), t(i, 2)});
    return limits;
}

py::array_t<double> LimitsArray(const api::Limits& limits) {
    Array table(std::vector<py::ssize_t>{static_cast<py::ssize_t>(limits.Parameters.size()),
                                         kLimitsColumns});
    auto t = table.mutable_unchecked<2>();
    for (std::size_t i = 0; i < limits.Parameters.size(); ++i) {
        const auto r = static_cast<py::ssize_t>(i);
        t(r, 0) = limits.Parameters[i].Lower;
        t(r, 1) = limits.Parameters[i].Upper;
        t(r, 2) = limits.Parameters[i].Step;
    }
    return table;
}

// A fit problem: the sample, limits and data as Python objects, the choices as the
// library has them.
struct ProblemObject {
    py::object Sample;        // SampleObject
    py::object Limits;        // n x 3 array, or None
    py::object Data;          // CurveObject
    api::FitProblem Choices;  // its Model, Bounds and Data stay empty
};

api::FitProblem ToApi(const ProblemObject& problem) {
    api::FitProblem out = problem.Choices;
    if (!py::isinstance<SampleObject>(problem.Sample))
        throw py::type_error("FitProblem.sample must be a korvel.Sample");
    if (!py::isinstance<CurveObject>(problem.Data))
        throw py::type_error("FitProblem.data must be a korvel.Curve");
    out.Model = ToApi(problem.Sample.cast<const SampleObject&>());
    out.Bounds = LimitsOf(problem.Limits);
    out.Data = ToApi(problem.Data.cast<const CurveObject&>());
    return out;
}

// A finished simulation or fit: the library's result, whose vectors the arrays handed
// out look into.
struct SimulationObject {
    api::Simulation Result;
};
struct ResultObject {
    api::FitResult Result;
    py::object Problem = py::none();  // the FitProblem fitted, for sampling around it; or None
};
// The curves of a fit, point by point (a view of its result).
struct FitCurveObject {
    py::object Owner;  // ResultObject
};

const api::FitResult& ResultOf(const FitCurveObject& curve) {
    return curve.Owner.cast<const ResultObject&>().Result;
}

// ---------------------------------------------------------------------------------
// Errors and warnings

py::object ErrorModule() { return py::module_::import("korvel._errors"); }

void Warn(const std::vector<std::string>& warnings) {
    if (warnings.empty()) return;
    const py::object category = ErrorModule().attr("KorvelWarning");
    for (const std::string& text : warnings)
        if (PyErr_WarnEx(category.ptr(), text.c_str(), 2) != 0) throw py::error_already_set();
}

// ---------------------------------------------------------------------------------
// Interrupts and progress of a fit

// The fit's link to Python while it runs without the GIL: progress reports to the
// caller's function and the interpreter's pending signals. The first KeyboardInterrupt
// ends the search (as Ctrl+Q does); one more leaves the fit at once.
class FitSupervisor {
  public:
    FitSupervisor(py::object progress, std::shared_ptr<api::StopRequest> stop)
        : progress_(std::move(progress)), stop_(std::move(stop)) {
        const py::object threading = py::module_::import("threading");
        mainThread_ =
            threading.attr("get_ident")().equal(threading.attr("main_thread")().attr("ident"));
    }

    // Called on the fit's thread, without the GIL.
    void OnProgress(const api::Progress& progress) {
        // Between evaluations only the stop request is read: nothing to report.
        const bool report = progress_ && progress.Event != api::ProgressEvent::BetweenEvaluations;
        const auto now = std::chrono::steady_clock::now();
        // Signals reach only the main thread; there they are looked at every few
        // milliseconds, which keeps the GIL free for the caller's other threads.
        const bool signalsDue = mainThread_ && now - lastSignalCheck_ >= kSignalInterval;
        if (!report && !signalsDue) return;
        py::gil_scoped_acquire gil;
        if (report) {
            try {
                progress_(progress);
            } catch (py::error_already_set& error) {
                TakeInterrupt(error);
            }
        }
        if (mainThread_) {
            lastSignalCheck_ = now;
            if (PyErr_CheckSignals() != 0) {
                py::error_already_set error;
                TakeInterrupt(error);
            }
        }
    }

  private:
    static constexpr std::chrono::milliseconds kSignalInterval{20};

    void TakeInterrupt(py::error_already_set& error) {
        if (!error.matches(PyExc_KeyboardInterrupt) || interrupted_) throw std::move(error);
        interrupted_ = true;
        stop_->EndSearch();
    }

    py::object progress_;
    std::shared_ptr<api::StopRequest> stop_;
    bool mainThread_ = false;
    bool interrupted_ = false;
    std::chrono::steady_clock::time_point lastSignalCheck_{};
};

std::string ProgressText(const api::Progress& p) {
    std::string text = std::string(kPhaseNames[static_cast<int>(p.Phase)]) + " " +
                       kEventNames[static_cast<int>(p.Event)];
    char numbers[160];
    switch (p.Event) {
        case api::ProgressEvent::Iteration:
        case api::ProgressEvent::RunEnded:
            std::snprintf(numbers, sizeof numbers, ": iteration %d, best %.6g, tolerance %.3g",
                          p.Iteration, p.BestMerit, p.Tolerance);
            text += numbers;
            if (!p.Termination.empty()) text += " (" + p.Termination + ")";
            break;
        case api::ProgressEvent::Generation:
            if (p.Phase == api::ProgressPhase::Sampling)
                std::snprintf(numbers, sizeof numbers, ": step %d of %d, acceptance %.3f",
                              p.Generation, p.Total, p.Acceptance);
            else
                std::snprintf(numbers, sizeof numbers,
                              ": generation %d of %d, best %.6g, median %.6g", p.Generation,
                              p.Total, p.BestMerit, p.MedianMerit);
            text += numbers;
            break;
        case api::ProgressEvent::VertexStarted:
        case api::ProgressEvent::CountDown:
            std::snprintf(numbers, sizeof numbers, ": %d of %d left", p.Remaining, p.Total);
            text += numbers;
            break;
        default:
            break;
    }
    std::snprintf(numbers, sizeof numbers, " [%llu curves, session best %.6g]",
                  static_cast<unsigned long long>(p.Evaluations), p.SessionBest);
    return text + numbers;
}

// ---------------------------------------------------------------------------------
// Functions

api::Simulation Simulate(const SampleObject& sample, py::handle theta, py::handle qz,
                         const std::string& method, double cutOff, unsigned threads,
                         py::handle resolution) {
    if (theta.is_none() == qz.is_none())
        throw py::type_error("give the angles either as theta (degrees) or as qz (1/A)");
    const api::Sample s = ToApi(sample);
    const api::CalculationMethod m = MethodOf(method);
    const bool byQz = !qz.is_none();
    const std::vector<double> x = ToVector(AsVector(byQz ? qz : theta, byQz ? "qz" : "theta"));
    std::vector<double> sigma;
    if (!resolution.is_none()) sigma = ToVector(AsVector(resolution, "resolution"));
    if (!resolution.is_none() && sigma.size() != x.size())
        throw py::value_error("resolution must hold one value per point");
    py::gil_scoped_release released;
    return byQz ? api::SimulateQz(s, x, m, cutOff, threads, sigma)
                : api::Simulate(s, x, m, cutOff, threads, sigma);
}

constexpr const char* kSampleDoc =
    R"doc(A layer stack and the instrument numbers of a model file (.mdl).

The stack, from the top: top_layer_count layers, the repeat_unit_layer_count layers of
the repeat unit stacked repeat_count times, bottom_layer_count layers, the substrate.
`layers` lists each layer once, top to substrate, one row per layer:
thickness (A), the two density columns (in `density_units`), roughness (A).

Sample(layers, *, top_layer_count=None, repeat_unit_layer_count=0,
       bottom_layer_count=0, repeat_count=0, wavelength=1.5406, wavelength_spread=0,
       resolution_offset1=0, resolution_offset2=0, resolution_slope1=0,
       resolution_slope2=0, density_units=0)

`layers` is an array-like of shape (n, 4) or a list of korvel.Layer; a float64
C-contiguous array is held as it is (no copy), so later edits of it are seen.
top_layer_count=None makes every layer above the repeat unit and the bottom layers a
top layer. Counts are 0 to 255; the library checks them when the sample is used.)doc";

// ---------------------------------------------------------------------------------
// Around a fit: residuals, the figure of merit at given values, the posterior, the
// density profile

// A read-only array of `shape` over `values`, kept alive by `owner`.
py::array_t<double> ShapedView(const std::vector<double>& values,
                               std::vector<py::ssize_t> shape, py::handle owner) {
    py::array_t<double> view(std::move(shape), values.data(), owner);
    view.attr("flags").attr("writeable") = false;
    return view;
}

struct PosteriorObject {
    api::Posterior Result;
};

py::ssize_t Dimension(const api::Posterior& p) {
    return static_cast<py::ssize_t>(p.Parameters.size());
}

// One column of the parameters' statistics, or two side by side.
template <typename... Members>
py::array_t<double> Statistics(const api::Posterior& p, Members... members) {
    constexpr auto columns = static_cast<py::ssize_t>(sizeof...(Members));
    std::vector<double> values;
    for (const api::PosteriorParameter& parameter : p.Parameters)
        (values.push_back(parameter.*members), ...);
    py::array_t<double> array = Adopt(std::move(values));
    if (columns > 1) array = array.reshape(std::vector<py::ssize_t>{Dimension(p), columns});
    return array;
}

// The problem to sample and its model: a FitProblem as it is, or a FitResult's problem
// with the fitted sample as the model.
api::FitProblem ProblemToSample(py::handle source, py::handle problem) {
    if (py::isinstance<ProblemObject>(source)) {
        if (!problem.is_none())
            throw py::type_error("give problem= only with a FitResult");
        return ToApi(source.cast<const ProblemObject&>());
    }
    if (!py::isinstance<ResultObject>(source))
        throw py::type_error("sample() takes a korvel.FitProblem or a korvel.FitResult");
    const auto& result = source.cast<const ResultObject&>();
    const py::handle fitted = problem.is_none() ? py::handle(result.Problem) : problem;
    if (fitted.is_none() || !py::isinstance<ProblemObject>(fitted))
        throw py::type_error(
            "this FitResult does not know its problem: pass it as problem=korvel.FitProblem");
    api::FitProblem out = ToApi(fitted.cast<const ProblemObject&>());
    out.Model = result.Result.Fitted;
    return out;
}

// Column data files, the data's resolution in a fit, and ORSO text of a fit.
void RegisterColumnData(py::module_& m, py::class_<ProblemObject>& problem) {
    problem.def_property(
        "resolution",
        [](const ProblemObject& p) { return ResolutionName(p.Choices.Resolution); },
        [](ProblemObject& p, const std::string& v) { p.Choices.Resolution = ResolutionOf(v); },
        "What smears the computed curve: 'default' (the data's resolution when data.resolution "
        "is given, else the sample's laws), 'data' (a Gaussian of each point's width in Qz) "
        "or 'model' (the sample's wavelength spread and resolution laws).");

    m.def("is_column_data", &api::IsColumnData, "name"_a, "text"_a,
          "Whether a data file of this name and text is a column file (.ort, or its first "
          "non-blank character '#').");
    m.def(
        "parse_column_data",
        [](const std::string& text, const std::string& name, double wavelength, int dataSet,
           bool dqFwhm) {
            api::ColumnDataRead read =
                api::ParseColumnData(text, name, wavelength, dataSet, dqFwhm);
            Warn(read.Warnings);
            return py::make_tuple(FromApi(std::move(read.Data)), read.Wavelength, read.DataSet,
                                  read.DataSets);
        },
        "text"_a, "name"_a = "data", "wavelength"_a = 0.0, "dataset"_a = 1, "dq_fwhm"_a = false,
        "A column data file's text: (curve, wavelength used (A), data set name, every data "
        "set's name). See read_data.");
    m.def(
        "format_ort",
        [](const ResultObject& r, py::handle problem, const std::string& program) {
            const py::handle fitted = problem.is_none() ? py::handle(r.Problem) : problem;
            if (fitted.is_none() || !py::isinstance<ProblemObject>(fitted))
                throw py::type_error(
                    "this FitResult does not know its problem: pass it as "
                    "problem=korvel.FitProblem");
            return api::FormatOrt(ToApi(fitted.cast<const ProblemObject&>()), r.Result, program);
        },
        "result"_a, "problem"_a = py::none(), "program"_a = "korvel",
        "The ORSO text (.ort) of a fit's measured and fitted curves.");
}

void RegisterAnalysis(py::module_& m) {
    m.def(
        "residuals",
        [](const ResultObject& r) { return Adopt(api::Residuals(r.Result)); },
        "result"_a,
        R"doc(The normalised residuals (measured - fitted) / dI of a fit, one per data point,
with the weights dI the fit actually divided by (result.curve.uncertainty) and its
smeared, scaled curve. NaN where dI is 0. The reduced chi-square sums the squares of
those in result.fit_window (the model's smearing leaves out the curve's ends).)doc");

    m.def(
        "merit",
        [](const ProblemObject& p, py::handle values, unsigned threads) -> py::object {
            const Array array = AsArray(values, "values");
            if (array.ndim() != 1 && array.ndim() != 2)
                throw py::value_error("values must be one point (n,) or points (m, n)");
            const api::FitProblem problem = ToApi(p);
            const std::vector<double> flat = ToVector(array);
            std::vector<double> merits;
            {
                py::gil_scoped_release released;
                merits = api::FigureOfMerit(problem, flat, threads);
            }
            if (array.ndim() == 1) {
                if (merits.size() != 1)
                    throw py::value_error("values must hold one value per free parameter");
                return py::float_(merits[0]);
            }
            if (static_cast<py::ssize_t>(merits.size()) != array.shape(0))
                throw py::value_error("values must have one column per free parameter");
            return Adopt(std::move(merits));
        },
        "problem"_a, "values"_a, py::kw_only(), "threads"_a = 1,
        R"doc(The figure of merit (reduced chi-square) of the problem's sample with its free
parameters set to `values`, as the fit evaluates it: the same weights, scaling,
smearing, links and repeat-unit constraint. `values`: the free parameters in model
order (result.parameters' order) in the sample's units (angstrom, density units), one
point of shape (n,) -> a float, or points (m, n) -> m merits. A point outside the
limits gives +inf. The log-likelihood of the posterior sampler is
-merit * posterior.degrees_of_freedom / 2. threads: evaluations in parallel (0: one per processor).)doc");

    py::class_<PosteriorObject>(m, "Posterior",
                                "The posterior of the free parameters: an ensemble sampler's "
                                "chain and its statistics (values in the sample's units).")
        .def_property_readonly(
            "names",
            [](const PosteriorObject& p) {
                std::vector<std::string> names;
                for (const auto& parameter : p.Result.Parameters) names.push_back(parameter.Name);
                return names;
            },
            "The free parameters in model order: 'Thickness:1', ...")
        .def_property_readonly(
            "medians",
            [](const PosteriorObject& p) {
                return Statistics(p.Result, &api::PosteriorParameter::Median);
            },
            "Median of each parameter over the kept steps.")
        .def_property_readonly(
            "interval68",
            [](const PosteriorObject& p) {
                return Statistics(p.Result, &api::PosteriorParameter::Lower68,
                                  &api::PosteriorParameter::Upper68);
            },
            "(n, 2): the 16th and 84th percentiles of each parameter.")
        .def_property_readonly(
            "interval95",
            [](const PosteriorObject& p) {
                return Statistics(p.Result, &api::PosteriorParameter::Lower95,
                                  &api::PosteriorParameter::Upper95);
            },
            "(n, 2): the 2.5th and 97.5th percentiles of each parameter.")
        .def_property_readonly(
            "autocorrelation_time",
            [](const PosteriorObject& p) {
                return Statistics(p.Result, &api::PosteriorParameter::AutocorrelationTime);
            },
            "Integrated autocorrelation time of each parameter, in steps (NaN: unknown).")
        .def_property_readonly(
            "chain",
            [](py::object self) {
                const api::Posterior& p = self.cast<const PosteriorObject&>().Result;
                return ShapedView(p.Chain, {p.Steps, p.Walkers, Dimension(p)}, self);
            },
            "(steps, walkers, n) read-only array of every walker's position after every step.")
        .def_property_readonly(
            "log_likelihood",
            [](py::object self) {
                const api::Posterior& p = self.cast<const PosteriorObject&>().Result;
                return ShapedView(p.LogLikelihood, {p.Steps, p.Walkers}, self);
            },
            "(steps, walkers): ln L = -chi^2 / 2 of each position (up to a constant).")
        .def_property_readonly(
            "samples",
            [](py::object self) {
                const api::Posterior& p = self.cast<const PosteriorObject&>().Result;
                const auto start = p.Chain.begin() + static_cast<std::ptrdiff_t>(
                                                         p.Burn * p.Walkers * Dimension(p));
                py::array_t<double> flat = Adopt(std::vector<double>(start, p.Chain.end()));
                return flat.reshape(std::vector<py::ssize_t>{
                    static_cast<py::ssize_t>(p.Steps - p.Burn) * p.Walkers, Dimension(p)});
            },
            "The kept positions (after burn), all walkers pooled: an (m, n) array (a copy).")
        .def_property_readonly("burn", [](const PosteriorObject& p) { return p.Result.Burn; },
                               "Leading steps left out of the statistics.")
        .def_property_readonly("steps", [](const PosteriorObject& p) { return p.Result.Steps; },
                               "Steps done.")
        .def_property_readonly("walkers",
                               [](const PosteriorObject& p) { return p.Result.Walkers; },
                               "Walkers of the ensemble.")
        .def_property_readonly("acceptance",
                               [](const PosteriorObject& p) { return p.Result.Acceptance; },
                               "Fraction of the proposals accepted.")
        .def_property_readonly(
            "degrees_of_freedom", [](const PosteriorObject& p) { return p.Result.DegreesOfFreedom; },
            "Points the figure of merit sums less the free parameters: ln L = -merit * "
            "degrees_of_freedom / 2.")
        .def_property_readonly(
            "chain_too_short", [](const PosteriorObject& p) { return p.Result.ChainTooShort; },
            "Fewer kept steps than 50 autocorrelation times: the intervals are not to be "
            "trusted.")
        .def_property_readonly("stopped", [](const PosteriorObject& p) { return p.Result.Stopped; },
                               "A stop (KeyboardInterrupt) ended the sampling early.")
        .def_property_readonly("seed", [](const PosteriorObject& p) { return p.Result.Seed; },
                               "The seed used: repeats the chain.")
        .def_property_readonly("warnings",
                               [](const PosteriorObject& p) { return p.Result.Warnings; },
                               "The problem's warnings and the sampler's.")
        .def("__repr__", [](const PosteriorObject& p) {
            char text[160];
            std::snprintf(text, sizeof text,
                          "<Posterior %zu parameters, %d steps x %d walkers, acceptance %.3f%s>",
                          p.Result.Parameters.size(), p.Result.Steps, p.Result.Walkers,
                          p.Result.Acceptance, p.Result.ChainTooShort ? ", chain too short" : "");
            return std::string(text);
        });

    m.def(
        "sample",
        [](py::object source, int steps, int walkers, std::optional<std::uint64_t> seed,
           unsigned threads, py::object progress, py::object problem) {
            if (!progress.is_none() && !PyCallable_Check(progress.ptr()))
                throw py::type_error("progress must be callable (it is given a korvel.Progress)");
            if (steps < 1) throw py::value_error("steps must be at least 1");
            if (walkers < 0) throw py::value_error("walkers must not be negative");
            const api::FitProblem target = ProblemToSample(source, problem);
            api::PosteriorControl control;
            control.Steps = steps;
            control.Walkers = walkers;
            control.Seed = seed;
            control.Threads = threads;
            control.Stop = std::make_shared<api::StopRequest>();
            FitSupervisor supervisor(progress.is_none() ? py::object() : progress, control.Stop);
            control.OnProgress = [&supervisor](const api::Progress& r) {
                supervisor.OnProgress(r);
            };
            PosteriorObject posterior;
            {
                py::gil_scoped_release released;
                posterior.Result = api::SamplePosterior(target, control);
            }
            Warn(posterior.Result.Warnings);
            return posterior;
        },
        "source"_a, "steps"_a = 1000, py::kw_only(), "walkers"_a = 0, "seed"_a = py::none(),
        "threads"_a = 1, "progress"_a = py::none(), "problem"_a = py::none(),
        R"doc(Samples the posterior of the free parameters with an affine-invariant ensemble
sampler (the stretch move of Goodman and Weare 2010); returns a korvel.Posterior.

source: a FitResult (sampled around its fitted sample, with the problem it was fitted
on, or problem= for a result that lost it) or a FitProblem (around its sample).
Uniform priors inside the limits, ln L = -chi^2 / 2 with chi^2 = reduced chi-square x
(points - free parameters), the weights of the fit. steps: steps of the ensemble;
walkers: 0 for four per free parameter (at least 16); seed: None for the clock's
(posterior.seed reports it); threads: evaluations in parallel (0: one per processor);
progress: called with a korvel.Progress (phase 'sampling', event 'generation') per
step. The first quarter of the steps is burn-in. A chain shorter than 50
autocorrelation times gives a KorvelWarning. Releases the GIL; KeyboardInterrupt ends
the sampling with the steps done (posterior.stopped True).)doc");

    m.def(
        "profile",
        [](const SampleObject& sample, py::handle z, int points) {
            const api::Sample s = ToApi(sample);
            std::vector<double> depths;
            if (!z.is_none()) {
                depths = ToVector(AsVector(z, "z"));
                if (depths.empty()) throw py::value_error("z holds no depth");
            }
            api::DensityProfile profile = api::Profile(s, depths, points);
            return py::make_tuple(Adopt(std::move(profile.Depth)),
                                  Adopt(std::move(profile.ReDensity)),
                                  Adopt(std::move(profile.ImDensity)));
        },
        "sample"_a, "z"_a = py::none(), py::kw_only(), "points"_a = 1001,
        R"doc(The density profile of `sample`: (z, re, im) arrays of the depth below the top
surface (angstrom, negative in the ambient above it) and the two density columns
there, in the sample's density units (delta and beta, or SLD in 1/A^2, ...). Each
interface is smoothed by its roughness with the error-function profile (the real-space
picture of the Nevot-Croce factor); the repeat unit is written out repeat_count times;
the substrate continues below. z: the depths (angstrom); None for `points` depths
spread from above the surface to inside the substrate.)doc");
}

// ---------------------------------------------------------------------------------
// Pickling: the plain fields of each record as tuples, so that problems and results
// travel to worker processes (a process pool, a Dask cluster) and back unchanged.

py::tuple SampleState(const api::Sample& s) {
    std::vector<double> layers;
    for (const api::Layer& l : s.Layers)
        layers.insert(layers.end(), {l.Thickness, l.ReDensity, l.ImDensity, l.Roughness});
    return py::make_tuple(s.Wavelength, s.WavelengthSpread, s.ResolutionOffset1,
                          s.ResolutionOffset2, s.ResolutionSlope1, s.ResolutionSlope2,
                          s.TopLayerCount, s.RepeatUnitLayerCount, s.BottomLayerCount,
                          s.RepeatCount, static_cast<int>(s.Units), layers);
}

api::Sample SampleOfState(const py::tuple& t) {
    if (t.size() != 12) throw std::runtime_error("korvel.Sample: invalid pickled state");
    api::Sample s;
    s.Wavelength = t[0].cast<double>();
    s.WavelengthSpread = t[1].cast<double>();
    s.ResolutionOffset1 = t[2].cast<double>();
    s.ResolutionOffset2 = t[3].cast<double>();
    s.ResolutionSlope1 = t[4].cast<double>();
    s.ResolutionSlope2 = t[5].cast<double>();
    s.TopLayerCount = t[6].cast<int>();
    s.RepeatUnitLayerCount = t[7].cast<int>();
    s.BottomLayerCount = t[8].cast<int>();
    s.RepeatCount = t[9].cast<int>();
    s.Units = UnitsOf(t[10].cast<int>());
    const auto layers = t[11].cast<std::vector<double>>();
    for (std::size_t i = 0; i + 3 < layers.size(); i += 4)
        s.Layers.push_back({layers[i], layers[i + 1], layers[i + 2], layers[i + 3]});
    return s;
}

py::tuple CurveState(const api::Curve& c) {
    return py::make_tuple(c.Theta, c.Intensity, c.Uncertainty, c.Resolution);
}

api::Curve CurveOfState(const py::tuple& t) {
    if (t.size() != 4) throw std::runtime_error("korvel curve: invalid pickled state");
    return {t[0].cast<std::vector<double>>(), t[1].cast<std::vector<double>>(),
            t[2].cast<std::vector<double>>(), t[3].cast<std::vector<double>>()};
}

py::tuple ProblemState(const ProblemObject& p) {
    const api::FitProblem& c = p.Choices;
    return py::make_tuple(p.Sample, p.Limits, p.Data, static_cast<int>(c.Method), c.FitMode,
                          c.DataScaled, c.CutOff, c.Tolerance, c.MaxIterations,
                          static_cast<int>(c.Weights), c.ErrorFraction, c.RepeatUnitFixed,
                          c.QzAbscissa, c.DataFileName, c.ModelFileName, c.LimitsFileName,
                          c.Warnings, static_cast<int>(c.Resolution));
}

ProblemObject ProblemOfState(const py::tuple& t) {
    if (t.size() != 18) throw std::runtime_error("korvel.FitProblem: invalid pickled state");
    ProblemObject p;
    p.Sample = t[0];
    p.Limits = t[1];
    p.Data = t[2];
    api::FitProblem& c = p.Choices;
    c.Method = static_cast<api::CalculationMethod>(t[3].cast<int>());
    c.FitMode = t[4].cast<bool>();
    c.DataScaled = t[5].cast<bool>();
    c.CutOff = t[6].cast<double>();
    c.Tolerance = t[7].cast<double>();
    c.MaxIterations = t[8].cast<int>();
    c.Weights = static_cast<api::Weighting>(t[9].cast<int>());
    c.ErrorFraction = t[10].cast<double>();
    c.RepeatUnitFixed = t[11].cast<bool>();
    c.QzAbscissa = t[12].cast<bool>();
    c.DataFileName = t[13].cast<std::string>();
    c.ModelFileName = t[14].cast<std::string>();
    c.LimitsFileName = t[15].cast<std::string>();
    c.Warnings = t[16].cast<std::vector<std::string>>();
    c.Resolution = static_cast<api::ResolutionSource>(t[17].cast<int>());
    return p;
}

py::tuple ParameterState(const api::FittedParameter& p) {
    return py::make_tuple(p.Name, p.Value, p.Uncertainty, p.Start, p.Lower, p.Upper,
                          static_cast<int>(p.Mark));
}

api::FittedParameter ParameterOfState(const py::tuple& t) {
    if (t.size() != 7) throw std::runtime_error("korvel.Parameter: invalid pickled state");
    return {t[0].cast<std::string>(), t[1].cast<double>(), t[2].cast<std::optional<double>>(),
            t[3].cast<double>(),      t[4].cast<double>(), t[5].cast<double>(),
            static_cast<api::LimitMark>(t[6].cast<int>())};
}

py::tuple ResultState(const ResultObject& r) {
    const api::FitResult& f = r.Result;
    py::list parameters;
    for (const api::FittedParameter& p : f.Parameters) parameters.append(ParameterState(p));
    return py::make_tuple(SampleState(f.Fitted), parameters, f.ReducedChiSquare,
                          f.ScaleUnsmeared, f.ScaleSmeared, CurveState(f.Measured),
                          CurveState(f.Computed), CurveState(f.Smeared), f.Seed, f.Termination,
                          f.Stopped, f.Evaluations, f.Warnings,
                          py::make_tuple(f.DataFileName, f.ModelFileName, f.LimitsFileName),
                          py::make_tuple(py::bytes(f.BstText), py::bytes(f.PctText),
                                         py::bytes(f.LocText)),
                          py::make_tuple(f.WindowFirst, f.WindowLast, static_cast<int>(f.Method),
                                         f.Generations),
                          r.Problem);
}

ResultObject ResultOfState(const py::tuple& t) {
    if (t.size() != 17) throw std::runtime_error("korvel.FitResult: invalid pickled state");
    ResultObject r;
    api::FitResult& f = r.Result;
    f.Fitted = SampleOfState(t[0]);
    for (const py::handle p : t[1].cast<py::list>()) f.Parameters.push_back(ParameterOfState(p.cast<py::tuple>()));
    f.ReducedChiSquare = t[2].cast<double>();
    f.ScaleUnsmeared = t[3].cast<double>();
    f.ScaleSmeared = t[4].cast<double>();
    f.Measured = CurveOfState(t[5]);
    f.Computed = CurveOfState(t[6]);
    f.Smeared = CurveOfState(t[7]);
    f.Seed = t[8].cast<std::uint64_t>();
    f.Termination = t[9].cast<std::string>();
    f.Stopped = t[10].cast<bool>();
    f.Evaluations = t[11].cast<std::uint64_t>();
    f.Warnings = t[12].cast<std::vector<std::string>>();
    const py::tuple names = t[13];
    f.DataFileName = names[0].cast<std::string>();
    f.ModelFileName = names[1].cast<std::string>();
    f.LimitsFileName = names[2].cast<std::string>();
    const py::tuple texts = t[14];
    f.BstText = texts[0].cast<std::string>();
    f.PctText = texts[1].cast<std::string>();
    f.LocText = texts[2].cast<std::string>();
    const py::tuple search = t[15];
    f.WindowFirst = search[0].cast<int>();
    f.WindowLast = search[1].cast<int>();
    f.Method = static_cast<api::SearchMethod>(search[2].cast<int>());
    f.Generations = search[3].cast<int>();
    r.Problem = t[16];
    return r;
}

// Adds pickling to the classes defined above, all in one place.
void AddPickling(py::module_& m) {
    py::reinterpret_borrow<py::class_<SampleObject>>(m.attr("Sample"))
        .def(py::pickle([](const SampleObject& s) { return SampleState(ToApi(s)); },
                        [](const py::tuple& t) { return FromApi(SampleOfState(t)); }));
    py::reinterpret_borrow<py::class_<CurveObject>>(m.attr("Curve"))
        .def(py::pickle(
            [](const CurveObject& c) {
                return py::make_tuple(c.Theta, c.Intensity, c.Uncertainty, c.Resolution);
            },
            [](const py::tuple& t) {
                if (t.size() != 4) throw std::runtime_error("korvel.Curve: invalid pickled state");
                return MakeCurve(t[0], t[1], t[2], t[3]);
            }));
    py::reinterpret_borrow<py::class_<ProblemObject>>(m.attr("FitProblem"))
        .def(py::pickle(&ProblemState, &ProblemOfState));
    py::reinterpret_borrow<py::class_<api::FittedParameter>>(m.attr("Parameter"))
        .def(py::pickle(&ParameterState, &ParameterOfState));
    py::reinterpret_borrow<py::class_<ResultObject>>(m.attr("FitResult"))
        .def(py::pickle(&ResultState, &ResultOfState));
    m.def("series_seed", &api::SeriesSeed, "seed"_a, "position"_a,
          "The seed of the fit at `position` (0-based) of a series fitted with `seed`, as "
          "korvel-cli batch derives it.");
}

}  // namespace

PYBIND11_MODULE(_korvel, m) {
    m.doc() = "Korvel's library interface: simulate and fit specular reflectivity of layer stacks.";
    m.attr("__version__") = korvel::kVersion;

    py::register_exception_translator([](std::exception_ptr pending) {
        try {
            if (pending) std::rethrow_exception(pending);
        } catch (const korvel::RunError& error) {
            const py::object type = ErrorModule().attr("KorvelError");
            const py::object instance = type(error.Message(), error.Where());
            PyErr_SetObject(type.ptr(), instance.ptr());
        }
    });

    // ---- Layer
    py::class_<api::Layer>(m, "Layer",
                           "One layer of a sample, as a line of the model file gives it.")
        .def(py::init([](double thickness, double reDensity, double imDensity, double roughness) {
                 return api::Layer{thickness, reDensity, imDensity, roughness};
             }),
             "thickness"_a = 0.0, "re_density"_a = 0.0, "im_density"_a = 0.0, "roughness"_a = 0.0)
        .def_readwrite("thickness", &api::Layer::Thickness,
                       "Thickness in angstrom (the substrate's is ignored).")
        .def_readwrite("re_density", &api::Layer::ReDensity,
                       "Column 2 in the sample's density units (delta for units 0).")
        .def_readwrite("im_density", &api::Layer::ImDensity,
                       "Column 3 in the sample's density units (beta for units 0).")
        .def_readwrite("roughness", &api::Layer::Roughness,
                       "Rms roughness of the layer's upper interface, angstrom.")
        .def("__repr__", [](const api::Layer& l) {
            return "Layer(thickness=" + std::string(py::repr(py::float_(l.Thickness))) +
                   ", re_density=" + std::string(py::repr(py::float_(l.ReDensity))) +
                   ", im_density=" + std::string(py::repr(py::float_(l.ImDensity))) +
                   ", roughness=" + std::string(py::repr(py::float_(l.Roughness))) + ")";
        });

    // ---- Sample
    py::class_<SampleObject> sample(m, "Sample", kSampleDoc);
    sample
        .def(py::init([](py::handle layers, std::optional<int> top, int repeatUnit, int bottom,
                         int repeatCount, double wavelength, double spread, double offset1,
                         double offset2, double slope1, double slope2, int units) {
                 SampleObject s;
                 s.Layers = LayerTable(layers);
                 const auto rows = static_cast<int>(py::len(s.Layers));
                 api::Sample& h = s.Header;
                 h.TopLayerCount = top ? *top : std::max(rows - 1 - repeatUnit - bottom, 0);
                 h.RepeatUnitLayerCount = repeatUnit;
                 h.BottomLayerCount = bottom;
                 h.RepeatCount = repeatCount;
                 h.Wavelength = wavelength;
                 h.WavelengthSpread = spread;
                 h.ResolutionOffset1 = offset1;
                 h.ResolutionOffset2 = offset2;
                 h.ResolutionSlope1 = slope1;
                 h.ResolutionSlope2 = slope2;
                 h.Units = UnitsOf(units);
                 return s;
             }),
             "layers"_a, py::kw_only(), "top_layer_count"_a = py::none(),
             "repeat_unit_layer_count"_a = 0, "bottom_layer_count"_a = 0, "repeat_count"_a = 0,
             "wavelength"_a = 1.5406, "wavelength_spread"_a = 0.0, "resolution_offset1"_a = 0.0,
             "resolution_offset2"_a = 0.0, "resolution_slope1"_a = 0.0, "resolution_slope2"_a = 0.0,
             "density_units"_a = 0)
        .def_property(
            "layers", [](const SampleObject& s) { return s.Layers; },
            [](SampleObject& s, py::handle value) { s.Layers = LayerTable(value); },
            "The layers, top to substrate: an (n, 4) float array of thickness (A), the two "
            "density columns and roughness (A). Edit it in place or assign an array-like or a "
            "list of korvel.Layer.")
        .def_property(
            "layer_list",
            [](const SampleObject& s) {
                const api::Sample full = ToApi(s);
                return full.Layers;
            },
            [](SampleObject& s, py::handle value) { s.Layers = LayerTable(value); },
            "The layers as a list of korvel.Layer (copies: assign the list back to change them).")
        .def_property(
            "density_units", [](const SampleObject& s) { return static_cast<int>(s.Header.Units); },
            [](SampleObject& s, int units) { s.Header.Units = UnitsOf(units); },
            "What the two density columns hold: 0 delta and beta, 1 scattering length density "
            "(1/A^2), 2 electron density (1/A^3), 3 Qc^2 (1/A^2) and absorption mu (1/A).")
        .def(
            "copy",
            [](const SampleObject& s) {
                SampleObject copy = s;
                copy.Layers = Array(s.Layers.attr("copy")());
                return copy;
            },
            "A copy with its own layer array.")
        .def(
            "to_text", [](const SampleObject& s) { return api::FormatSample(ToApi(s)); },
            "The model file's text (.mdl), CR LF line ends, as the program writes it.")
        .def_static(
            "from_text",
            [](const std::string& text, int units, const std::string& name) {
                std::vector<std::string> warnings;
                SampleObject s = FromApi(api::ParseSample(text, UnitsOf(units), name, &warnings));
                Warn(warnings);
                return s;
            },
            "text"_a, "density_units"_a = 0, "name"_a = "model",
            "The sample of a model file's text; `name` names it in messages. A text that ends "
            "early reads the missing numbers as 0 with a KorvelWarning.")
        .def("__repr__", [](const SampleObject& s) {
            const api::Sample& h = s.Header;
            return "Sample(" + std::to_string(py::len(s.Layers)) + " layers: top " +
                   std::to_string(h.TopLayerCount) + ", repeat unit " +
                   std::to_string(h.RepeatUnitLayerCount) + " x " + std::to_string(h.RepeatCount) +
                   ", bottom " + std::to_string(h.BottomLayerCount) + ", substrate; wavelength " +
                   std::string(py::repr(py::float_(h.Wavelength))) + " A, density_units " +
                   std::to_string(static_cast<int>(h.Units)) + ")";
        });
    auto header = [&sample](const char* name, auto member, const char* doc) {
        sample.def_property(
            name, [member](const SampleObject& s) { return s.Header.*member; },
            [member](SampleObject& s, std::remove_cvref_t<decltype(api::Sample{}.*member)> v) {
                s.Header.*member = v;
            },
            doc);
    };
    header("wavelength", &api::Sample::Wavelength, "Wavelength in angstrom, above 0.");
    header("wavelength_spread", &api::Sample::WavelengthSpread,
           "Wavelength spread in angstrom; smears with half width theta * spread / wavelength.");
    header("resolution_offset1", &api::Sample::ResolutionOffset1,
           "Angular resolution, first law: half width (degrees) = slope1 * theta + offset1; the "
           "smaller of the two laws applies. Degrees.");
    header("resolution_offset2", &api::Sample::ResolutionOffset2,
           "Offset of the second resolution law, degrees.");
    header("resolution_slope1", &api::Sample::ResolutionSlope1,
           "Slope of the first resolution law, degrees per degree.");
    header("resolution_slope2", &api::Sample::ResolutionSlope2,
           "Slope of the second resolution law, degrees per degree.");
    header("top_layer_count", &api::Sample::TopLayerCount,
           "Layers above the repeat unit, 0 to 255.");
    header("repeat_unit_layer_count", &api::Sample::RepeatUnitLayerCount,
           "Layers of the repeat unit, 0 to 255.");
    header("bottom_layer_count", &api::Sample::BottomLayerCount,
           "Layers between the repeat unit and the substrate, 0 to 255.");
    header("repeat_count", &api::Sample::RepeatCount,
           "Periods of the repeat unit, 0 to 255 (counts only with a repeat unit).");

    // ---- Curve
    py::class_<CurveObject>(m, "Curve",
                            "A reflectivity curve: theta (degrees, increasing), intensity and "
                            "optionally its uncertainty dI and its resolution, arrays of one "
                            "length.\n\n"
                            "Curve(theta, intensity, uncertainty=None, resolution=None) holds "
                            "float64 one-dimensional arrays as they are (no copy).")
        .def(py::init(&MakeCurve), "theta"_a, "intensity"_a, "uncertainty"_a = py::none(),
             "resolution"_a = py::none())
        .def_readwrite("resolution", &CurveObject::Resolution,
                       "The resolution at each point: standard deviation of a Gaussian in Qz "
                       "(1/A), NaN where unknown; or None. A fit smears with it by default.")
        .def_readwrite("theta", &CurveObject::Theta, "Glancing angles, degrees.")
        .def_readwrite("intensity", &CurveObject::Intensity, "Reflectivity at each angle.")
        .def_readwrite("uncertainty", &CurveObject::Uncertainty,
                       "Uncertainty dI of each intensity, or None.")
        .def("__len__", [](const CurveObject& c) { return py::len(c.Theta); })
        .def(
            "to_text",
            [](const CurveObject& c, bool qz, double wavelength) {
                const api::Curve curve = ToApi(c);
                return api::FormatData(curve, {!curve.Uncertainty.empty(), qz, wavelength});
            },
            "qz"_a = false, "wavelength"_a = 0.0,
            "The data file's text (.dat): per point the abscissa (theta in degrees, or Qz in "
            "1/A at `wavelength` A when qz), the intensity and, when the curve has them, the "
            "uncertainty.")
        .def_static(
            "from_text",
            [](const std::string& text, bool uncertainties, bool qz, double wavelength,
               const std::string& name) {
                return FromApi(api::ParseData(text, {uncertainties, qz, wavelength}, name));
            },
            "text"_a, "uncertainties"_a = false, "qz"_a = false, "wavelength"_a = 0.0,
            "name"_a = "data",
            "The curve of a data file's text; with qz the abscissae are Qz (1/A), turned into "
            "theta with `wavelength` (A).")
        .def("__repr__", [](const CurveObject& c) {
            return "Curve(" + std::to_string(py::len(c.Theta)) + " points" +
                   (c.Uncertainty.is_none() ? "" : ", with uncertainty") + ")";
        });

    // ---- Reading and writing texts
    m.def("read_text", &api::ReadTextFile, "path"_a,
          "The whole text of an input file, read as the program reads its files (its "
          "messages for a missing, unreadable or non-text file).");
    m.def("write_text", &api::WriteTextFile, "path"_a, "text"_a,
          "Replaces the file at `path` with `text` atomically, as the program writes its "
          "result files.");
    m.def(
        "parse_limits",
        [](const std::string& text, int parameterCount, const std::string& name) {
            std::vector<std::string> warnings;
            const api::Limits limits = api::ParseLimits(text, parameterCount, name, &warnings);
            Warn(warnings);
            return LimitsArray(limits);
        },
        "text"_a, "parameter_count"_a, "name"_a = "limits",
        "The limits file's text (.lmt) of a model of `parameter_count` parameters (4 per "
        "layer) as an (n, 3) array of lower bound, upper bound and step column.");
    m.def(
        "format_limits", [](py::handle limits) { return api::FormatLimits(LimitsOf(limits)); },
        "limits"_a, "The limits file's text of an (n, 3) array, as the program writes it.");

    // ---- Simulation
    py::class_<SimulationObject>(m, "Simulation",
                                 "A computed curve: read-only arrays over the library's result.")
        .def_property_readonly(
            "theta",
            [](py::object self) {
                return View(self.cast<SimulationObject&>().Result.Smeared.Theta, self);
            },
            "Glancing angles, degrees.")
        .def_property_readonly(
            "reflectivity",
            [](py::object self) {
                return View(self.cast<SimulationObject&>().Result.Smeared.Intensity, self);
            },
            "The smeared reflectivity (as the .sml file holds it).")
        .def_property_readonly(
            "unsmeared",
            [](py::object self) {
                return View(self.cast<SimulationObject&>().Result.Computed.Intensity, self);
            },
            "The reflectivity before smearing, floored at the cut-off level.")
        .def_property_readonly(
            "sml_text", [](const SimulationObject& s) { return api::FormatSml(s.Result); },
            "The .sml file's text, as `korvel-cli simulate` writes it.");

    m.def(
        "simulate",
        [](const SampleObject& s, py::handle theta, py::handle qz, const std::string& method,
           double cutOff, unsigned threads, py::handle resolution) {
            return SimulationObject{Simulate(s, theta, qz, method, cutOff, threads, resolution)};
        },
        "sample"_a, "theta"_a = py::none(), py::kw_only(), "qz"_a = py::none(),
        "method"_a = "matrix", "cut_off"_a = 0.0, "threads"_a = 1, "resolution"_a = py::none(),
        R"doc(Simulates `sample` at the glancing angles `theta` (degrees, increasing, below 90)
or at `qz` (1/A, turned into angles with the sample's wavelength).

method: 'matrix', 'parratt' or 'fourier'. cut_off: floor of the computed reflectivity.
threads: engine threads sharing the points (0: one per processor). resolution: a
standard deviation in Qz (1/A) per point (a data curve's resolution) to smear with a
Gaussian of that width instead of the sample's resolution laws. Returns a Simulation
with the smeared and unsmeared curves and the .sml text. Releases the GIL.)doc");
    m.def(
        "reflectivity",
        [](const SampleObject& s, py::handle theta, py::handle qz, const std::string& method,
           double cutOff, bool smeared, unsigned threads, py::handle resolution) {
            api::Simulation result = Simulate(s, theta, qz, method, cutOff, threads, resolution);
            return Adopt(std::move(smeared ? result.Smeared.Intensity : result.Computed.Intensity));
        },
        "sample"_a, "theta"_a = py::none(), py::kw_only(), "qz"_a = py::none(),
        "method"_a = "matrix", "cut_off"_a = 0.0, "smeared"_a = true, "threads"_a = 1,
        "resolution"_a = py::none(),
        R"doc(The reflectivity of `sample` at the glancing angles `theta` (degrees, increasing,
below 90) or at `qz` (1/A), as a NumPy array.

method: 'matrix' (2x2 matrices), 'parratt' (Parratt's recursion) or 'fourier'
(kinematic, Parratt near the edge). cut_off: floor of the computed reflectivity.
smeared: with the sample's wavelength spread and angular resolution (as the .sml file);
False gives the unsmeared curve. threads: engine threads (0: one per processor).
resolution: a standard deviation in Qz (1/A) per point to smear with a Gaussian of that
width instead of the sample's laws. Releases the GIL while it computes.)doc");

    // ---- Fit problem
    py::class_<ProblemObject> problem(m, "FitProblem",
                                      R"doc(Everything a fit works on.

FitProblem(sample, limits, data, *, method='matrix', fit_mode=True, scaled=True,
           cut_off=0, tolerance=1e-5, max_iterations=65000, weights='data',
           error_fraction=0.03, repeat_unit_fixed=False, qz=False,
           data_file_name='', model_file_name='', limits_file_name='',
           resolution='default')

sample: the starting korvel.Sample. limits: (n, 3) array-like of lower bound, upper
bound and step column per model parameter (4 per layer, top to substrate: thickness,
the two density columns, roughness), step 0 fixed, 0..99.9 free (starting spread in
per cent), -L follow layer L; None only evaluates the sample (fit_mode False).
data: the measured korvel.Curve (theta in degrees). resolution: what smears the computed
curve, 'default' (the data's resolution when data.resolution is given, else the
sample's laws), 'data' or 'model'.)doc");
    problem
        .def(py::init([](py::object s, py::object limits, py::object data,
                         const std::string& method, bool fitMode, bool scaled, double cutOff,
                         double tolerance, int maxIterations, const std::string& weights,
                         double errorFraction, bool repeatUnitFixed, bool qz, std::string dataName,
                         std::string modelName, std::string limitsName,
                         const std::string& resolution) {
                 if (!py::isinstance<SampleObject>(s))
                     throw py::type_error("sample must be a korvel.Sample");
                 if (!py::isinstance<CurveObject>(data))
                     throw py::type_error("data must be a korvel.Curve");
                 ProblemObject p;
                 p.Sample = std::move(s);
                 p.Limits = limits.is_none()
                                ? limits
                                : py::object(AsTable(limits, kLimitsColumns, "limits"));
                 p.Data = std::move(data);
                 api::FitProblem& c = p.Choices;
                 c.Method = MethodOf(method);
                 c.FitMode = fitMode;
                 c.DataScaled = scaled;
                 c.CutOff = cutOff;
                 c.Tolerance = tolerance;
                 c.MaxIterations = maxIterations;
                 c.Weights = WeightingOf(weights);
                 c.ErrorFraction = errorFraction;
                 c.RepeatUnitFixed = repeatUnitFixed;
                 c.QzAbscissa = qz;
                 c.DataFileName = std::move(dataName);
                 c.ModelFileName = std::move(modelName);
                 c.LimitsFileName = std::move(limitsName);
                 c.Resolution = ResolutionOf(resolution);
                 return p;
             }),
             "sample"_a, "limits"_a, "data"_a, py::kw_only(), "method"_a = "matrix",
             "fit_mode"_a = true, "scaled"_a = true, "cut_off"_a = 0.0, "tolerance"_a = 1.0e-5,
             "max_iterations"_a = 65000, "weights"_a = "data", "error_fraction"_a = 0.03,
             "repeat_unit_fixed"_a = false, "qz"_a = false, "data_file_name"_a = "",
             "model_file_name"_a = "", "limits_file_name"_a = "", "resolution"_a = "default")
        .def_readwrite("sample", &ProblemObject::Sample, "The starting korvel.Sample.")
        .def_property(
            "limits", [](const ProblemObject& p) { return p.Limits; },
            [](ProblemObject& p, py::object v) {
                p.Limits = v.is_none() ? v : py::object(AsTable(v, kLimitsColumns, "limits"));
            },
            "(n, 3) array of lower bound, upper bound and step column per model parameter "
            "(bounds in the sample's units), or None.")
        .def_readwrite("data", &ProblemObject::Data, "The measured korvel.Curve.")
        .def_property(
            "method", [](const ProblemObject& p) { return MethodName(p.Choices.Method); },
            [](ProblemObject& p, const std::string& v) { p.Choices.Method = MethodOf(v); },
            "'matrix', 'parratt' or 'fourier'.")
        .def_property(
            "weights", [](const ProblemObject& p) { return WeightingName(p.Choices.Weights); },
            [](ProblemObject& p, const std::string& v) { p.Choices.Weights = WeightingOf(v); },
            "Residual weights dI: 'data' (the data's uncertainty), 'fresnel' (the bare "
            "substrate's Fresnel curve) or 'fraction' (error_fraction times the intensity).");
    auto choice = [&problem](const char* name, auto member, const char* doc) {
        problem.def_property(
            name, [member](const ProblemObject& p) { return p.Choices.*member; },
            [member](ProblemObject& p, std::remove_cvref_t<decltype(api::FitProblem{}.*member)> v) {
                p.Choices.*member = std::move(v);
            },
            doc);
    };
    choice("fit_mode", &api::FitProblem::FitMode,
           "False only evaluates the starting sample at the data's angles.");
    choice("scaled", &api::FitProblem::DataScaled,
           "True: the data are absolute; False: the computed curves are scaled onto the data.");
    choice("cut_off", &api::FitProblem::CutOff, "Floor of the computed reflectivity.");
    choice("tolerance", &api::FitProblem::Tolerance,
           "Relative spread of the simplex at which a local run ends.");
    choice("max_iterations", &api::FitProblem::MaxIterations,
           "Iterations of one simplex run, 0 to 65535.");
    choice("error_fraction", &api::FitProblem::ErrorFraction,
           "D of dI = D * I for weights 'fraction'.");
    choice("repeat_unit_fixed", &api::FitProblem::RepeatUnitFixed,
           "Keep the thickness of one repeat-unit period constant.");
    choice("qz", &api::FitProblem::QzAbscissa, "The .pct text writes Qz (1/A) instead of theta.");
    choice("data_file_name", &api::FitProblem::DataFileName, "The data file the report names.");
    choice("model_file_name", &api::FitProblem::ModelFileName,
           "The model file the report names; the result files are named after it.");
    choice("limits_file_name", &api::FitProblem::LimitsFileName,
           "The limits file the report names.");
    choice("warnings", &api::FitProblem::Warnings, "What the readers found without stopping.");

    m.def(
        "read_problem",
        [](const std::string& path, bool qz, int units, bool repeatUnitFixed,
           const std::string& weights, double errorFraction, const std::string& dataFile,
           int dataSet, bool dqFwhm, const std::string& resolution) {
            api::ReadOptions options;
            options.DataFile = dataFile;
            options.DataSet = dataSet;
            options.ResolutionIsFwhm = dqFwhm;
            options.Resolution = ResolutionOf(resolution);
            options.Qz = qz;
            options.Units = UnitsOf(units);
            options.RepeatUnitFixed = repeatUnitFixed;
            options.Weights = WeightingOf(weights);
            options.ErrorFraction = errorFraction;
            api::FitProblem read = api::ReadProblem(path, options);
            ProblemObject p;
            p.Sample = py::cast(FromApi(read.Model));
            p.Limits = LimitsArray(read.Bounds);
            p.Data = py::cast(FromApi(std::move(read.Data)));
            read.Model = {};
            read.Bounds = {};
            p.Choices = std::move(read);
            return p;
        },
        "path"_a, py::kw_only(), "qz"_a = false, "density_units"_a = 0,
        "repeat_unit_fixed"_a = false, "weights"_a = "fraction", "error_fraction"_a = 0.03,
        "data_file"_a = "", "dataset"_a = 1, "dq_fwhm"_a = false, "resolution"_a = "default",
        R"doc(The fit problem of the command file (.inp) at `path` with the data, model and
limits files it names, read exactly as `korvel-cli fit` reads them.

data_file: read this data file instead of the command file's (one command file for
each curve of a series, as `korvel-cli batch` does); taken as given.

qz: the data's abscissae are Qz (1/A). density_units: 0..3, what the density columns
hold. weights ('fresnel' or 'fraction' with error_fraction): used when the command
file takes no uncertainties from the data file, or the data file gives none.

A column data file (.ort, or '#' header lines: Qz in 1/A, R, dR, dQ) is read with its
resolution column, Qz turned into angles at the model's wavelength: dataset picks one
of several data sets (1 = the first), dq_fwhm reads a plain file's dQ as FWHM.
resolution: 'default' (the data's when they give one), 'data' or 'model'.)doc");

    // ---- Fit and its result
    py::class_<api::Progress>(m, "Progress", "One report of a running fit.")
        .def_property_readonly(
            "phase", [](const api::Progress& p) { return kPhaseNames[static_cast<int>(p.Phase)]; },
            "initial_simplex, search, local, tunnelling, global_step, result, "
            "newton, newton_gradient, newton_curvature, uncertainty, population (a "
            "population search) or sampling (the posterior sampler).")
        .def_property_readonly(
            "event", [](const api::Progress& p) { return kEventNames[static_cast<int>(p.Event)]; },
            "started, ended, vertex_started, vertex_evaluated, iteration, "
            "run_ended, count_down, evaluated or generation.")
        .def_readonly("evaluations", &api::Progress::Evaluations, "Curve evaluations so far.")
        .def_readonly("session_best", &api::Progress::SessionBest,
                      "Lowest reduced chi-square of the local runs (NaN before the first).")
        .def_readonly("iteration", &api::Progress::Iteration, "The simplex run's iterations.")
        .def_readonly("best_merit", &api::Progress::BestMerit, "Lowest value of the simplex.")
        .def_readonly("worst_merit", &api::Progress::WorstMerit, "Highest value of the simplex.")
        .def_readonly("tolerance", &api::Progress::Tolerance,
                      "2 |worst - best| / (|worst| + |best|).")
        .def_readonly("new_best", &api::Progress::NewBest, "The lowest value is new in this run.")
        .def_readonly("termination", &api::Progress::Termination, "Why the run ended.")
        .def_readonly("remaining", &api::Progress::Remaining, "Vertices or stages left.")
        .def_readonly("total", &api::Progress::Total, "Of this many.")
        .def_readonly("seconds_per_curve", &api::Progress::SecondsPerCurve,
                      "Clock time of one evaluation, seconds.")
        .def_readonly("generation", &api::Progress::Generation,
                      "Event generation: the population's generation (0 the initial one) of at "
                      "most total, or the sampler's step (from 1).")
        .def_readonly("median_merit", &api::Progress::MedianMerit,
                      "Event generation of a population search: median reduced chi-square of "
                      "the population (best_merit: the lowest so far).")
        .def_readonly("acceptance", &api::Progress::Acceptance,
                      "Event generation of the sampler: fraction of proposals accepted so far.")
        .def("__str__", &ProgressText)
        .def("__repr__",
             [](const api::Progress& p) { return "<Progress " + ProgressText(p) + ">"; });

    py::class_<api::FittedParameter>(m, "Parameter", "A free parameter of a finished fit.")
        .def_readonly("name", &api::FittedParameter::Name,
                      "Column label and layer: 'Thickness:1', 'ReDensity:2'.")
        .def_readonly("value", &api::FittedParameter::Value,
                      "Fitted value in the sample's units (angstrom; densities in its units).")
        .def_readonly("uncertainty", &api::FittedParameter::Uncertainty,
                      "Its uncertainty in the same units, or None when not estimated.")
        .def_readonly("start", &api::FittedParameter::Start,
                      "The starting sample's value, same units.")
        .def_readonly("lower", &api::FittedParameter::Lower, "Lower limit, same units.")
        .def_readonly("upper", &api::FittedParameter::Upper, "Upper limit, same units.")
        .def_property_readonly(
            "at_limit",
            [](const api::FittedParameter& p) -> py::object {
                if (p.Mark == api::LimitMark::AtLower) return py::str("lower");
                if (p.Mark == api::LimitMark::AtUpper) return py::str("upper");
                return py::none();
            },
            "'lower' or 'upper' when the value sits within a thousandth of the range of that "
            "limit, else None.")
        .def("__repr__", [](const api::FittedParameter& p) {
            std::string text =
                "Parameter('" + p.Name + "', " + std::string(py::repr(py::float_(p.Value)));
            if (p.Uncertainty) text += " +- " + std::string(py::repr(py::float_(*p.Uncertainty)));
            return text + ")";
        });

    py::class_<FitCurveObject>(m, "FitCurve",
                               "The curves of a fit at the data's angles (read-only arrays).")
        .def_property_readonly(
            "theta",
            [](const FitCurveObject& c) { return View(ResultOf(c).Measured.Theta, c.Owner); },
            "Glancing angles, degrees.")
        .def_property_readonly(
            "measured",
            [](const FitCurveObject& c) { return View(ResultOf(c).Measured.Intensity, c.Owner); },
            "The measured intensities.")
        .def_property_readonly(
            "uncertainty",
            [](const FitCurveObject& c) { return View(ResultOf(c).Measured.Uncertainty, c.Owner); },
            "The residual weights dI the fit used.")
        .def_property_readonly(
            "fitted",
            [](const FitCurveObject& c) { return View(ResultOf(c).Smeared.Intensity, c.Owner); },
            "The final model's smeared, scaled curve (as the .pct file holds it).")
        .def_property_readonly(
            "unsmeared",
            [](const FitCurveObject& c) { return View(ResultOf(c).Computed.Intensity, c.Owner); },
            "The same before smearing.");

    py::class_<ResultObject>(m, "FitResult", "What a fit found.")
        .def_property_readonly(
            "parameters", [](const ResultObject& r) { return r.Result.Parameters; },
            "The free parameters in model order: name, value, uncertainty.")
        .def_property_readonly(
            "chi2", [](const ResultObject& r) { return r.Result.ReducedChiSquare; },
            "Reduced chi-square of the final model ('Norma' in the .bst).")
        .def_property_readonly(
            "seed", [](const ResultObject& r) { return r.Result.Seed; },
            "The seed used: fit(problem, seed=result.seed) repeats the fit.")
        .def_property_readonly(
            "stopped", [](const ResultObject& r) { return r.Result.Stopped; },
            "A stop (KeyboardInterrupt) ended the fit early.")
        .def_property_readonly(
            "termination", [](const ResultObject& r) { return r.Result.Termination; },
            "How the last simplex run or global step ended.")
        .def_property_readonly(
            "evaluations", [](const ResultObject& r) { return r.Result.Evaluations; },
            "Curve evaluations.")
        .def_property_readonly(
            "method", [](const ResultObject& r) { return api::SearchMethodName(r.Result.Method); },
            "The search the fit ran: 'tunnelling', 'de', 'cmaes', 'pso', ...")
        .def_property_readonly(
            "generations", [](const ResultObject& r) { return r.Result.Generations; },
            "Generations of a population search (0 for the tunnelling search).")
        .def_property_readonly(
            "fit_window",
            [](const ResultObject& r) {
                return py::slice(r.Result.WindowFirst - 1, r.Result.WindowLast, 1);
            },
            "The points the reduced chi-square sums, as a slice of the curve's arrays.")
        .def_readonly("problem", &ResultObject::Problem,
                      "The FitProblem fitted (sample() and write_ort() use it).")
        .def_property_readonly(
            "warnings", [](const ResultObject& r) { return r.Result.Warnings; },
            "The problem's warnings, then the fit's own.")
        .def_property_readonly(
            "scale_unsmeared", [](const ResultObject& r) { return r.Result.ScaleUnsmeared; },
            "Factor applied to the computed curve (1 for scaled data).")
        .def_property_readonly(
            "scale_smeared", [](const ResultObject& r) { return r.Result.ScaleSmeared; },
            "Factor applied to the smeared curve.")
        .def_property_readonly(
            "sample", [](const ResultObject& r) { return FromApi(r.Result.Fitted); },
            "The fitted korvel.Sample (a new object at each access).")
        .def_property_readonly(
            "curve", [](py::object self) { return FitCurveObject{self}; },
            "The data and the fitted curve: theta, measured, uncertainty, fitted.")
        .def_property_readonly(
            "bst_text", [](const ResultObject& r) { return r.Result.BstText; },
            "The .bst file's text.")
        .def_property_readonly(
            "pct_text", [](const ResultObject& r) { return r.Result.PctText; },
            "The .pct file's text.")
        .def_property_readonly(
            "loc_text", [](const ResultObject& r) { return r.Result.LocText; },
            "The .loc file's text.")
        .def("__repr__", [](const ResultObject& r) {
            char text[160];
            std::snprintf(text, sizeof text, "<FitResult chi2=%.6g, %zu parameters, seed %llu%s>",
                          r.Result.ReducedChiSquare, r.Result.Parameters.size(),
                          static_cast<unsigned long long>(r.Result.Seed),
                          r.Result.Stopped ? ", stopped" : "");
            return std::string(text);
        });

    m.def(
        "fit",
        [](py::object problemObject, std::optional<std::uint64_t> seed, bool newton,
           bool uncertainty, py::object progress, unsigned threads, int maxRespreads,
           const std::string& optimizer, int population, int generations) {
            if (!py::isinstance<ProblemObject>(problemObject))
                throw py::type_error("problem must be a korvel.FitProblem");
            const auto& p = problemObject.cast<const ProblemObject&>();
            if (!progress.is_none() && !PyCallable_Check(progress.ptr()))
                throw py::type_error("progress must be callable (it is given a korvel.Progress)");
            const api::FitProblem problem = ToApi(p);
            api::FitControl control;
            control.Seed = seed;
            control.NewtonStep = newton;
            control.Uncertainty = uncertainty;
            control.Threads = threads;
            control.MaxRespreads = maxRespreads;
            control.Search = SearchMethodOf(optimizer);
            control.Population = population;
            control.Generations = generations;
            control.Stop = std::make_shared<api::StopRequest>();
            FitSupervisor supervisor(progress.is_none() ? py::object() : progress, control.Stop);
            control.OnProgress = [&supervisor](const api::Progress& r) {
                supervisor.OnProgress(r);
            };
            ResultObject result;
            result.Problem = problemObject;
            {
                py::gil_scoped_release released;
                result.Result = api::Fit(problem, control);
            }
            Warn(result.Result.Warnings);
            return result;
        },
        "problem"_a, py::kw_only(), "seed"_a = py::none(), "newton"_a = false,
        "uncertainty"_a = false, "progress"_a = py::none(), "threads"_a = 1,
        "max_respreads"_a = api::kDefaultMaxRespreads, "optimizer"_a = "tunnelling",
        "population"_a = 0, "generations"_a = 0,
        R"doc(Fits the problem's sample to its data; returns a FitResult.

seed: of the random starting simplex and global steps (None: the clock's; the result
reports the seed used). newton: one Newton step after the search. uncertainty:
estimate the free parameters' uncertainties. progress: called with a korvel.Progress
at every report. threads: engine threads of each evaluation (0: one per processor;
keep 1 when running fits in parallel). max_respreads: re-spreads of one global step
after which the search gives up (-1: no bound).

optimizer: 'tunnelling' (the program's search, the default), or a population search
inside the limits whose best member the local simplex then polishes: 'de'
(self-adaptive differential evolution), 'de-rand1bin', 'de-best1bin',
'de-current-to-best1bin', 'cmaes' or 'pso'; population: its members (0: chosen from
the free parameters), generations: at most this many (0: the method's default). Its
progress reports phase 'population', event 'generation' with generation, best_merit
and median_merit; with threads the members are evaluated in parallel. result.method
names the search used.

Releases the GIL while it computes. KeyboardInterrupt (Ctrl+C) ends the search: the
best result so far is returned with result.stopped True; a second one raises.)doc");

    m.def(
        "write_results",
        [](const ResultObject& r, const std::string& folder) {
            return api::WriteResults(r.Result, folder);
        },
        "result"_a, "folder"_a,
        "Writes the result's .bst, .pct and .loc files into `folder`, named after the "
        "problem's model file, exactly as the program writes them, all three replaced "
        "together or none. Returns the three paths.");

    RegisterAnalysis(m);
    RegisterColumnData(m, problem);
    AddPickling(m);
}
