// korvel-cli's exit codes and messages where the outside world interferes: SIGTERM,
// a full or closed standard output, and inputs that are loops of links or pipes.

#include <gtest/gtest.h>
#include <sys/stat.h>
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
using testing::PipeWriter;
using testing::ReadText;
using testing::RunCli;
using testing::TempFolder;
using testing::WriteText;
namespace fs = testing::fs;

class CliExitTest : public ::testing::Test {
  protected:
    TempFolder folder;
};

TEST_F(CliExitTest, SigtermEndsTheSearchLikeCtrlCAndSaysSoEvenWhenQuiet) {
    testing::CopyDemo(folder.Path());
    testing::WriteEndlessFit(folder.Path());
    BackgroundCli cli({"fit", "long.inp", "--seed", "5", "--quiet"}, folder.Path());
    ASSERT_TRUE(cli.Started());
    // The search is under way once its .loc is being prepared.
    ASSERT_TRUE(cli.WaitUntil([&] { return !LeftoverFiles(folder.Path()).empty(); }));
    cli.Signal(SIGTERM);
    const int status = cli.Wait(120);
    ASSERT_TRUE(status != -1 && WIFEXITED(status)) << "status " << status << cli.Stderr();
    EXPECT_EQ(WEXITSTATUS(status), 0) << cli.Stderr();
    EXPECT_EQ(cli.Stderr(),
              "korvel-cli: the fit was stopped; the results are those of the best model so "
              "far.\n");
    EXPECT_NE(ReadText(folder / "ml.bst").find("Norma   = "), std::string::npos);
    EXPECT_EQ(CrLfLines(ReadText(folder / "ml.pct")).size(), testing::kLongFitPoints);
    EXPECT_NE(cli.Stdout().find("results: "), std::string::npos);
}

TEST_F(CliExitTest, AStandardOutputThatCannotBeWrittenFailsTheRunAfterItsFiles) {
    WriteText(folder / "m.mdl", FilmModel());
    const auto full = RunCli({"simulate", "m.mdl"}, folder.Path(), {"", "/dev/full"});
    EXPECT_EQ(full.ExitCode, 1);
    EXPECT_EQ(full.Stderr, "korvel-cli: Disk write error.\n(standard output)\n");
    EXPECT_EQ(CrLfLines(ReadText(folder / "m.sml")).size(), 101u);

    // A reader that has gone: no SIGPIPE kills the program before the plot is written.
    fs::remove(folder / "m.sml");
    int channel[2];
    ASSERT_EQ(::pipe(channel), 0);
    ::close(channel[0]);
    BackgroundCli cli({"simulate", "m.mdl", "--plot", "m.svg"}, folder.Path(), channel[1]);
    ::close(channel[1]);
    ASSERT_TRUE(cli.Started());
    const int status = cli.Wait();
    ASSERT_TRUE(status != -1 && WIFEXITED(status)) << "status " << status;
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_EQ(cli.Stderr(), "korvel-cli: Disk write error.\n(standard output)\n");
    EXPECT_EQ(CrLfLines(ReadText(folder / "m.sml")).size(), 101u);
    EXPECT_NE(ReadText(folder / "m.svg").find("</svg>"), std::string::npos);
}

TEST_F(CliExitTest, ALoopOfSymbolicLinksIsNamedAsSuch) {
    fs::create_symlink("b.mdl", folder / "a.mdl");
    fs::create_symlink("a.mdl", folder / "b.mdl");
    const auto result = RunCli({"simulate", "a.mdl"}, folder.Path());
    EXPECT_EQ(result.ExitCode, 1);
    EXPECT_EQ(result.Stderr,
              "korvel-cli: Path not found.\na.mdl (symbolic links that form a loop)\n");
}

TEST_F(CliExitTest, AModelFromANamedPipeIsReadOnce) {
    ASSERT_EQ(::mkfifo((folder / "piped.mdl").c_str(), 0644), 0);
    {
        PipeWriter writer(folder / "piped.mdl", FilmModel());
        const auto result = RunCli({"simulate", "piped.mdl"}, folder.Path(), {"timeout 60 ", ""});
        EXPECT_EQ(result.ExitCode, 0) << result.Stderr;
    }
    EXPECT_EQ(CrLfLines(ReadText(folder / "piped.sml")).size(), 101u);

    // A fit with Qz data reads its model three times: the command file's peek, the
    // wavelength for the data, the whole model.
    testing::CopyDemo(folder.Path());
    WriteText(folder / "qz.dat", "0.01 0.9 0.01\n0.05 0.1 0.001\n0.1 0.001 0.00001\n");
    WriteText(folder / "piped.inp", "qz.dat\nS\nN\nY\npiped.mdl\nau-film.lmt\n1e-6\n100\n0\nM\n");
    {
        PipeWriter writer(folder / "piped.mdl", ReadText(folder / "au-film-start.mdl"));
        const auto result =
            RunCli({"fit", "piped.inp", "--qz", "--quiet"}, folder.Path(), {"timeout 60 ", ""});
        EXPECT_EQ(result.ExitCode, 0) << result.Stderr;
    }
    EXPECT_EQ(CrLfLines(ReadText(folder / "piped.pct")).size(), 3u);
    EXPECT_NE(ReadText(folder / "piped.bst").find("235"), std::string::npos);
}

}  // namespace
}  // namespace korvel
