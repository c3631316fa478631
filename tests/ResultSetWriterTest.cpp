// The result files of a run replaced together under a lock: nothing is in place
// before the commit, everything after it, a second writer is refused, and the
// temporary files of a killed run are cleared away by the next.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <set>
#include <string>

#include "TestFiles.h"
#include "base/RunError.h"
#include "base/ResultSetWriter.h"
#include "base/TextFile.h"

namespace korvel {
namespace {

using testing::RunErrorOf;
using testing::TempFolder;
namespace fs = std::filesystem;

std::set<std::string> Names(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

int CountEnding(const fs::path& folder, const std::string& end) {
    int n = 0;
    for (const std::string& name : Names(folder))
        n += name.rfind("korvel-", 0) == 0 && name.size() > end.size() &&
             name.compare(name.size() - end.size(), end.size(), end) == 0;
    return n;
}

const std::string kBusy = "Another run is writing this result file; try again when it has ended.";

TEST(ResultSetWriter, PutsNothingInPlaceBeforeTheCommitAndEverythingAtIt) {
    TempFolder dir;
    for (const char* name : {"m.bst", "m.pct", "m.loc"}) dir.Write(name, "earlier");
    const std::vector<std::string> set = {dir / "m.bst", dir / "m.pct", dir / "m.loc"};
    {
        // A run that ends before its commit replaces nothing and leaves nothing behind.
        ResultSetWriter abandoned(set);
        abandoned.Write(dir / "m.bst", "half a result");
    }
    EXPECT_EQ(Names(dir.Root()), (std::set<std::string>{"m.bst", "m.pct", "m.loc"}));
    {
        ResultSetWriter results(set);
        results.Write(dir / "m.loc", "");
        results.Append(dir / "m.loc", "run 1\r\n");
        results.Append(dir / "m.loc", "run 2\r\n");
        results.Write(dir / "m.bst", "model");
        results.Write(dir / "m.pct", "curve");
        for (const char* name : {"m.bst", "m.pct", "m.loc"}) EXPECT_EQ(dir.Read(name), "earlier");
        EXPECT_EQ(CountEnding(dir.Root(), ".tmp"), 3);
        EXPECT_EQ(CountEnding(dir.Root(), ".lock"), 3);
        results.Commit();
        EXPECT_EQ(dir.Read("m.bst"), "model");
        EXPECT_EQ(dir.Read("m.pct"), "curve");
        EXPECT_EQ(dir.Read("m.loc"), "run 1\r\nrun 2\r\n");
    }
    EXPECT_EQ(Names(dir.Root()), (std::set<std::string>{"m.bst", "m.pct", "m.loc"}));
}

TEST(ResultSetWriter, AFlushLeftForLaterStillReplacesTheSetWholeAndTheFlushNamesAMissingFolder) {
    TempFolder dir;
    for (const char* name : {"m.bst", "m.pct"}) dir.Write(name, "earlier");
    {
        ResultSetWriter results({dir / "m.bst", dir / "m.pct"}, FlushToDisk::Later);
        results.Write(dir / "m.bst", "model");
        results.Write(dir / "m.pct", "curve");
        EXPECT_EQ(dir.Read("m.bst"), "earlier");
        results.Commit();
    }
    EXPECT_EQ(dir.Read("m.bst"), "model");
    EXPECT_EQ(dir.Read("m.pct"), "curve");
    EXPECT_EQ(Names(dir.Root()), (std::set<std::string>{"m.bst", "m.pct"}));
    EXPECT_NO_THROW(FlushFileSystemOf(dir.Root().string()));
    const std::string missing = dir / "gone";
    EXPECT_EQ(RunErrorOf([&] { FlushFileSystemOf(missing); }), "File not found. | " + missing);
}

TEST(ResultSetWriter, ASecondWriterOfAnyOfItsFilesIsRefusedUntilTheFirstHasEnded) {
    TempFolder dir;
    dir.Write("m.pct", "earlier");
    {
        ResultSetWriter first({dir / "m.bst", dir / "m.pct"});
        EXPECT_EQ(RunErrorOf([&] { ResultSetWriter second({dir / "m.pct"}); }),
                  kBusy + " | " + dir.Path("m.pct"));
        EXPECT_EQ(RunErrorOf([&] { ReplaceFile(dir / "m.pct", "other"); }),
                  kBusy + " | " + dir.Path("m.pct"));
        // Through a link it is the same file.
        fs::create_symlink(dir / "m.bst", dir / "link.bst");
        EXPECT_EQ(RunErrorOf([&] { ReplaceFile(dir / "link.bst", "other"); }),
                  kBusy + " | " + dir.Path("link.bst"));
        // Another model's results are free.
        EXPECT_EQ(RunErrorOf([&] { ReplaceFile(dir / "n.pct", "n"); }), "");
    }
    EXPECT_EQ(dir.Read("m.pct"), "earlier");
    ReplaceFile(dir / "m.pct", "later");
    EXPECT_EQ(dir.Read("m.pct"), "later");
    EXPECT_EQ(CountEnding(dir.Root(), ".lock"), 0);
}

TEST(ResultSetWriter, AWriterHandedOnKeepsItsLocksAndWhatItPrepared) {
    // The step that reads a fit's inputs locks the results and hands the writer on.
    TempFolder dir;
    dir.Write("m.pct", "earlier");
    std::optional<ResultSetWriter> held;
    {
        ResultSetWriter first({dir / "m.pct"});
        first.Write(dir / "m.pct", "later");
        held.emplace(std::move(first));
    }  // the writer moved from ends here; the lock and the prepared file are not its own
    EXPECT_EQ(RunErrorOf([&] { ResultSetWriter second({dir / "m.pct"}); }),
              kBusy + " | " + dir.Path("m.pct"));
    held->Commit();
    EXPECT_EQ(dir.Read("m.pct"), "later");
    held.reset();
    EXPECT_EQ(Names(dir.Root()), (std::set<std::string>{"m.pct"}));
}

TEST(ResultSetWriter, RemovesTheTemporaryFilesAKilledRunLeftOfItsFilesOnly) {
    TempFolder dir;
    dir.Write("m.sml", "earlier");
    // A run killed while it wrote: its temporary file and its lock file stay behind.
    const pid_t child = ::fork();
    if (child == 0) {
        try {
            ResultSetWriter killed({dir / "m.sml"});
            killed.Write(dir / "m.sml", std::string(100000, 'x'));
            ::_exit(0);  // no destructor runs, as after kill -9
        } catch (...) {
            ::_exit(1);
        }
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_EQ(status, 0);
    EXPECT_EQ(CountEnding(dir.Root(), ".tmp"), 1);
    EXPECT_EQ(CountEnding(dir.Root(), ".lock"), 1);
    const std::string otherModel = TemporaryNameFor(dir / "n.sml");
    testing::WriteText(otherModel, "another model's run, maybe still going");

    {
        ResultSetWriter next({dir / "m.sml"});
        EXPECT_EQ(CountEnding(dir.Root(), ".tmp"), 1);
        EXPECT_TRUE(fs::exists(otherModel));
    }
    EXPECT_EQ(dir.Read("m.sml"), "earlier");
    EXPECT_EQ(Names(dir.Root()),
              (std::set<std::string>{"m.sml", fs::path(otherModel).filename().string()}));
    // Short, recognisable and of fixed length whatever the result's name.
    const std::string name =
        fs::path(TemporaryNameFor(dir / (std::string(251, 'm') + ".bst"))).filename().string();
    EXPECT_EQ(name.rfind("korvel-", 0), 0u);
    EXPECT_EQ(name.size(), fs::path(otherModel).filename().string().size());
}

}  // namespace
}  // namespace korvel
