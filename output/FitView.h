#pragma once
// The fit view: the measured points as markers with their uncertainty bars (the
// weights the fit divided by), the fitted curve as a line, on a logarithmic
// reflectivity axis against the glancing angle theta (degrees) or Qz = 4 pi sin(theta)
// / lambda (1/angstrom); optionally R Qz^4 (1/angstrom^4) instead of R, which takes the
// Fresnel decay out so that fringes at high Qz stay visible. Below it, the residual
// panel: (measured - fitted) / uncertainty of each point with guide lines at 0, +-1 and
// +-3. Points outside the fitting window, which the figure of merit leaves out, are grey.
// Drawn in canvas pixels against the canvas interface.

#include <limits>
#include <string>
#include <vector>

namespace korvel {

struct FitSession;
class PlotCanvas;

struct FitViewData {
    std::vector<double> Angle;        // theta, degrees
    std::vector<double> Measured;     // reflectivity
    std::vector<double> Fitted;       // the smeared curve scaled onto the data
    std::vector<double> Uncertainty;  // the weight of each residual
    int WindowFirst = 1;              // the fitting window, 1-based, both ends included
    int WindowLast = 0;
    double Wavelength = 0.0;  // angstrom, for Qz
    double ReducedChiSquare = std::numeric_limits<double>::quiet_NaN();
    bool QzInverseAngstrom = false;  // the data's abscissae were Qz
};

// The view of a session holding a final model (fit/FinalModel): its curves, window,
// wavelength and figure of merit.
FitViewData FitViewOf(const FitSession& session);

enum class FitAbscissa { Angle, Qz };

struct FitViewOptions {
    FitAbscissa Abscissa = FitAbscissa::Angle;
    bool QzFourth = false;  // R Qz^4 instead of R
    bool Residuals = true;  // the residual panel below
};

// The options the view starts with: the abscissa the data were given in.
FitViewOptions DefaultFitViewOptions(const FitViewData& data);

// Draws the whole view on the canvas.
void DrawFitView(PlotCanvas& canvas, const FitViewData& data, const FitViewOptions& options);
// The same as an SVG document.
std::string FitViewSvg(const FitViewData& data, const FitViewOptions& options, int width = 720,
                       int height = 540);

}  // namespace korvel
