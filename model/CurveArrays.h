#pragma once
// The per-point curve arrays shared by the data reader, the simulation grid, the
// engine and the plot. Abscissa is the glancing angle theta in degrees throughout;
// Qz only exists in files. Stored 0-based: point i (1-based) is element i - 1.

#include <cstdint>
#include <vector>

namespace korvel {

struct CurveArrays {
    std::uint16_t PointCount = 0;
    std::vector<double> Angle;               // theta, degrees
    std::vector<double> MeasuredIntensity;
    std::vector<double> CalculatedCurve;     // computed, not smeared
    std::vector<double> SmearedCurve;        // after both smearing passes
    std::vector<double> SpreadSmearedCurve;  // after the wavelength-spread pass
    std::vector<double> Uncertainty;         // dI, the weight of each residual
    std::vector<double> BestCurve;           // smeared curve of the final model
    std::vector<double> CosSquared;          // cos^2(theta)
    // The resolution of each point as the data file gives it: the standard deviation of
    // a Gaussian in Qz (1/A). Empty when the data carry none (every .dat file, every
    // simulation grid); 0 for a point whose resolution is unknown.
    std::vector<double> Resolution;

    // Sizes all eight arrays to n points, filled with 0; a new curve carries no
    // resolution column until its reader gives one.
    void Resize(std::uint16_t n);
    void Clear() { Resize(0); }
};

}  // namespace korvel
