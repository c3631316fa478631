// Inputs that give their contents once (a named pipe) are read once per run; regular
// files are read afresh each time.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "TestFiles.h"
#include "base/InputTexts.h"

namespace korvel {
namespace {

using testing::PipeWriter;
using testing::TempFolder;

TEST(InputTexts, ReadANamedPipeOnceAndRegularFilesAfresh) {
    TempFolder dir;
    const std::string pipe = dir / "m.mdl";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0644), 0);
    InputTexts inputs;
    {
        PipeWriter writer(pipe, "1.54 0 0 0 0 0\n");
        inputs.CheckReadable(pipe);  // the check reads it, and nothing is lost
    }
    // A second opening would wait for a writer that has gone.
    EXPECT_EQ(inputs.Read(pipe), "1.54 0 0 0 0 0\n");
    EXPECT_EQ(inputs.Read(pipe), "1.54 0 0 0 0 0\n");

    const std::string file = dir.Write("m.lmt", "first");
    EXPECT_EQ(inputs.Read(file), "first");
    dir.Write("m.lmt", "edited");
    EXPECT_EQ(inputs.Read(file), "edited");
}

}  // namespace
}  // namespace korvel
