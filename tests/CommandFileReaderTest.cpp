// The command file read from its text: the model it names is asked for by the path
// the run will open, once, and at the moment the file reader reported its faults.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestFiles.h"
#include "base/RunError.h"
#include "input/CommandFileReader.h"

using namespace korvel;
using korvel::testing::RunErrorOf;

namespace {

const char* const kEntries = "data.dat\nF\nN\nY\nml.mdl\nml.lmt\n1e-6\n500\n1e-9\nP\n";
const char* const kModel = "5.0 0 0 0 0 0\n1 2 0 10\n";

// Parses `text` as /runs/a/run.inp; `asked` collects the paths the model was asked for.
CommandFileContents Parse(const std::string& text, std::vector<std::string>& asked,
                          const std::string& model = kModel) {
    return ParseCommandFile(text, "/runs/a/run.inp", RunSettings{}, [&](const std::string& path) {
        asked.push_back(path);
        if (model.empty()) throw RunError("File not found.", path);
        return model;
    });
}

}  // namespace

TEST(ParseCommandFile, AsksOnceForTheModelBesideTheCommandFileAndPeeksAtIt) {
    std::vector<std::string> asked;
    const CommandFileContents read = Parse(kEntries, asked);
    EXPECT_EQ(asked, std::vector<std::string>{"/runs/a/ml.mdl"});
    EXPECT_EQ(read.Settings.CommandFileName, "/runs/a/run.inp");
    EXPECT_EQ(read.Settings.ModelFileName, "ml.mdl");
    EXPECT_EQ(read.Model.Header.Wavelength, 5.0);
    EXPECT_EQ(read.Model.Counts.RepeatUnitLayerCount, 2);
    EXPECT_EQ(read.Model.Counts.RepeatCount, 10);
    // Only the header and the counts are read: the layers may be missing.
    EXPECT_EQ(Parse(kEntries, asked, "1.54 0 0 0 0 0 1 0 0 0 junk").Model.Counts.TopLayerCount, 1);
    // Without a source of model texts the settings alone are read.
    const CommandFileContents alone = ParseCommandFile(kEntries, "run.inp", RunSettings{}, {});
    EXPECT_EQ(alone.Settings.CutOffLevel, 1e-9);
    EXPECT_EQ(alone.Model.Header.Wavelength, 0.0);
}

TEST(ParseCommandFile, ReportsTheModelBetweenTheFifthAndTheSixthEntry) {
    // A file ending before the model's entry never asks for it; one ending after it
    // reports a model that cannot be read first, as the run always did.
    std::vector<std::string> asked;
    EXPECT_EQ(RunErrorOf([&] { Parse("data.dat\nF\nN\nY\n", asked, ""); }),
              "Command file ends before entry 5 (model file name). | /runs/a/run.inp");
    EXPECT_TRUE(asked.empty());
    EXPECT_EQ(RunErrorOf([&] { Parse("data.dat\nF\nN\nY\nml.mdl\n", asked, ""); }),
              "File not found. | /runs/a/ml.mdl");
    EXPECT_EQ(RunErrorOf([&] { Parse("data.dat\nF\nN\nY\nml.mdl\n", asked); }),
              "Command file ends before entry 6 (limits file name). | /runs/a/run.inp");
    EXPECT_EQ(RunErrorOf([&] { Parse("data.dat\nF\nN\nY\nml.mdl\n", asked, "0 0"); }),
              "Invalid wavelength 0 (must be above 0). | /runs/a/ml.mdl, line 1: '0'");
}
