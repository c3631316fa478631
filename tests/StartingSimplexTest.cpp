// The limits table read from text, and the starting simplex built from records alone.

#include <gtest/gtest.h>

#include <string>

#include "TestFiles.h"
#include "fit/FitSession.h"
#include "fit/StartingSimplex.h"
#include "input/LimitsReader.h"
#include "input/ModelReader.h"

using namespace korvel;
using korvel::testing::RunErrorOf;

TEST(ParseLimits, ReadsOneRowPerParameterAndNothingAfterThem) {
    const LimitsTable table = ParseLimits("0 100 10\r\n-1 1 -2\nnot a number", "m.lmt", 2);
    ASSERT_EQ(table.Rows.size(), 2u);
    EXPECT_EQ(table.CompleteRows, 2);
    EXPECT_TRUE(table.ShortFileWarnings.Texts.empty());
    EXPECT_EQ(table.Rows[1].Lower, -1.0);
    EXPECT_EQ(table.Rows[1].Step, -2.0);
    EXPECT_EQ(table.Rows[1].Where, "m.lmt, line 2: '-1'");
    // The token after the rows is read once the model has a third parameter.
    EXPECT_EQ(RunErrorOf([] { ParseLimits("0 100 10\r\n-1 1 -2\nnot a number", "m.lmt", 3); }),
              "Invalid numeric input | m.lmt, line 3: 'not'");

    const LimitsTable shortFile = ParseLimits("0 100 10\n5 6", "m.lmt", 3);
    EXPECT_EQ(shortFile.CompleteRows, 1);
    EXPECT_EQ(shortFile.Rows[1].Upper, 6.0);
    EXPECT_EQ(shortFile.Rows[1].Step, 0.0);
    EXPECT_EQ(shortFile.Rows[2].Lower, 0.0);
    ASSERT_EQ(shortFile.ShortFileWarnings.Texts.size(), 1u);
    EXPECT_NE(shortFile.ShortFileWarnings.Texts[0].find("ends inside the limits of [ReDensity:1]"),
              std::string::npos);
}

TEST(BuildFreeParameters, RefusesALimitsTableOfAnotherModel) {
    // A table read for a smaller model would be read beyond its end.
    FitSession session;
    session.Settings.FitMode = true;
    session.Options.Seed = 3;
    session.Model = ParseModel("1.54 0 0 0 0 0\n1 0 0 0\n10 1e-5 0 3\n0 2e-5 0 3\n", "m.mdl", 0,
                               session.Warnings);
    const LimitsTable fewer = ParseLimits("0 100 10\n", "m.lmt", 4);
    EXPECT_EQ(RunErrorOf([&] { BuildFreeParameters(session, fewer); }),
              "The limits table does not match the model: 4 rows for 8 parameters. | m.lmt");
    BuildFreeParameters(session, ParseLimits("0 100 10\n", "m.lmt", 8));
    EXPECT_EQ(session.Free.FreeCount, 1);
    EXPECT_EQ(session.Free.VertexCount, 2);
}
