#pragma once
// Korvel's public interface: plain types and free functions over the reflectivity
// core. Simulate a layer stack's specular reflectivity, fit a stack to a measured
// curve, and read and write every file format of the program through text.
//
// Units throughout: lengths (thickness, roughness, wavelength) in angstrom, angles
// in degrees (the glancing angle theta), Qz in 1/angstrom, the two density columns
// of a layer in the sample's density units. Every curve's abscissa is theta; Qz only
// exists in files and in SimulateQz.
//
// Thread safety: every function works on its arguments alone. Any number of calls
// may run at once on different threads; they share no mutable state. A call computes
// on the calling thread unless it is asked for more engine threads.
//
// Errors: every function throws korvel::RunError, whose Message() is the program's
// own text and whose Where() names the place (a file and line, a parameter, a point).
//
// The types live in korvel::api, apart from the program's internal records in
// namespace korvel; korvel::RunError and korvel::kVersion are shared by both.
//
// Includes the standard library only.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "korvel/RunError.h"

namespace korvel {

// The version of the library, as the package reports it.
inline constexpr char kVersion[] = "0.1.0";

}  // namespace korvel

namespace korvel::api {

using korvel::RunError;

// ---------------------------------------------------------------------------------
// Samples, limits and curves

// What the two density columns of a layer hold; the values are the items of the
// program's "Density Units" choice. Each becomes delta and beta of the refractive
// index n = 1 - delta - i beta when computed (lambda the wavelength in angstrom).
enum class DensityUnits : int {
    DeltaBeta = 0,         // delta and beta themselves
    ScatteringLength = 1,  // SLD real and imaginary part, 1/A^2: x lambda^2 / (2 pi)
    ElectronDensity = 2,   // electrons per A^3: x lambda^2 r_e / (2 pi), r_e = 2.817939e-5 A
    CriticalEdge = 3,      // Qc^2 (1/A^2) and the absorption coefficient mu (1/A):
                           // delta = Qc^2 lambda^2 / (32 pi^2), beta = mu lambda / (4 pi)
};

// One layer of a sample, as a line of the model file gives it.
struct Layer {
    double Thickness = 0.0;  // angstrom; the substrate's is ignored by every computation
    double ReDensity = 0.0;  // column 2, in the sample's density units (delta for DeltaBeta)
    double ImDensity = 0.0;  // column 3, likewise (beta for DeltaBeta)
    double Roughness = 0.0;  // angstrom, rms roughness of the layer's upper interface
};

// A layer stack and the instrument numbers of the model file (.mdl). The stack, from
// the top: TopLayerCount layers, the RepeatUnitLayerCount layers of the repeat unit
// stacked RepeatCount times, BottomLayerCount layers, the substrate. `Layers` lists
// each layer once, top to substrate: TopLayerCount + RepeatUnitLayerCount +
// BottomLayerCount + 1 of them. Counts are 0 to 255; RepeatCount counts only when
// there is a repeat unit.
struct Sample {
    double Wavelength = 1.5406;     // angstrom, above 0
    double WavelengthSpread = 0.0;  // angstrom; smears with half width theta * spread / wavelength
    // The instrument's angular resolution: two linear laws in theta, half width (degrees)
    // = slope * theta + offset; the smaller of the two applies.
    double ResolutionOffset1 = 0.0;  // degrees
    double ResolutionOffset2 = 0.0;  // degrees
    double ResolutionSlope1 = 0.0;   // degrees per degree (a pure number)
    double ResolutionSlope2 = 0.0;   // degrees per degree
    int TopLayerCount = 0;
    int RepeatUnitLayerCount = 0;
    int BottomLayerCount = 0;
    int RepeatCount = 0;
    std::vector<Layer> Layers;
    DensityUnits Units = DensityUnits::DeltaBeta;
};

// Bounds and step column of one model parameter, as a line of the limits file gives it.
struct ParameterLimits {
    double Lower = 0.0;  // in the sample's units (density columns: its density units)
    double Upper = 0.0;
    // 0: fixed. 0 to 99.9: free, the starting simplex spread in per cent of the value
    // (larger values count as 99.9). -L: the parameter follows the same parameter of
    // layer L (a link).
    double Step = 0.0;
};

// The limits file (.lmt): one entry per model parameter, in model order, four per
// layer top to substrate: thickness, column 2, column 3, roughness.
struct Limits {
    std::vector<ParameterLimits> Parameters;
};

// A reflectivity curve. The vectors run in parallel; Uncertainty and Resolution are
// empty when the curve carries none.
struct Curve {
    std::vector<double> Theta;        // glancing angle, degrees, increasing
    std::vector<double> Intensity;    // reflectivity (measured, or computed)
    std::vector<double> Uncertainty;  // dI of each intensity, or empty
    // The instrument's resolution at each point: the standard deviation of a Gaussian in
    // Qz (1/A); NaN where unknown. Column data files give it.
    std::vector<double> Resolution;
};

// How the reflectivity of a point is computed.
enum class CalculationMethod {
    Fourier,  // kinematic (first Born) approximation; Parratt at angles up to four
              // times the critical angle of the densest film layer
    Parratt,  // Parratt's recursion (1954) with Nevot-Croce roughness factors (1980)
    Matrix,   // the same optics as 2x2 matrices, a repeat unit's power in closed form
};

// ---------------------------------------------------------------------------------
// Simulation

// A computed curve at the given angles.
struct Simulation {
    Curve Computed;  // unsmeared reflectivity, floored at the cut-off level
    Curve Smeared;   // after the wavelength-spread and resolution smearing
    // How the .sml text writes the abscissa: Qz at this wavelength (angstrom) instead
    // of theta. SimulateQz sets both.
    bool QzAbscissa = false;
    double Wavelength = 0.0;
};

// The reflectivity of `sample` at the glancing angles `theta` (degrees, increasing,
// below 90, at most 65535 of them) by `method`, floored at `cutOff`. `threads` engine
// threads share the points (0: one per processor); results do not depend on it.
// `resolution`, when given, holds a standard deviation in Qz (1/A) per angle (0 or NaN:
// that point unsmeared): the smeared curve is then averaged over a Gaussian of that
// width at each point (Gauss quadrature over +-3.5 standard deviations, as a fit with
// the data's resolution), in place of the sample's wavelength spread and laws.
Simulation Simulate(const Sample& sample, const std::vector<double>& theta,
                    CalculationMethod method = CalculationMethod::Matrix, double cutOff = 0.0,
                    unsigned threads = 1, const std::vector<double>& resolution = {});
// The same at the given Qz (1/A), turned into angles with the sample's wavelength.
Simulation SimulateQz(const Sample& sample, const std::vector<double>& qz,
                      CalculationMethod method = CalculationMethod::Matrix, double cutOff = 0.0,
                      unsigned threads = 1, const std::vector<double>& resolution = {});

// ---------------------------------------------------------------------------------
// Fit

// Where the residual weights dI of a fit come from.
enum class Weighting {
    FromData,  // the data's Uncertainty ("Error Bar from file")
    Fresnel,   // the bare substrate's Fresnel reflectivity
    Fraction,  // ErrorFraction times the measured intensity
};

// Which resolution smears a computed curve that is compared with data.
enum class ResolutionSource {
    Default,  // the data's when the data carry a resolution column, else the model's
    Data,     // a Gaussian of each point's width in Qz (Curve::Resolution)
    Model,    // the sample's wavelength spread and two resolution laws
};

// Everything a fit works on: what the command file, the model, the limits and the
// data file give a fitting run, and the choices of its dialogs.
struct FitProblem {
    Sample Model;   // the starting model
    Limits Bounds;  // one entry per model parameter; may be empty when FitMode is false
    Curve Data;     // the measured curve; Uncertainty needed for Weighting::FromData
    CalculationMethod Method = CalculationMethod::Matrix;
    bool FitMode = true;        // false: only evaluate the starting model at the data's angles
    bool DataScaled = true;     // true: the data are absolute; false: the computed curves are
                                // scaled onto the data by least squares
    double CutOff = 0.0;        // floor of the computed reflectivity
    double Tolerance = 1.0e-5;  // relative spread of the simplex at which a local run ends
    int MaxIterations = 65000;  // iterations of one simplex run, 0 to 65535
    Weighting Weights = Weighting::FromData;
    double ErrorFraction = 0.03;   // D of dI = D * I, for Weighting::Fraction
    bool RepeatUnitFixed = false;  // keep the thickness of one repeat-unit period constant
    bool QzAbscissa = false;       // the .pct text writes Qz instead of theta
    ResolutionSource Resolution = ResolutionSource::Default;
    // The names the .bst report prints ("Data file name   : ..."); also used in messages.
    std::string DataFileName;
    std::string ModelFileName;
    std::string LimitsFileName;
    // Findings of the readers that did not stop them (ReadProblem fills it); the fit's
    // result lists them first among its warnings.
    std::vector<std::string> Warnings;
};

// The phases of a running fit, in the order they come.
enum class ProgressPhase {
    InitialSimplex,   // evaluating the vertices of the starting simplex
    Search,           // local runs alternating with global steps, as a whole
    Local,            // a local simplex run on the figure of merit
    Tunnelling,       // a simplex run on the tunnelling objective of a global step
    GlobalStep,       // a global step outside its simplex runs
    Result,           // the best model, evaluated once more
    Newton,           // the Newton step as a whole
    NewtonGradient,   // its first derivatives
    NewtonCurvature,  // its mixed second derivatives
    Uncertainty,      // the uncertainty estimate
    Population,       // a population search (differential evolution, CMA-ES, swarm)
    Sampling,         // the posterior sampler
};

// What a progress report says about its phase.
enum class ProgressEvent {
    Started,             // the phase begins
    Ended,               // the phase is over (also when a stop ended it)
    BetweenEvaluations,  // an evaluation is about to start; a stop request is read next
    VertexStarted,       // InitialSimplex: Remaining vertices are left, this one included
    VertexEvaluated,     // InitialSimplex: the vertex took SecondsPerCurve
    Iteration,           // Local, Tunnelling: one iteration; a stop request is read next
    RunEnded,            // Local, Tunnelling, GlobalStep: ended with Termination
    CountDown,           // NewtonGradient, NewtonCurvature, Uncertainty: Remaining stages
    Evaluated,           // Result: the best model's curve is computed
    Generation,          // Population, Sampling: one generation (sampler step) is done
};

// One report of a running fit. Every report carries the counts and the session best;
// the other fields are filled for the events named beside them and are 0 otherwise.
struct Progress {
    ProgressPhase Phase = ProgressPhase::InitialSimplex;
    ProgressEvent Event = ProgressEvent::Started;
    std::uint64_t Evaluations = 0;  // curve evaluations of this fit so far
    double SessionBest = 0.0;       // lowest reduced chi-square of the local runs; NaN before
    int Iteration = 0;              // Iteration, RunEnded: the simplex run's iterations
    double BestMerit = 0.0;         // Iteration, RunEnded: lowest value of the simplex
    double WorstMerit = 0.0;        // highest value of the simplex
    double Tolerance = 0.0;         // 2 |worst - best| / (|worst| + |best|)
    bool NewBest = false;           // the lowest value is new in this run
    std::string Termination;        // RunEnded: why the run ended ("Chosen tolerance attained.")
    int Remaining = 0;              // count-downs: vertices or stages left, of Total
    int Total = 0;
    double SecondsPerCurve = 0.0;  // VertexEvaluated: clock time of that evaluation
    // Generation: its number (0 for the initial population, or the sampler's step from
    // 1) of at most Total; a population's lowest figure of merit so far is BestMerit
    // and the median of the current population's MedianMerit; the sampler's acceptance
    // fraction so far is Acceptance.
    int Generation = 0;
    double MedianMerit = 0.0;
    double Acceptance = 0.0;
};

// A request to stop a fit, from any thread or from a signal handler (lock-free, no
// allocation). Hand the same request to several fits to stop them all.
class StopRequest {
  public:
    // Ends the search, as Ctrl+Q does in the desktop program: the simplex run under way
    // ends and no global step follows; the starting simplex, the Newton step and the
    // uncertainty estimate stop before their next evaluation, and no later phase
    // starts. The result is that of the best model so far. Stays requested (also for
    // fits started later) until Reset.
    void EndSearch() noexcept { endSearch_.store(true); }
    // Ends only the local or tunnelling simplex run under way, as Ctrl+X does; the
    // search goes on. Each call ends one run of each fit running at the time.
    void EndLocalRun() noexcept { endLocalRun_.fetch_add(1); }
    void Reset() noexcept { endSearch_.store(false); }

    bool SearchEndRequested() const noexcept { return endSearch_.load(); }
    std::uint64_t LocalRunEndRequests() const noexcept { return endLocalRun_.load(); }

  private:
    std::atomic<bool> endSearch_{false};
    std::atomic<std::uint64_t> endLocalRun_{0};
    static_assert(std::atomic<bool>::is_always_lock_free);
    static_assert(std::atomic<std::uint64_t>::is_always_lock_free);
};

// Re-spreads of one global step after which the search gives up, unless told otherwise.
inline constexpr int kDefaultMaxRespreads = 1000;

// How a fit searches for the minimum of the figure of merit inside the limits.
enum class SearchMethod {
    Tunnelling,           // the program's local simplex runs alternating with tunnelling steps
    SelfAdaptiveDe,       // differential evolution, rand/1/bin, F and CR self-adapted ("de")
    DeRand1Bin,           // differential evolution rand/1/bin, F = 0.8, CR = 0.9
    DeBest1Bin,           // best/1/bin, F = 0.8, CR = 0.9
    DeCurrentToBest1Bin,  // current-to-best/1/bin, F = 0.8, CR = 0.9
    CmaEs,                // covariance matrix adaptation evolution strategy ("cmaes")
    ParticleSwarm,        // generational particle swarm ("pso")
};
// The method's short name as the command line takes it ("tunnelling", "de", "cmaes",
// "pso", "de-rand1bin", ...), and back (nullopt for an unknown name).
std::string SearchMethodName(SearchMethod method);
std::optional<SearchMethod> SearchMethodOfName(const std::string& name);

// How a fit runs, beside its problem.
struct FitControl {
    // The seed of the random starting simplex and global steps; none: the clock's. The
    // result reports the seed used, so any fit can be repeated.
    std::optional<std::uint64_t> Seed;
    // Re-spreads of one global step after which the search gives up; -1: no bound.
    int MaxRespreads = kDefaultMaxRespreads;
    // Engine threads of each evaluation; 0: one per processor. Results do not depend
    // on it. Keep 1 when running fits in parallel.
    unsigned Threads = 1;
    bool NewtonStep = false;   // after the search, one Newton step with its fall-backs
    bool Uncertainty = false;  // after the search, estimate the free parameters' uncertainties
    // Called on the fit's thread at every report; may call Stop's members. An exception
    // it throws ends the fit and leaves Fit with it.
    std::function<void(const Progress&)> OnProgress;
    std::shared_ptr<StopRequest> Stop;  // none: the fit runs to its end
    // The search. A population search (any method but Tunnelling) replaces the starting
    // simplex's spread and the tunnelling search; the program's local simplex then
    // polishes its best member. Population: members (0: chosen from the number of free
    // parameters); Generations: at most this many (0: the method's default).
    SearchMethod Search = SearchMethod::Tunnelling;
    int Population = 0;
    int Generations = 0;
};

// Where a fitted value sits between its limits.
enum class LimitMark {
    None,
    AtLower,  // within a thousandth of the range above the lower limit
    AtUpper,  // within a thousandth of the range below the upper limit
};

// A free parameter of a finished fit.
struct FittedParameter {
    std::string Name;                   // "Thickness:1", "ReDensity:2": column label and layer
    double Value = 0.0;                 // in the sample's units
    std::optional<double> Uncertainty;  // in the same units, when estimated
    double Start = 0.0;                 // the starting model's value, same units
    double Lower = 0.0;                 // the limits it was held to, same units
    double Upper = 0.0;
    LimitMark Mark = LimitMark::None;
};

// What a fit found, and the result files the program would write for it.
struct FitResult {
    Sample Fitted;  // the final model, in the starting sample's density units
    std::vector<FittedParameter> Parameters;  // the free parameters in model order
    double ReducedChiSquare = 0.0;            // of the final model ("Norma" in the .bst)
    double ScaleUnsmeared = 1.0;  // factor applied to the computed curve (1 for scaled data)
    double ScaleSmeared = 1.0;    // factor applied to the smeared curve
    Curve Measured;           // the data, with the residual weights dI the fit used as Uncertainty
    Curve Computed;           // the final model's curve at the data's angles, unsmeared, scaled
    Curve Smeared;            // the same smeared, scaled
    std::uint64_t Seed = 0;   // the seed used
    std::string Termination;  // how the last simplex run or global step ended; empty if none ran
    bool Stopped = false;     // a stop request ended the fit (or kept a phase from starting)
    std::uint64_t Evaluations = 0;      // curve evaluations
    std::vector<std::string> Warnings;  // the problem's, then the fit's own (odd links ...)
    // The points the figure of merit sums, 1-based, both included: the smearing by the
    // model's laws leaves out the ends of the curve it cannot reach.
    int WindowFirst = 0;
    int WindowLast = 0;
    SearchMethod Method = SearchMethod::Tunnelling;  // the search the fit ran
    int Generations = 0;  // generations of a population search
    // The problem's file names: WriteResults names the result files after the model's
    // and never replaces one of the three.
    std::string DataFileName;
    std::string ModelFileName;
    std::string LimitsFileName;
    // The result files exactly as the program writes them for this fit.
    std::string BstText;  // .bst: fitted model, report, Newton sections, uncertainty table
    std::string PctText;  // .pct: abscissa, measured and fitted intensity per point
    std::string LocText;  // .loc: one line per local simplex run
};

// Runs the fit (or, FitMode false, the evaluation of the starting model). Throws
// RunError for a problem that cannot be fitted, naming the parameter or the point.
FitResult Fit(const FitProblem& problem, const FitControl& control = {});

// The normalised residuals (measured - fitted) / dI of a fit's points, with the weights
// dI the fit divided by and its smeared, scaled curve: the terms whose squares the
// figure of merit sums. NaN where dI is 0.
std::vector<double> Residuals(const FitResult& result);

// The figure of merit (reduced chi-square) of the problem's model with its free
// parameters set to `values`, as a fit evaluates it (weights, scaling, smearing, links
// and a fixed repeat-unit length alike). `values` holds points one after the other,
// each the free parameters in model order in the sample's units; one merit per point,
// +infinity for a point outside the limits. A value that is not finite is an error. Evaluations spread over `threads` threads
// (0: one per processor).
std::vector<double> FigureOfMerit(const FitProblem& problem, const std::vector<double>& values,
                                  unsigned threads = 1);

// ---------------------------------------------------------------------------------
// Posterior

// How the posterior sampler runs.
struct PosteriorControl {
    int Steps = 1000;  // steps of the ensemble
    int Walkers = 0;   // 0: four per free parameter, at least 16 (always even)
    std::optional<std::uint64_t> Seed;  // none: the clock's; the posterior reports it
    unsigned Threads = 1;               // evaluations in parallel; 0: one per processor
    // Reports with Phase Sampling; EndSearch ends the sampling with the steps done.
    std::function<void(const Progress&)> OnProgress;
    std::shared_ptr<StopRequest> Stop;
};

struct PosteriorParameter {
    std::string Name;   // "Thickness:2"
    double Median = 0.0;
    double Lower68 = 0.0;  // 16th and 84th percentiles
    double Upper68 = 0.0;
    double Lower95 = 0.0;  // 2.5th and 97.5th percentiles
    double Upper95 = 0.0;
    double AutocorrelationTime = 0.0;  // steps; NaN when it cannot be estimated
};

// The chain of an affine-invariant ensemble sampler (the stretch move of Goodman and
// Weare 2010) over the free parameters: uniform priors inside the limits, likelihood
// ln L = -chi^2 / 2 with chi^2 = figure of merit x degrees of freedom. Statistics over
// the steps from Burn on, all walkers pooled.
struct Posterior {
    std::vector<PosteriorParameter> Parameters;  // the free parameters in model order
    int Walkers = 0;
    int Steps = 0;  // steps done (fewer than asked when stopped)
    int Burn = 0;   // leading steps left out of the statistics
    // Chain[(step * Walkers + walker) * Parameters.size() + k], in the sample's units.
    std::vector<double> Chain;
    std::vector<double> LogLikelihood;  // [step * Walkers + walker]
    double Acceptance = 0.0;             // fraction of proposals accepted
    int DegreesOfFreedom = 0;  // points the figure of merit sums less the free parameters
    bool ChainTooShort = false;  // fewer kept steps than 50 autocorrelation times
    bool Stopped = false;        // a stop request ended the sampling
    std::uint64_t Seed = 0;
    std::vector<std::string> Warnings;
};

// Samples the posterior of the problem's free parameters around its model: pass a
// fit's Fitted sample as the model to sample around the fit. Throws RunError when
// nothing is free or the model lies outside its limits.
Posterior SamplePosterior(const FitProblem& problem, const PosteriorControl& control = {});

// ---------------------------------------------------------------------------------
// Density profile

// The two density columns across the depth of a sample, in its density units; every
// interface smoothed by its roughness with the error-function profile (the real-space
// picture of the Nevot-Croce factor), the repeat unit written out RepeatCount times.
struct DensityProfile {
    std::vector<double> Depth;      // angstrom below the top surface; negative in the ambient
    std::vector<double> ReDensity;  // column 2 at each depth
    std::vector<double> ImDensity;  // column 3 at each depth
};
// At the given depths (angstrom, any order); none: `points` depths spread evenly from
// above the top surface to inside the substrate.
DensityProfile Profile(const Sample& sample, const std::vector<double>& depth = {},
                       int points = 1001);

// ---------------------------------------------------------------------------------
// File formats through text. `name` names the text in messages ("au-film.mdl, line 3:
// 'abc'"). Every written line ends with CR LF, as in every file the program writes;
// the input formats are written so that they read back exactly.

// The model file (.mdl). A text that ends early reads its missing numbers as 0 and
// adds a warning to `warnings` (when given).
Sample ParseSample(const std::string& text, DensityUnits units = DensityUnits::DeltaBeta,
                   const std::string& name = "model", std::vector<std::string>* warnings = nullptr);
std::string FormatSample(const Sample& sample);

// The limits file (.lmt) of a model of `parameterCount` parameters (4 per layer). A
// text that ends early reads its missing numbers as 0 and adds a warning.
Limits ParseLimits(const std::string& text, int parameterCount, const std::string& name = "limits",
                   std::vector<std::string>* warnings = nullptr);
std::string FormatLimits(const Limits& limits);

// How a data file (.dat) is laid out: per point the abscissa (theta, or Qz turned into
// theta with Wavelength), the intensity and, WithUncertainties, its uncertainty.
struct DataFormat {
    bool WithUncertainties = false;
    bool Qz = false;
    double Wavelength = 0.0;  // angstrom, for Qz
};
Curve ParseData(const std::string& text, const DataFormat& format = {},
                const std::string& name = "data");
std::string FormatData(const Curve& data, const DataFormat& format = {});

// Column data files as instruments write them: the ORSO text format (.ort: '#' header
// lines in YAML naming the columns Qz, R, sR, sQz and their units; several data sets)
// and plain text of the columns Qz [1/A], R, dR, dQ with '#' comment lines. A data file
// is one when its name ends in .ort or its first non-blank character is '#'.
bool IsColumnData(const std::string& name, const std::string& text);

// What a column data file gives.
struct ColumnDataRead {
    // Theta from Qz at the wavelength used; the intensity; its uncertainty when the file
    // gives one (empty otherwise); the resolution (standard deviation in Qz, 1/A) when
    // the file gives one. Points with R <= 0 or dR <= 0 are left out (and reported).
    Curve Data;
    double Wavelength = 0.0;            // angstrom, the one Qz was turned into theta with
    std::optional<double> FileWavelength;  // the header's, when it gives one value
    std::string DataSet;                // the name of the data set read
    std::vector<std::string> DataSets;  // every data set of the file
    std::vector<std::string> Warnings;  // what the reader assumed, left out or compared
};
// Reads data set `dataSet` (1 = the first) of the column file text `text` named `name`.
// `wavelength` (A) turns Qz into theta; 0 takes the file's own (an error when it gives
// none or a range) and any other is compared with the file's (a warning when they differ
// by more than 0.1 %). `resolutionIsFwhm`: a plain file's dQ column holds FWHM (an ORSO
// header says itself). Throws RunError naming the file and line.
ColumnDataRead ParseColumnData(const std::string& text, const std::string& name,
                               double wavelength = 0.0, int dataSet = 1,
                               bool resolutionIsFwhm = false);

// The ORSO text (.ort) of a fit's measured and fitted curves: a header naming `program`,
// the model and data files and the resolution the fit smeared with, then the columns Qz
// (1/A, at the fitted sample's wavelength), R, sR (the data's uncertainty: nan when the
// fit weighted otherwise), sQz (the data's resolution, or nan) and Rfit.
std::string FormatOrt(const FitProblem& problem, const FitResult& result,
                      const std::string& program = "korvel");

// The command file (.inp): its ten entries.
struct CommandFile {
    std::string DataFileName;    // relative names are taken from the command file's folder
    bool FitMode = true;         // mode letter F; any other letter only evaluates the model
    bool DataScaled = true;      // scaling letter N: the data are already scaled
    bool ErrorsFromFile = true;  // uncertainty letter Y: the data file has a third column
    std::string ModelFileName;
    std::string LimitsFileName;
    double Tolerance = 1.0e-5;
    int MaxIterations = 30000;
    double CutOff = 0.0;
    CalculationMethod Method = CalculationMethod::Matrix;  // letters F, P; others: Matrix
};
CommandFile ParseCommandFile(const std::string& text, const std::string& name = "command file");
std::string FormatCommandFile(const CommandFile& commandFile);

// The .sml text of a simulation: per point the abscissa (theta, or Qz) and the smeared
// reflectivity.
std::string FormatSml(const Simulation& simulation);

// ---------------------------------------------------------------------------------
// Files

// The choices the program takes from its dialogs rather than from the command file.
struct ReadOptions {
    bool Qz = false;  // the data file's abscissae are Qz (1/A)
    DensityUnits Units = DensityUnits::DeltaBeta;
    bool RepeatUnitFixed = false;  // only for a model with a repeat unit
    // The weights when the command file takes no uncertainties from the data file:
    // Fresnel or Fraction (with ErrorFraction; one not above 0 counts as 0.03).
    Weighting Weights = Weighting::Fraction;
    double ErrorFraction = 0.03;
    // A column data file (.ort, or '#' header lines): which data set (1 = the first) and
    // whether a plain file's dQ column is a FWHM; its Qz become angles at the model's
    // wavelength. The resolution the problem's fit smears with.
    int DataSet = 1;
    bool ResolutionIsFwhm = false;
    ResolutionSource Resolution = ResolutionSource::Default;
    // The data file to read instead of the one the command file names, taken as given
    // (relative to the working folder) and named so in the report: one command file
    // fitted to each curve of a series. Empty: the command file's.
    std::string DataFile;
};

// The seed of the fit at `position` (0-based) of a series fitted with `seed`: the
// same for a position whatever runs before or beside it. SplitMix64 of the pair, kept
// below 2^63 so that a single fit given it as its seed repeats the fit.
constexpr std::uint64_t SeriesSeed(std::uint64_t seed, std::uint64_t position) noexcept {
    std::uint64_t z = seed + (position + 1) * 0x9E3779B97F4A7C15ull;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return (z ^ (z >> 31)) >> 1;
}

// The fit problem of the command file at `path` with the data, model and limits files
// it names, read exactly as the fitting run reads them (korvel-cli fit), which also
// passes the tolerance and the cut-off level through the settings dialog's fields
// (seven significant digits).
FitProblem ReadProblem(const std::string& path, const ReadOptions& options = {});

// The whole text of the file at `path`, read as the program reads its input files
// (the same messages for a file that is missing, unreadable, too large or not text).
std::string ReadTextFile(const std::string& path);
// Replaces the file at `path` with `text` atomically, as the program writes its result
// files: the old contents stay whole when writing fails.
void WriteTextFile(const std::string& path, const std::string& text);

// Writes the result's .bst, .pct and .loc texts into `folder`, named after the
// problem's model file ("au-film.mdl": au-film.bst ...), all three replaced together
// or none. Refuses to replace the model, data or limits file named in the result's
// report. Returns the three paths. The files are renamed into place whole either way;
// with `flushNow` the call also waits until they are on the disk (a few milliseconds
// per file). A program writing many result sets may pass false and call FlushFolder
// once before it records that the writes were made.
std::vector<std::string> WriteResults(const FitResult& result, const std::string& folder,
                                      bool flushNow = true);

// Waits until everything written on the file system holding `folder` is on the disk;
// throws RunError when the system reports a write that failed.
void FlushFolder(const std::string& folder);

}  // namespace korvel::api
