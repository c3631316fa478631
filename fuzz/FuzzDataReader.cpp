// Fuzz target: the .dat reader with the uncertainty from the file or from the
// weighting dialog, angles in degrees or Qz. A file that reads must give finite,
// non-decreasing angles within 0 .. 90 degrees for Qz and a point count that fits.

#include <cstddef>
#include <cstdint>

#include "FuzzSupport.h"
#include "base/RunError.h"
#include "app/Workspace.h"
#include "input/DataReader.h"

using namespace korvel;
using namespace korvel::fuzzing;

namespace {

constexpr const char* kModel =
    "1.54 0 0 0 0 0\n"
    "1 0 0 0\n"
    "100 4e-6 1e-7 3\n"
    "0 7.6e-6 1.7e-7 3\n";

void CheckCurves(const CurveArrays& c, bool qz) {
    Require(c.PointCount > 0 && c.Angle.size() == c.PointCount);
    RequireFinite(c.Angle);
    RequireFinite(c.MeasuredIntensity);
    RequireFinite(c.Uncertainty);
    RequireFinite(c.CosSquared);
    for (int i = 1; i < c.PointCount; ++i) Require(c.Angle[i] >= c.Angle[i - 1]);
    if (qz)
        for (double theta : c.Angle) Require(theta > -90.0 && theta < 90.0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    WriteScratch("data.dat", AsText(data, size));
    WriteScratch("model.mdl", kModel);
    WriteScratch("limits.lmt", "");
    for (const bool errorsFromFile : {true, false}) {
        for (const bool qz : {false, true}) {
            Workspace ws;
            SilentInterface ui;
            RunSettings& s = ws.Settings;
            s.CommandFileName = ScratchPath("run.inp");
            s.DataFileName = "data.dat";
            s.ModelFileName = "model.mdl";
            s.LimitsFileName = "limits.lmt";
            s.ErrorsFromFile = errorsFromFile;
            s.QzInverseAngstrom = qz;
            ws.Model.Header.Wavelength = 1.54;
            try {
                ReadDataFile(ws, ui);
                CheckCurves(ws.Curves, qz);
            } catch (const RunError&) {
            }
        }
    }
    return 0;
}
