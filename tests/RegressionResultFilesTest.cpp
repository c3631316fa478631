// Nothing a failed run does may cost the user an earlier result: a read-only folder,
// a full disk (a file-size limit makes every write beyond it fail, as a full disk
// does) and a run abandoned by an error leave the previous .sml, .bst, .pct and .loc
// as they were, and the message names the file that failed and why.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <csignal>
#include <filesystem>
#include <functional>
#include <string>

#include "InputTestSupport.h"
#include "ScriptedRunInterface.h"
#include "base/RunError.h"
#include "app/SimulationRun.h"
#include "app/Workspace.h"
#include "app/FittingRun.h"
#include "base/ResultSetWriter.h"
#include "base/TextFile.h"

using namespace korvel;
using korvel::testing::ScriptedRunInterface;
using korvel::testing::TempFolder;
namespace fs = std::filesystem;

namespace {

constexpr const char* kFilm = "1.54 0 0 0 0 0\n1 0 0 0\n120 1.2e-5 2e-7 4\n0 7.6e-6 1.7e-7 3\n";
constexpr const char* kGainFilm =  // the wave grows beyond the range of doubles
    "1.54 0 0 0 0 0\n1 0 0 0\n1e6 5e-6 -1e-3 0\n0 7.6e-6 1.7e-7 3\n";
constexpr const char* kLimits =
    "100 150 10\n0 2e-5 0\n0 1e-6 0\n0 10 0\n0 0 0\n0 1e-5 0\n0 1e-6 0\n0 10 0\n";
constexpr const char* kData =
    "0.1 0.98 0.05\n0.2 0.9 0.05\n0.3 0.05 0.003\n0.4 0.01 0.001\n0.5 0.003 0.0003\n"
    "0.6 0.0012 0.0001\n0.7 0.0008 0.00008\n0.8 0.0004 0.00004\n0.9 0.0002 0.00002\n";
constexpr const char* kCommand = "data.dat\nF\nN\nY\nfilm.mdl\nfilm.lmt\n1e-6\n15\n0\nP\n";

// Lowers the largest file this process may write; a write beyond it fails with EFBIG.
class FullDisk {
  public:
    explicit FullDisk(rlim_t bytes) {
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        ::sigaction(SIGXFSZ, &ignore, &previousAction_);
        ::getrlimit(RLIMIT_FSIZE, &previousLimit_);
        rlimit limited = previousLimit_;
        limited.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FullDisk() {
        ::setrlimit(RLIMIT_FSIZE, &previousLimit_);
        ::sigaction(SIGXFSZ, &previousAction_, nullptr);
    }
    FullDisk(const FullDisk&) = delete;
    FullDisk& operator=(const FullDisk&) = delete;

  private:
    rlimit previousLimit_{};
    struct sigaction previousAction_ {};
};

// Runs `action` where `folder` cannot be written: permissions alone for an ordinary
// user; root ignores them, so then the action runs in a child process that has
// given up root. Returns what the action returns ("skip" if that is impossible).
std::string InReadOnlyFolder(const fs::path& folder, const std::function<std::string()>& action) {
    fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                fs::perms::group_exec | fs::perms::others_read |
                                fs::perms::others_exec);
    std::string result;
    if (::geteuid() != 0) {
        result = action();
    } else {
        int channel[2];
        if (::pipe(channel) != 0) return "skip";
        const pid_t child = ::fork();
        if (child == 0) {
            ::close(channel[0]);
            std::string answer = "skip";
            if (::setgid(65534) == 0 && ::setuid(65534) == 0) answer = action();
            (void)!::write(channel[1], answer.data(), answer.size());
            ::_exit(0);
        }
        ::close(channel[1]);
        char buffer[4096];
        ssize_t got = 0;
        while ((got = ::read(channel[0], buffer, sizeof buffer)) > 0) result.append(buffer, got);
        ::close(channel[0]);
        ::waitpid(child, nullptr, 0);
    }
    fs::permissions(folder, fs::perms::owner_all);
    return result;
}

// "message | where" of the RunError `action` throws, or "" when it succeeds.
std::string FailureOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const RunError& e) {
        return e.Message() + " | " + e.Where();
    }
    return "";
}

SimulationRequest Simulation(const std::string& model) {
    SimulationRequest request;
    request.ModelFileName = model;
    request.CalculationMode = 'P';
    return request;
}

std::string Simulate(const std::string& model) {
    Workspace ws;
    ScriptedRunInterface ui;
    return FailureOf([&] { RunSimulation(ws, ui, Simulation(model)); });
}

// The disk fills up while the search ends, just before the results are written.
struct DiskFillingInterface : ScriptedRunInterface {
    explicit DiskFillingInterface(rlim_t bytes) : Bytes(bytes) {}
    void ShowMessage(const std::string& text) override {
        ScriptedRunInterface::ShowMessage(text);
        if (text == "End of Global Fitting") Disk = std::make_unique<FullDisk>(Bytes);
    }
    rlim_t Bytes;
    std::unique_ptr<FullDisk> Disk;
};

int FileCount(const fs::path& folder) {
    int n = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder)) ++n;
    return n;
}

// A folder with a fit's inputs and the results of an earlier fit.
struct FitFolder {
    TempFolder dir;
    explicit FitFolder(const char* model = kFilm, const char* limits = kLimits,
                       const char* data = kData, const char* command = kCommand) {
        dir.Write("film.mdl", model);
        dir.Write("film.lmt", limits);
        dir.Write("data.dat", data);
        dir.Write("fit.inp", command);
        for (const char* ext : {"bst", "pct", "loc"})
            dir.Write(std::string("film.") + ext, std::string("earlier ") + ext + "\r\n");
    }
    std::string Fit(ScriptedRunInterface& ui) {
        Workspace ws;
        ws.Settings.CommandFileName = dir.Path("fit.inp");
        ws.Options.Seed = 7;
        ws.Options.MaxRespreads = 0;
        return FailureOf([&] { RunFitting(ws, ui); });
    }
    std::string Read(const char* ext) const { return dir.Read(std::string("film.") + ext); }
    bool KeepsEarlier(const char* ext) const {
        return Read(ext) == std::string("earlier ") + ext + "\r\n";
    }
};

}  // namespace

TEST(RegressionResultFiles, ASimulationIntoAReadOnlyFolderKeepsTheEarlierCurve) {
    TempFolder dir;
    const std::string model = dir.Write("film.mdl", kFilm);
    dir.Write("film.sml", "earlier curve\r\n");
    const std::string failure = InReadOnlyFolder(dir.Root(), [&] { return Simulate(model); });
    if (failure == "skip") GTEST_SKIP() << "cannot give up root here";
    EXPECT_EQ(failure, "File access denied. | " + dir.Path("film.sml"));
    EXPECT_EQ(dir.Read("film.sml"), "earlier curve\r\n");
    EXPECT_EQ(FileCount(dir.Root()), 2);
}

TEST(RegressionResultFiles, AFailedSimulationNamesItsModelAndKeepsTheEarlierCurve) {
    TempFolder dir;
    const std::string model = dir.Write("film.mdl", kGainFilm);
    dir.Write("film.sml", "earlier curve\r\n");
    EXPECT_EQ(Simulate(model),
              "Reflectivity is not a finite number (Parratt method at theta = 0 deg). | " + model);
    EXPECT_EQ(dir.Read("film.sml"), "earlier curve\r\n");
}

TEST(RegressionResultFiles, ASimulationOnAFullDiskKeepsTheEarlierCurve) {
    TempFolder dir;
    const std::string model = dir.Write("film.mdl", kFilm);
    dir.Write("film.sml", "earlier curve\r\n");
    std::string failure;
    {
        FullDisk full(1000);  // the curve of 101 points needs 3333 bytes
        failure = Simulate(model);
    }
    EXPECT_EQ(failure, "Disk write error. | " + dir.Path("film.sml"));
    EXPECT_EQ(dir.Read("film.sml"), "earlier curve\r\n");
    EXPECT_EQ(FileCount(dir.Root()), 2);  // no temporary file left behind
}

TEST(RegressionResultFiles, AFitIntoAReadOnlyFolderStopsBeforeTheSearchAndKeepsEverything) {
    FitFolder folder;
    ScriptedRunInterface ui;
    const std::string failure = InReadOnlyFolder(folder.dir.Root(), [&] { return folder.Fit(ui); });
    if (failure == "skip") GTEST_SKIP() << "cannot give up root here";
    EXPECT_EQ(failure, "File access denied. | " + folder.dir.Path("film.pct"));
    for (const char* ext : {"bst", "pct", "loc"}) EXPECT_TRUE(folder.KeepsEarlier(ext)) << ext;
}

TEST(RegressionResultFiles, AFitThatCannotWriteItsResultsKeepsTheEarlierOnes) {
    FitFolder folder;
    DiskFillingInterface filling(200);
    const std::string failure = folder.Fit(filling);
    filling.Disk.reset();
    EXPECT_EQ(failure, "Disk write error. | " + folder.dir.Path("film.bst"));
    EXPECT_TRUE(folder.KeepsEarlier("bst"));
    EXPECT_TRUE(folder.KeepsEarlier("pct"));  // not started once the .bst failed
    // The .loc of this search was prepared beside the others and goes with them.
    EXPECT_TRUE(folder.KeepsEarlier("loc"));
    EXPECT_EQ(FileCount(folder.dir.Root()), 7);  // no temporary or lock file left
}

TEST(RegressionResultFiles, AFullDiskAfterTheBstWasPreparedReplacesNoneOfTheSet) {
    // 200 points: the .pct (49 bytes a point) is far longer than the .bst.
    std::string data;
    for (int i = 1; i <= 200; ++i) {
        const double r = std::exp(-i / 20.0);
        data += std::to_string(0.01 * i) + " " + std::to_string(r) + " " +
                std::to_string(0.05 * r) + "\n";
    }
    FitFolder folder(kFilm, kLimits, data.c_str());
    DiskFillingInterface filling(4000);
    const std::string failure = folder.Fit(filling);
    filling.Disk.reset();
    EXPECT_EQ(failure, "Disk write error. | " + folder.dir.Path("film.pct"));
    for (const char* ext : {"bst", "pct", "loc"}) EXPECT_TRUE(folder.KeepsEarlier(ext)) << ext;
    EXPECT_EQ(FileCount(folder.dir.Root()), 7);
}

TEST(RegressionResultFiles, ASecondRunOnTheSameResultsIsRefusedAtOnce) {
    FitFolder folder;
    ScriptedRunInterface ui;
    std::string failure;
    {
        // What a first fit on this model holds for the whole of its run.
        ResultSetWriter first({folder.dir.Path("film.bst"), folder.dir.Path("film.pct"),
                               folder.dir.Path("film.loc")});
        failure = folder.Fit(ui);
    }
    EXPECT_EQ(failure, "Another run is writing this result file; try again when it has ended. | " +
                           folder.dir.Path("film.bst"));
    EXPECT_EQ(ui.Messages.size(), 0u);  // refused before the search
    for (const char* ext : {"bst", "pct", "loc"}) EXPECT_TRUE(folder.KeepsEarlier(ext)) << ext;
    // Once the first run has ended the second goes ahead.
    EXPECT_EQ(folder.Fit(ui), "");
    EXPECT_NE(folder.Read("loc").find("Xi="), std::string::npos);
    EXPECT_EQ(FileCount(folder.dir.Root()), 7);
}

TEST(RegressionResultFiles, ANewtonSectionCutOffByAFullDiskLeavesTheCompleteResult) {
    FitFolder folder;
    std::unique_ptr<FullDisk> full;
    std::string written;
    struct FillingInterface : ScriptedRunInterface {
        std::function<void()> onNewton;
        bool AskNewtonStep() override {
            onNewton();
            return true;
        }
    } filling;
    filling.onNewton = [&] {
        written = folder.Read("bst");
        full = std::make_unique<FullDisk>(written.size() + 40);
    };
    const std::string failure = folder.Fit(filling);
    full.reset();
    EXPECT_EQ(failure, "Disk write error. | " + folder.dir.Path("film.bst"));
    ASSERT_NE(written.find("Norma"), std::string::npos);
    EXPECT_EQ(folder.Read("bst"), written);
}

TEST(RegressionResultFiles, ARunAbandonedByAnErrorKeepsEveryEarlierResult) {
    FitFolder folder(kGainFilm,
                     "1e5 2e6 10\n0 2e-5 0\n0 1e-6 0\n0 10 0\n0 0 0\n0 1e-5 0\n"
                     "0 1e-6 0\n0 10 0\n");
    ScriptedRunInterface ui;
    const std::string failure = folder.Fit(ui);
    EXPECT_NE(failure.find("not a finite number"), std::string::npos) << failure;
    // The engine knows no file; the run names the model the failure came from.
    const std::string model = " | " + folder.dir.Path("film.mdl");
    EXPECT_EQ(failure.substr(failure.size() - std::min(failure.size(), model.size())), model);
    for (const char* ext : {"bst", "pct", "loc"}) EXPECT_TRUE(folder.KeepsEarlier(ext)) << ext;
    EXPECT_FALSE(ui.DrawEnabled);
}

TEST(RegressionResultFiles, NegativeIntensitiesGiveAMessageInsteadOfAnUncertaintyTableOfNan) {
    // Background-subtracted data gone negative: the fitted scale factor is negative,
    // and the uncertainty formula would take the root of a negative number.
    const char* negative =
        "0.1 -0.98 0.05\n0.2 -0.9 0.05\n0.3 -0.05 0.003\n0.4 -0.01 0.001\n0.5 -0.003 0.0003\n"
        "0.6 -0.0012 0.0001\n0.7 -0.0008 0.00008\n0.8 -0.0004 0.00004\n0.9 -0.0002 0.00002\n";
    const char* scaled = "data.dat\nF\nY\nY\nfilm.mdl\nfilm.lmt\n1e-6\n15\n0\nP\n";
    FitFolder folder(kFilm, kLimits, negative, scaled);
    ScriptedRunInterface ui;
    ui.UncertaintyAnswer = true;
    const std::string failure = folder.Fit(ui);
    EXPECT_EQ(failure.rfind("Parameter uncertainties cannot be estimated: the scale factor of "
                            "the fitted curve is -",
                            0),
              0u)
        << failure;
    EXPECT_NE(failure.find(", not positive. | data.dat"), std::string::npos) << failure;
    // The fit's own result is complete and holds no non-finite number.
    const std::string bst = folder.Read("bst");
    EXPECT_NE(bst.find(" Variables :"), std::string::npos);
    EXPECT_EQ(bst.find("Estimation"), std::string::npos);
    EXPECT_EQ(bst.find("Nan"), std::string::npos);
}
