// Hostile and half-written input files found while fuzzing the readers, and the
// undefined inputs every reader must turn into a clear message naming the file.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>

#include "InputTestSupport.h"
#include "base/RunError.h"
#include "base/TextFile.h"

using namespace korvel;
using korvel::testing::TempFolder;

namespace {

// "message | where" of the RunError `action` throws, or "" when it succeeds.
std::string FailureOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const RunError& e) {
        return e.Message() + " | " + e.Where();
    }
    return "";
}

}  // namespace

TEST(RegressionInputFiles, AFileTooLargeToBeAnInputFileIsRefusedBeforeItIsRead) {
    TempFolder dir;
    const std::string path = dir.Write("huge.dat", "");
    // A sparse file: its size is known at once, nothing of it is on the disk.
    ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(kLargestReadableFile) + 1), 0);
    EXPECT_EQ(FailureOf([&] { ReadWholeFile(path); }),
              "File too large: at most 256 MB can be read. | " + path);
    ASSERT_EQ(::truncate(path.c_str(), 100), 0);
    EXPECT_EQ(ReadWholeFile(path), std::string(100, '\0'));
}
