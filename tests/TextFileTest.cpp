#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>

#include "InputTestSupport.h"
#include "base/RunError.h"
#include "base/TextFile.h"

using namespace korvel;
using korvel::testing::TempFolder;
namespace fs = std::filesystem;

namespace {

// Message of the RunError that `action` throws, or "" when it throws none.
template <typename Action>
std::string MessageOf(Action action) {
    const std::string failure = korvel::testing::RunErrorOf(action);
    return failure.substr(0, failure.find(" | "));
}

int FileCount(const fs::path& folder) {
    int n = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder)) ++n;
    return n;
}

bool RunningAsRoot() { return ::geteuid() == 0; }

}  // namespace

TEST(ReadWholeFile, ReturnsEveryByteUnchanged) {
    TempFolder dir;
    const std::string content("a b\r\n\t1.5\x1a\0end", 15);
    EXPECT_EQ(ReadWholeFile(dir.Write("f.dat", content)), content);
    EXPECT_EQ(ReadWholeFile(dir.Write("empty.dat", "")), "");
}

TEST(ReadWholeFile, ReportsTheCauseAndThePath) {
    TempFolder dir;
    EXPECT_EQ(korvel::testing::RunErrorOf([&] { ReadWholeFile(dir.Path("missing.mdl")); }),
              "File not found. | " + dir.Path("missing.mdl"));
    EXPECT_EQ(MessageOf([&] { ReadWholeFile(dir.Path("nofolder/a.mdl")); }), "Path not found.");
    EXPECT_EQ(MessageOf([&] { ReadWholeFile(dir.Root().string()); }), "File access denied.");
}

TEST(CheckReadable, AcceptsAFileAndRefusesWhatCannotBeRead) {
    TempFolder dir;
    EXPECT_EQ(MessageOf([&] { CheckReadable(dir.Write("a.lmt", "1 2 3")); }), "");
    EXPECT_EQ(MessageOf([&] { CheckReadable(dir.Path("b.lmt")); }), "File not found.");
    EXPECT_EQ(MessageOf([&] { CheckReadable(dir.Root().string()); }), "File access denied.");
}

TEST(CheckCreatable, NeverTruncatesAnExistingFile) {
    TempFolder dir;
    dir.Write("old.bst", "earlier result");
    CheckCreatable(dir.Path("old.bst"));
    EXPECT_EQ(dir.Read("old.bst"), "earlier result");
}

TEST(CheckCreatable, LeavesNoFileBehindWhereThereWasNone) {
    TempFolder dir;
    CheckCreatable(dir.Path("new.pct"));
    EXPECT_FALSE(fs::exists(dir.Path("new.pct")));
}

TEST(CheckCreatable, ReportsAFolderThatCannotTakeTheFile) {
    TempFolder dir;
    dir.Write("plain", "x");
    EXPECT_EQ(MessageOf([&] { CheckCreatable(dir.Path("missing/r.bst")); }), "Path not found.");
    EXPECT_EQ(MessageOf([&] { CheckCreatable(dir.Path("plain/r.bst")); }), "Path not found.");
    EXPECT_EQ(MessageOf([&] { CheckCreatable(dir.Root().string()); }), "File access denied.");
}

TEST(CheckCreatable, ReportsAReadOnlyFolderAsAccessDenied) {
    if (RunningAsRoot()) GTEST_SKIP() << "permissions do not apply to root";
    TempFolder dir;
    fs::create_directory(dir.Path("ro"));
    fs::permissions(dir.Path("ro"), fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_EQ(MessageOf([&] { CheckCreatable(dir.Path("ro/r.bst")); }), "File access denied.");
    fs::permissions(dir.Path("ro"), fs::perms::owner_all);
}

TEST(ReplaceFile, WritesNewAndReplacesOldContentLeavingNoTemporaryFile) {
    TempFolder dir;
    ReplaceFile(dir.Path("r.sml"), "first\r\n");
    EXPECT_EQ(dir.Read("r.sml"), "first\r\n");
    ReplaceFile(dir.Path("r.sml"), "second");
    EXPECT_EQ(dir.Read("r.sml"), "second");
    EXPECT_EQ(FileCount(dir.Root()), 1);
}

TEST(ReplaceFile, KeepsThePreviousFileWhenTheWriteFails) {
    TempFolder dir;
    dir.Write("r.bst", "earlier result");
    // A file size limit makes the write itself fail (EFBIG) after the temporary exists.
    struct sigaction ignore {
    }, previous{};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGXFSZ, &ignore, &previous);
    rlimit old{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    rlimit limited = old;
    limited.rlim_cur = 1000;
    ::setrlimit(RLIMIT_FSIZE, &limited);
    const std::string message =
        MessageOf([&] { ReplaceFile(dir.Path("r.bst"), std::string(5000, 'x')); });
    ::setrlimit(RLIMIT_FSIZE, &old);
    ::sigaction(SIGXFSZ, &previous, nullptr);

    EXPECT_EQ(message, "Disk write error.");
    EXPECT_EQ(dir.Read("r.bst"), "earlier result");
    EXPECT_EQ(FileCount(dir.Root()), 1);
}

TEST(ReplaceFile, RefusesAMissingFolderAndAReadOnlyFile) {
    TempFolder dir;
    EXPECT_EQ(MessageOf([&] { ReplaceFile(dir.Path("missing/r.sml"), "x"); }), "Path not found.");
    if (RunningAsRoot()) return;
    dir.Write("ro.sml", "keep");
    fs::permissions(dir.Path("ro.sml"), fs::perms::owner_read);
    EXPECT_EQ(MessageOf([&] { ReplaceFile(dir.Path("ro.sml"), "x"); }), "File access denied.");
    EXPECT_EQ(dir.Read("ro.sml"), "keep");
}

TEST(ReplaceFile, KeepsPermissionsAndSymbolicLinks) {
    TempFolder dir;
    dir.Write("target.bst", "old");
    fs::permissions(dir.Path("target.bst"), fs::perms::owner_read | fs::perms::owner_write);
    fs::create_symlink(dir.Path("target.bst"), dir.Path("link.bst"));
    ReplaceFile(dir.Path("link.bst"), "new");
    EXPECT_TRUE(fs::is_symlink(dir.Path("link.bst")));
    EXPECT_EQ(dir.Read("target.bst"), "new");
    EXPECT_EQ(fs::status(dir.Path("target.bst")).permissions(),
              fs::perms::owner_read | fs::perms::owner_write);
}

TEST(CheckCreatable, RefusesWhatIsNotARegularFileWithoutOpeningIt) {
    TempFolder dir;
    const std::string refusal = "Not a regular file: results are written to regular files only.";
    // Through a link, a device would be replaced by a regular file (as root, /dev/null).
    fs::create_symlink("/dev/null", dir.Path("m.sml"));
    EXPECT_EQ(korvel::testing::RunErrorOf([&] { CheckCreatable(dir.Path("m.sml")); }),
              refusal + " | " + dir.Path("m.sml") + " -> /dev/null (a character device)");
    EXPECT_EQ(MessageOf([&] { ReplaceFile(dir.Path("m.sml"), "x"); }), refusal);
    EXPECT_TRUE(fs::is_character_file("/dev/null"));

    // Opening a named pipe for the check would wait for a reader for ever; a reader is
    // held open here, so a check that opened it would pass instead of hanging.
    ASSERT_EQ(::mkfifo(dir.Path("p.bst").c_str(), 0644), 0);
    const int reader = ::open(dir.Path("p.bst").c_str(), O_RDONLY | O_NONBLOCK);
    EXPECT_EQ(korvel::testing::RunErrorOf([&] { CheckCreatable(dir.Path("p.bst")); }),
              refusal + " | " + dir.Path("p.bst") + " (a named pipe)");
    ::close(reader);
    EXPECT_TRUE(fs::is_fifo(dir.Path("p.bst")));
}

TEST(CheckCreatable, NamesALoopOfSymbolicLinks) {
    TempFolder dir;
    fs::create_symlink(dir.Path("b.sml"), dir.Path("a.sml"));
    fs::create_symlink(dir.Path("a.sml"), dir.Path("b.sml"));
    const std::string loop =
        "Path not found. | " + dir.Path("a.sml") + " (symbolic links that form a loop)";
    EXPECT_EQ(korvel::testing::RunErrorOf([&] { CheckCreatable(dir.Path("a.sml")); }), loop);
    EXPECT_EQ(korvel::testing::RunErrorOf([&] { ReadWholeFile(dir.Path("a.sml")); }), loop);
}

TEST(ReplaceFile, KeepsOwnerAndGroupOfTheReplacedFile) {
    if (!RunningAsRoot()) GTEST_SKIP() << "only root can replace another user's file";
    TempFolder dir;
    dir.Write("user.bst", "the user's result");
    ASSERT_EQ(::chown(dir.Path("user.bst").c_str(), 1234, 2345), 0);
    fs::permissions(dir.Path("user.bst"),
                    fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    ReplaceFile(dir.Path("user.bst"), "root's run");
    struct stat info {};
    ASSERT_EQ(::stat(dir.Path("user.bst").c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, 1234u);
    EXPECT_EQ(info.st_gid, 2345u);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_EQ(dir.Read("user.bst"), "root's run");
}

TEST(AppendToFile, CreatesThenAppends) {
    TempFolder dir;
    AppendToFile(dir.Path("r.loc"), "one\r\n");
    AppendToFile(dir.Path("r.loc"), "two\r\n");
    EXPECT_EQ(dir.Read("r.loc"), "one\r\ntwo\r\n");
}

TEST(AppendToFile, ReportsAFullDisk) {
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    EXPECT_EQ(MessageOf([] { AppendToFile("/dev/full", "x"); }), "Disk write error.");
}

TEST(WithExtension, GivesTheFullPathWithTheExtensionReplaced) {
    const fs::path cwd = fs::current_path();
    EXPECT_EQ(WithExtension("sample.mdl", ".sml"), (cwd / "sample.sml").string());
    EXPECT_EQ(WithExtension("/data/run.v2/sample", ".pct"), "/data/run.v2/sample.pct");
    EXPECT_EQ(WithExtension("/data/x/../sample.mdl", ".bst"), "/data/sample.bst");
    EXPECT_EQ(WithExtension("/data/sample.old.mdl", ".loc"), "/data/sample.old.loc");
    EXPECT_EQ(MessageOf([] { WithExtension("", ".sml"); }), "File not found.");
}
