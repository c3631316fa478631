// korvel-cli's result files under the faults of a hostile file system: result names
// that lead to devices or pipes, plots over inputs, two runs at once, kills, long
// names, a file-size limit, and a fit that fails after writing its results. (Two
// runs at once: RegressionResultFilesTest.)

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "CliTestSupport.h"

namespace korvel {
namespace {

using testing::BackgroundCli;
using testing::CrLfLines;
using testing::FilmModel;
using testing::LeftoverFiles;
using testing::ReadText;
using testing::RunCli;
using testing::TempFolder;
using testing::WriteText;
namespace fs = testing::fs;

const std::string kNotRegular =
    "korvel-cli: Not a regular file: results are written to regular "
    "files only.\n";

class CliResultFilesTest : public ::testing::Test {
  protected:
    TempFolder folder;
};

TEST_F(CliResultFilesTest, AResultNameThatLeadsToNoRegularFileIsRefusedBeforeAnyWork) {
    WriteText(folder / "m.mdl", FilmModel());
    // A link to a device: the run would replace the device with a regular file.
    fs::create_symlink("/dev/null", folder / "m.sml");
    const auto device = RunCli({"simulate", "m.mdl"}, folder.Path());
    EXPECT_EQ(device.ExitCode, 1);
    EXPECT_EQ(device.Stderr,
              kNotRegular + (folder / "m.sml") + " -> /dev/null (a character device)\n");
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
    if (::geteuid() == 0) {  // the reported case: mknod dev c 1 3; ln -s dev m.sml
        fs::remove(folder / "m.sml");
        ASSERT_EQ(::mknod((folder / "dev").c_str(), S_IFCHR | 0666, ::makedev(1, 3)), 0);
        fs::create_symlink("dev", folder / "m.sml");
        EXPECT_EQ(RunCli({"simulate", "m.mdl"}, folder.Path()).ExitCode, 1);
        EXPECT_TRUE(fs::is_character_file(folder / "dev"));
    }

    // A named pipe: the check must not wait for a reader (the timeout would end it: 124).
    fs::remove(folder / "m.sml");
    ASSERT_EQ(::mkfifo((folder / "m.sml").c_str(), 0644), 0);
    const auto pipe = RunCli({"simulate", "m.mdl"}, folder.Path(), {"timeout 30 ", ""});
    EXPECT_EQ(pipe.ExitCode, 1);
    EXPECT_EQ(pipe.Stderr, kNotRegular + (folder / "m.sml") + " (a named pipe)\n");

    // The same for a fit's results.
    testing::CopyDemo(folder.Path());
    ASSERT_EQ(::mkfifo((folder / "au-film-start.loc").c_str(), 0644), 0);
    const auto fit = RunCli({"fit", "demo.inp", "--quiet"}, folder.Path(), {"timeout 30 ", ""});
    EXPECT_EQ(fit.ExitCode, 1);
    EXPECT_NE(fit.Stderr.find("au-film-start.loc (a named pipe)"), std::string::npos) << fit.Stderr;
    EXPECT_FALSE(fs::exists(folder / "au-film-start.bst"));
}

TEST_F(CliResultFilesTest, APlotFileIsCheckedBeforeTheRunAndNeverReplacesAnInput) {
    testing::CopyDemo(folder.Path());
    WriteText(folder / "m.mdl", FilmModel());
    const std::string data = ReadText(folder / "demo.dat");
    const std::string model = ReadText(folder / "m.mdl");
    struct Case {
        std::vector<std::string> arguments;
        std::string message;
    };
    const std::vector<Case> cases = {
        {{"fit", "demo.inp", "--quiet", "--plot", "demo.dat"},
         "An input file would be overwritten by the plot file."},
        {{"fit", "demo.inp", "--quiet", "--plot", "demo.inp"},
         "An input file would be overwritten by the plot file."},
        {{"fit", "demo.inp", "--quiet", "--plot", "au-film-start.pct"},
         "A result file would be overwritten by the plot file."},
        {{"simulate", "m.mdl", "--plot", "m.mdl"},
         "An input file would be overwritten by the plot file."},
        {{"simulate", "m.mdl", "--plot", "m.sml"},
         "A result file would be overwritten by the plot file."},
        {{"simulate", "m.mdl", "--plot", "no/such/folder/m.svg"}, "Path not found."},
    };
    for (const auto& c : cases) {
        const auto result = RunCli(c.arguments, folder.Path());
        EXPECT_EQ(result.ExitCode, 1) << c.arguments.back();
        EXPECT_EQ(result.Stderr.rfind("korvel-cli: " + c.message + "\n", 0), 0u) << result.Stderr;
        EXPECT_EQ(result.Stdout, "");
    }
    EXPECT_EQ(ReadText(folder / "demo.dat"), data);
    EXPECT_EQ(ReadText(folder / "m.mdl"), model);
    // Refused before the run: no result was written.
    EXPECT_FALSE(fs::exists(folder / "m.sml"));
    EXPECT_FALSE(fs::exists(folder / "au-film-start.bst"));
}

TEST_F(CliResultFilesTest, AKilledFitLeavesTheEarlierSetWholeAndTheNextRunClearsItsLeftovers) {
    testing::CopyDemo(folder.Path());
    testing::WriteEndlessFit(folder.Path());
    for (const char* ext : {"bst", "pct", "loc"})
        WriteText(folder / ("ml." + std::string(ext)), std::string("earlier ") + ext);
    {
        BackgroundCli cli({"fit", "long.inp", "--seed", "5"}, folder.Path());
        ASSERT_TRUE(cli.Started());
        // Killed while its local runs go to the .loc.
        ASSERT_TRUE(cli.WaitUntil([&] { return cli.Stderr().find("Local") != std::string::npos; }))
            << cli.Stderr();
        cli.Signal(SIGKILL);
        cli.Wait();
    }
    for (const char* ext : {"bst", "pct", "loc"})
        EXPECT_EQ(ReadText(folder / ("ml." + std::string(ext))), std::string("earlier ") + ext);
    EXPECT_FALSE(LeftoverFiles(folder.Path()).empty());

    // The next run on these results: an evaluation of the model without a search.
    WriteText(folder / "once.inp", "demo.dat\nS\nN\nY\nml.mdl\nml.lmt\n-1\n100\n0\nP\n");
    const auto next = RunCli({"fit", "once.inp", "--quiet"}, folder.Path());
    ASSERT_EQ(next.ExitCode, 0) << next.Stderr;
    EXPECT_NE(ReadText(folder / "ml.bst").find("Norma"), std::string::npos);
    EXPECT_EQ(ReadText(folder / "ml.loc"), "");
    EXPECT_EQ(LeftoverFiles(folder.Path()), std::vector<std::string>{});
}

TEST_F(CliResultFilesTest, ModelNamesOfUpTo255BytesWork) {
    for (const std::size_t length : {243u, 255u}) {
        const std::string stem(length - 4, 'm');
        WriteText(folder / (stem + ".mdl"), FilmModel());
        const auto result = RunCli({"simulate", stem + ".mdl"}, folder.Path());
        EXPECT_EQ(result.ExitCode, 0) << length << result.Stderr;
        EXPECT_EQ(CrLfLines(ReadText(folder / (stem + ".sml"))).size(), 101u) << length;
    }
    EXPECT_EQ(LeftoverFiles(folder.Path()), std::vector<std::string>{});
}

TEST_F(CliResultFilesTest, AFileSizeLimitFailsTheWriteAsAFullDiskDoes) {
    WriteText(folder / "m.mdl", FilmModel());
    WriteText(folder / "m.sml", "earlier curve\r\n");
    // 512 bytes: the curve of 101 points needs 3333.
    const auto result = RunCli({"simulate", "m.mdl"}, folder.Path(), {"ulimit -f 1; ", ""});
    EXPECT_EQ(result.ExitCode, 1);
    EXPECT_EQ(result.Stderr, "korvel-cli: Disk write error.\n" + (folder / "m.sml") + "\n");
    EXPECT_EQ(ReadText(folder / "m.sml"), "earlier curve\r\n");
    EXPECT_EQ(LeftoverFiles(folder.Path()), std::vector<std::string>{});
}

TEST_F(CliResultFilesTest, AFitThatFailsAfterWritingItsResultsNamesThemThenTheFailure) {
    testing::CopyDemo(folder.Path());
    // The film is the substrate itself: its thickness changes nothing in the curve, so
    // the uncertainty estimate finds a singular matrix after the results are written.
    WriteText(folder / "blind.mdl",
              "1.5406 0.0004 0.008 0.05 0 0\n1 0 0 0\n235 7.578e-6 1.731e-7 0\n"
              "0 7.578e-6 1.731e-7 0\n");
    WriteText(folder / "blind.lmt",
              "200 300 10\n0 1e-5 0\n0 1e-6 0\n0 10 0\n0 0 0\n0 1e-5 0\n0 1e-6 0\n0 10 0\n");
    WriteText(folder / "blind.inp", "demo.dat\nF\nN\nY\nblind.mdl\nblind.lmt\n1e-6\n200\n0\nP\n");
    const auto result = RunCli(
        {"fit", "blind.inp", "--uncertainty", "--quiet", "--seed", "1", "--max-respreads", "1"},
        folder.Path());
    EXPECT_EQ(result.ExitCode, 1);
    const std::string bst = fs::weakly_canonical(folder / "blind.bst").string();
    const std::string pct = fs::weakly_canonical(folder / "blind.pct").string();
    const std::string loc = fs::weakly_canonical(folder / "blind.loc").string();
    EXPECT_EQ(result.Stdout, "results: " + bst + "\n         " + pct + "\n         " + loc + "\n");
    EXPECT_EQ(result.Stderr.rfind("korvel-cli: Singular matrix.\n", 0), 0u) << result.Stderr;
    EXPECT_NE(ReadText(bst).find("Norma"), std::string::npos);
    EXPECT_EQ(CrLfLines(ReadText(pct)).size(), 601u);
}

}  // namespace
}  // namespace korvel
