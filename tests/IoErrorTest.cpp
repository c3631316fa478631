#include <gtest/gtest.h>

#include <cerrno>

#include "TestFiles.h"
#include "base/RunError.h"
#include "base/IoError.h"

using namespace korvel;
using korvel::testing::RunErrorOf;

TEST(IoErrorMessage, GivesTheTableTextForKnownCodes) {
    EXPECT_EQ(IoErrorMessage(2), "File not found.");
    EXPECT_EQ(IoErrorMessage(3), "Path not found.");
    EXPECT_EQ(IoErrorMessage(5), "File access denied.");
    EXPECT_EQ(IoErrorMessage(17), "Cannot rename across drives.");
    EXPECT_EQ(IoErrorMessage(101), "Disk write error.");
    EXPECT_EQ(IoErrorMessage(106), "Invalid numeric format.");
    EXPECT_EQ(IoErrorMessage(150), "Disk is write-protected.");
    EXPECT_EQ(IoErrorMessage(155), "Bad drive request structure length.");
    EXPECT_EQ(IoErrorMessage(162), "Hardware failure.");
}

TEST(IoErrorMessage, GivesTheDefaultTextForEveryOtherCode) {
    EXPECT_EQ(IoErrorMessage(1), "Unidentified error message = 1. See manual.");
    EXPECT_EQ(IoErrorMessage(32), "Unidentified error message = 32. See manual.");
    for (int code : {7, 11, 13, 14, 18, 99, 107, 149, 163})
        EXPECT_EQ(IoErrorMessage(code),
                  "Unidentified error message = " + std::to_string(code) + ". See manual.");
    EXPECT_EQ(IoErrorMessage(-3), "Unidentified error message = -3. See manual.");
}

TEST(IoCodeFromErrno, MapsTheSystemsFileErrorsOntoTheTable) {
    EXPECT_EQ(IoCodeFromErrno(ENOENT), 2);
    EXPECT_EQ(IoCodeFromErrno(ENOTDIR), 3);
    EXPECT_EQ(IoCodeFromErrno(EMFILE), 4);
    EXPECT_EQ(IoCodeFromErrno(EACCES), 5);
    EXPECT_EQ(IoCodeFromErrno(EROFS), 5);
    EXPECT_EQ(IoCodeFromErrno(EISDIR), 5);
    EXPECT_EQ(IoCodeFromErrno(ENOSPC), 101);
}

TEST(ThrowFileError, NamesTheFileAndTellsAMissingFolderFromAMissingFile) {
    EXPECT_EQ(RunErrorOf([] { ThrowFileError(ENOENT, "/no-such-folder-korvel/model.mdl"); }),
              "Path not found. | /no-such-folder-korvel/model.mdl");
    EXPECT_EQ(RunErrorOf([] { ThrowFileError(ENOENT, "/tmp/no-such-file-korvel.mdl"); }),
              "File not found. | /tmp/no-such-file-korvel.mdl");
}

TEST(ThrowFileError, MakesABlankAtEitherEndOfTheNameVisible) {
    // Names in a command file are whole lines, so "data.dat " names another file.
    try {
        ThrowFileError(ENOENT, "/tmp/no-such-file-korvel.dat ");
        FAIL();
    } catch (const RunError& e) {
        EXPECT_EQ(e.Message(), "File not found.");
        EXPECT_EQ(e.Where(),
                  "'/tmp/no-such-file-korvel.dat ' (the name begins or ends with a blank)");
    }
    EXPECT_EQ(FileNameForMessage("\tdata.dat"),
              "'\tdata.dat' (the name begins or ends with a blank)");
    // The command file's folder is put in front of a relative name.
    EXPECT_EQ(FileNameForMessage("/runs/ data.dat"),
              "'/runs/ data.dat' (the name begins or ends with a blank)");
    EXPECT_EQ(FileNameForMessage("my data.dat"), "my data.dat");
    EXPECT_EQ(FileNameForMessage(""), "(no file name given)");
}
