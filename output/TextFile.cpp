// Reading and writing the program's text files. Reads take a whole file at once;
// writes either append or replace a file through a temporary file beside it, so a
// failed write never destroys the previous contents. All errors throw RunError
// with the program's message for the failure and the path concerned.

#include "output/TextFile.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "app/RunError.h"
#include "output/IoError.h"

#if defined(__unix__) || defined(__APPLE__)
#include <sys/stat.h>
#include <unistd.h>
#define KORVEL_HAVE_FSYNC 1
#define KORVEL_HAVE_TRUNCATE 1
#endif

namespace korvel {
namespace fs = std::filesystem;

namespace {

// Message for a failed write, flush or close: the errno's message when it is one
// of the table's, "Disk write error." otherwise.
[[noreturn]] void ThrowWriteError(int err, const std::string& path) {
    const int code = err != 0 ? IoCodeFromErrno(err) : 101;
    throw RunError(IoErrorMessage(code == err ? 101 : code), path);
}

// Writes all of `content` and closes the stream; returns 0 or the errno of the
// first failure. The stream is closed in every case.
int WriteAndClose(std::FILE* file, const std::string& content, bool sync) {
    errno = 0;
    int err = 0;
    if (!content.empty() && std::fwrite(content.data(), 1, content.size(), file) != content.size())
        err = errno ? errno : EIO;
    if (err == 0 && std::fflush(file) != 0) err = errno ? errno : EIO;
#ifdef KORVEL_HAVE_FSYNC
    // Some file systems cannot sync (EINVAL); that is no failure of the write.
    if (err == 0 && sync && ::fsync(::fileno(file)) != 0 && errno != EINVAL) err = errno;
#else
    (void)sync;
#endif
    if (std::fclose(file) != 0 && err == 0) err = errno ? errno : EIO;
    return err;
}

std::string TemporaryNameBeside(const std::string& target) {
    static std::atomic<unsigned> counter{0};
    const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
    return target + ".~" + std::to_string(ticks % 1000000007) + "-" +
           std::to_string(counter.fetch_add(1));
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
#ifdef KORVEL_HAVE_FSYNC
    struct stat info {};
    if (::fstat(::fileno(file), &info) == 0 && S_ISREG(info.st_mode) &&
        static_cast<std::uintmax_t>(info.st_size) > kLargestReadableFile)
        tooLarge();
#endif
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

void CheckCreatable(const std::string& path) {
    // A new file is created and removed again; an existing one is opened for
    // appending, which never truncates it.
    if (std::FILE* created = std::fopen(path.c_str(), "wbx")) {
        std::fclose(created);
        std::remove(path.c_str());
        return;
    }
    if (errno != EEXIST) ThrowFileError(errno, path);
    std::FILE* existing = std::fopen(path.c_str(), "ab");
    if (existing == nullptr) ThrowFileError(errno, path);
    std::fclose(existing);
}

void ReplaceFile(const std::string& path, const std::string& content) {
    std::error_code ec;
    // Through a symbolic link the file it points at is replaced, not the link.
    std::string target = path;
    if (fs::is_symlink(path, ec)) {
        const auto resolved = fs::weakly_canonical(path, ec);
        if (!ec) target = resolved.string();
    }
    const bool existed = fs::exists(target, ec);
    if (existed) {
        // A read-only file must stay as it is, even though renaming over it would work.
        std::FILE* probe = std::fopen(target.c_str(), "r+b");
        if (probe == nullptr) ThrowFileError(errno, path);
        std::fclose(probe);
    }

    std::string temporary;
    std::FILE* file = nullptr;
    for (int attempt = 0; attempt < 100 && file == nullptr; ++attempt) {
        temporary = TemporaryNameBeside(target);
        file = std::fopen(temporary.c_str(), "wbx");
        if (file == nullptr && errno != EEXIST) ThrowFileError(errno, path);
    }
    if (file == nullptr) ThrowFileError(EEXIST, path);

    if (const int err = WriteAndClose(file, content, true); err != 0) {
        std::remove(temporary.c_str());
        ThrowWriteError(err, path);
    }
    if (existed) {
        const auto permissions = fs::status(target, ec).permissions();
        if (!ec) fs::permissions(temporary, permissions, ec);
    }
    if (std::rename(temporary.c_str(), target.c_str()) != 0) {
        const int err = errno;
        std::remove(temporary.c_str());
        ThrowFileError(err, path);
    }
}

void AppendToFile(const std::string& path, const std::string& content) {
    std::FILE* file = std::fopen(path.c_str(), "ab");
    if (file == nullptr) ThrowFileError(errno, path);
    // All or nothing: a section cut off by a full disk is taken back out, so the file
    // keeps exactly what it held before (a complete result).
    long previousSize = -1;
    if (std::fseek(file, 0, SEEK_END) == 0) previousSize = std::ftell(file);
    if (const int err = WriteAndClose(file, content, false); err != 0) {
#ifdef KORVEL_HAVE_TRUNCATE
        if (previousSize >= 0) (void)::truncate(path.c_str(), previousSize);
#endif
        ThrowWriteError(err, path);
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
