// Sampling after a fit, and its chain file.

#include "app/PosteriorRun.h"

#include "app/Workspace.h"
#include "base/RunError.h"
#include "base/TextFile.h"
#include "model/RunFilePath.h"
#include "output/PosteriorText.h"

namespace korvel {

PosteriorSample RunPosteriorSampling(Workspace& ws, FitObserver& observer, FitStop& stop) {
    try {
        if (ws.Files.McmcFile.empty())
            throw RunError("The posterior is sampled only after a fit asked to sample it.");
        PosteriorSample sample = SamplePosterior(ws, ws.Options.Search, observer, stop);
        ReplaceFile(ws.Files.McmcFile, McmcChainText(sample));
        return sample;
    } catch (...) {
        RethrowWithPlace(RunFilePath(ws.Settings, ws.Settings.ModelFileName));
    }
}

}  // namespace korvel
