// Reading and writing the program's text files. Reads take a whole file at once;
// writes either append or replace a file through a temporary file beside it, so a
// failed write never destroys the previous contents. All errors throw RunError
// with the program's message for the failure and the path concerned.

#include "base/TextFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "base/RunError.h"
#include "base/IoError.h"
#include "base/ResultSetWriter.h"

namespace korvel {
namespace fs = std::filesystem;

namespace {

// The kernel's own limit on links followed in one path.
constexpr int kMostLinksFollowed = 40;

// Writes all of `content` and closes the stream; returns 0 or the errno of the
// first failure. The stream is closed in every case.
int WriteAndClose(std::FILE* file, const std::string& content) {
    errno = 0;
    int err = 0;
    if (!content.empty() && std::fwrite(content.data(), 1, content.size(), file) != content.size())
        err = errno ? errno : EIO;
    if (err == 0 && std::fflush(file) != 0) err = errno ? errno : EIO;
    if (std::fclose(file) != 0 && err == 0) err = errno ? errno : EIO;
    return err;
}

const char* KindOfFile(mode_t mode) {
    if (S_ISCHR(mode)) return "a character device";
    if (S_ISBLK(mode)) return "a block device";
    if (S_ISFIFO(mode)) return "a named pipe";
    if (S_ISSOCK(mode)) return "a socket";
    return "not a regular file";
}

// A device node, pipe or socket at a result's name would be replaced by a regular
// file (or, for a pipe, block the run); a result is written to a regular file only.
[[noreturn]] void ThrowNotRegular(const std::string& path, const std::string& target, mode_t mode) {
    std::string where = FileNameForMessage(path);
    if (target != path) where += " -> " + target;
    throw RunError("Not a regular file: results are written to regular files only.",
                   where + " (" + KindOfFile(mode) + ")");
}

}  // namespace

std::string ReadWholeFile(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) ThrowFileError(errno, path);
    // The program's input files are small; anything beyond the limit is not one of them,
    // and a device without an end (/dev/zero) must not fill the memory.
    const auto tooLarge = [&] {
        std::fclose(file);
        throw RunError("File too large: at most " +
                           std::to_string(kLargestReadableFile / (1024 * 1024)) +
                           " MB can be read.",
                       path);
    };
    struct stat info {};
    if (::fstat(::fileno(file), &info) == 0 && S_ISREG(info.st_mode) &&
        static_cast<std::uintmax_t>(info.st_size) > kLargestReadableFile)
        tooLarge();
    std::string content;
    char buffer[65536];
    errno = 0;
    for (;;) {
        const std::size_t got = std::fread(buffer, 1, sizeof buffer, file);
        content.append(buffer, got);
        if (content.size() > kLargestReadableFile) tooLarge();
        if (got < sizeof buffer) break;
    }
    const bool failed = std::ferror(file) != 0;
    const int err = errno;
    std::fclose(file);
    if (failed) {
        // A folder opens but cannot be read.
        if (err == EISDIR) ThrowFileError(err, path);
        throw RunError(IoErrorMessage(100), path);
    }
    return content;
}

void CheckReadable(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) ThrowFileError(errno, path);
    errno = 0;
    std::fgetc(file);
    const bool failed = std::ferror(file) != 0;
    const int err = errno;
    std::fclose(file);
    if (failed) ThrowFileError(err == EISDIR ? err : EIO, path);
}

std::string ResolvedTarget(const std::string& path) {
    std::string current = path;
    for (int followed = 0; followed <= kMostLinksFollowed; ++followed) {
        struct stat info {};
        if (::lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return current;
        char link[PATH_MAX];
        const ssize_t length = ::readlink(current.c_str(), link, sizeof link - 1);
        if (length < 0) return current;
        const fs::path next(std::string(link, static_cast<std::size_t>(length)));
        current =
            next.is_absolute() ? next.string() : (fs::path(current).parent_path() / next).string();
    }
    ThrowFileError(ELOOP, path);
}

void CheckReplaceable(const std::string& path) {
    const std::string target = ResolvedTarget(path);
    struct stat info {};
    if (::stat(target.c_str(), &info) != 0) {
        if (errno == ENOENT) return;  // a new file
        ThrowFileError(errno, path);
    }
    if (S_ISDIR(info.st_mode)) ThrowFileError(EISDIR, path);
    if (!S_ISREG(info.st_mode)) ThrowNotRegular(path, target, info.st_mode);
    // A read-only file must stay as it is, even though renaming over it would work.
    // Opening a regular file for writing without O_TRUNC changes nothing in it.
    const int fd = ::open(target.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) ThrowFileError(errno, path);
    ::close(fd);
}

void CheckCreatable(const std::string& path) {
    CheckReplaceable(path);
    // The file is replaced through a temporary file beside it, so its folder must take
    // one; a probe of the same kind is created and removed at once.
    const std::string probe = TemporaryNameFor(ResolvedTarget(path));
    const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) ThrowFileError(errno, path);
    ::close(fd);
    ::unlink(probe.c_str());
}

void CheckExtraOutput(const std::string& path, const std::vector<std::string>& inputs,
                      const std::vector<std::string>& results, const std::string& what) {
    // Results may not exist yet, so names are compared as well as files.
    std::error_code ec;
    const auto fullName = [&ec](const std::string& name) {
        return fs::weakly_canonical(fs::absolute(name, ec), ec).string();
    };
    const std::string full = fullName(path);
    for (const std::string& input : inputs)
        if (SameFile(path, input) || full == fullName(input))
            throw RunError("An input file would be overwritten by the " + what + ".",
                           FileNameForMessage(path));
    for (const std::string& result : results)
        if (SameFile(path, result) || full == fullName(result))
            throw RunError("A result file would be overwritten by the " + what + ".",
                           FileNameForMessage(path));
    CheckCreatable(path);
}

void ReplaceFile(const std::string& path, const std::string& content) {
    ResultSetWriter file({path});
    file.Write(path, content);
    file.Commit();
}

void AppendToFile(const std::string& path, const std::string& content) {
    std::FILE* file = std::fopen(path.c_str(), "ab");
    if (file == nullptr) ThrowFileError(errno, path);
    // All or nothing: a section cut off by a full disk is taken back out, so the file
    // keeps exactly what it held before (a complete result).
    long previousSize = -1;
    if (std::fseek(file, 0, SEEK_END) == 0) previousSize = std::ftell(file);
    if (const int err = WriteAndClose(file, content); err != 0) {
        if (previousSize >= 0) (void)::truncate(path.c_str(), previousSize);
        throw RunError(WriteErrorMessage(err), path);
    }
}

std::string WithExtension(const std::string& path, const std::string& extension) {
    // An empty name (a cleared edit field) names no file; opening it would fail the same way.
    std::error_code ec;
    fs::path full = fs::absolute(fs::path(path), ec).lexically_normal();
    if (path.empty() || ec) throw RunError(IoErrorMessage(2), "(no file name given)");
    full.replace_extension(extension);
    return full.string();
}

bool SameFile(const std::string& a, const std::string& b) {
    std::error_code error;
    return std::filesystem::equivalent(a, b, error);
}

}  // namespace korvel
