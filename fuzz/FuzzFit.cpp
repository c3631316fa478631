// Fuzz target: a whole fitting run on fuzzed inputs, Newton step and uncertainty
// estimate included. The input is a model, a line "%%", a limits file, a line "%%"
// and a three-column data file; the command file is fixed (a short search). A run
// either fails with RunError or writes result files without a non-finite number.

#include <cstddef>
#include <cstdint>

#include "FuzzSupport.h"
#include "base/RunError.h"
#include "app/Workspace.h"
#include "app/FittingRun.h"
#include "base/TextFile.h"

using namespace korvel;
using namespace korvel::fuzzing;

namespace {

class AnsweringInterface : public SilentInterface {
  public:
    bool AskNewtonStep() override { return true; }
    bool AskUncertainty() override { return true; }
};

// "Nan" and "+Inf"/"-Inf" are how a non-finite value is written; only the quota
// column of the uncertainty table may say "Inf" (a parameter of value 0).
void CheckResult(const std::string& path) {
    const std::string text = ReadWholeFile(path);
    Require(text.find("Nan") == std::string::npos);
    Require(text.find("+Inf") == std::string::npos && text.find("-Inf") == std::string::npos);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto [model, rest] = SplitAt(AsText(data, size), "\n%%\n");
    const auto [limits, points] = SplitAt(rest, "\n%%\n");
    WriteScratch("fit.mdl", model);
    WriteScratch("fit.lmt", limits);
    WriteScratch("fit.dat", points);
    for (const char* mode : {"N", "Y"}) {  // data scaled, or scale factors fitted
        WriteScratch("fit.inp", std::string("fit.dat\nF\n") + mode +
                                    "\nY\nfit.mdl\nfit.lmt\n1e-6\n30\n0\nM\n");
        Workspace ws;
        AnsweringInterface ui;
        ws.Settings.CommandFileName = ScratchPath("fit.inp");
        ws.Options.Seed = 5;
        ws.Options.MaxRespreads = 0;
        try {
            RunFitting(ws, ui);
            CheckResult(ScratchPath("fit.bst"));
            CheckResult(ScratchPath("fit.pct"));
            CheckResult(ScratchPath("fit.loc"));
        } catch (const RunError&) {
        }
    }
    return 0;
}
