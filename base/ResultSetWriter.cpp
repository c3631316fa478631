// Replacing a run's result files together under an advisory lock; see the header for
// the naming of temporary and lock files.

#include "base/ResultSetWriter.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <random>
#include <set>
#include <stdexcept>
#include <system_error>

#include "base/RunError.h"
#include "base/IoError.h"
#include "base/TextFile.h"

namespace korvel {
namespace fs = std::filesystem;

namespace {

constexpr const char* kPrefix = "korvel-";
constexpr const char* kTemporarySuffix = ".tmp";
constexpr std::size_t kKeyLength = 16;
constexpr std::size_t kUniqueLength = 6;

std::string FolderOf(const std::string& target) {
    const fs::path folder = fs::path(target).parent_path();
    return folder.empty() ? std::string(".") : folder.string();
}

// 64-bit FNV-1a of the result's file name: the same name gives the same key in every
// run, so a later run finds what an earlier one left.
std::string KeyOf(const std::string& target) {
    std::uint64_t hash = 14695981039346656037ull;
    for (const unsigned char c : fs::path(target).filename().string()) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    static const char kDigits[] = "0123456789abcdef";
    std::string key(kKeyLength, '0');
    for (std::size_t i = kKeyLength; i-- > 0; hash >>= 4) key[i] = kDigits[hash & 15];
    return key;
}

std::string LockNameFor(const std::string& target) {
    return (fs::path(FolderOf(target)) / (kPrefix + KeyOf(target) + ".lock")).string();
}

bool IsTemporaryOf(const std::string& name, const std::string& key) {
    const std::string start = kPrefix + key + "-";
    const std::string end = kTemporarySuffix;
    return name.size() == start.size() + kUniqueLength + end.size() &&
           name.compare(0, start.size(), start) == 0 &&
           name.compare(name.size() - end.size(), end.size(), end) == 0;
}

// The writers of these files are gone: every live writer holds the lock we now hold.
void RemoveStaleTemporaries(const std::string& target) {
    const std::string key = KeyOf(target);
    std::error_code ec;
    std::vector<fs::path> stale;
    for (fs::directory_iterator it(FolderOf(target), ec), end; !ec && it != end; it.increment(ec))
        if (IsTemporaryOf(it->path().filename().string(), key)) stale.push_back(it->path());
    for (const fs::path& file : stale) ::unlink(file.c_str());
}

int WriteAll(int fd, const std::string& content) {
    std::size_t done = 0;
    while (done < content.size()) {
        const ssize_t written = ::write(fd, content.data() + done, content.size() - done);
        if (written < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        done += static_cast<std::size_t>(written);
    }
    return 0;
}

// Flushes a prepared file to the disk; 0 or the errno. Some file systems cannot sync
// (EINVAL); that is no failure of the write.
int SyncFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno;
    int err = 0;
    if (::fsync(fd) != 0 && errno != EINVAL) err = errno;
    ::close(fd);
    return err;
}

void SyncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    (void)::fsync(fd);
    ::close(fd);
}

}  // namespace

std::string TemporaryNameFor(const std::string& target) {
    static const char kCharacters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device random;
    std::uniform_int_distribution<int> pick(0, static_cast<int>(sizeof kCharacters) - 2);
    std::string unique(kUniqueLength, 'a');
    for (char& c : unique) c = kCharacters[pick(random)];
    return (fs::path(FolderOf(target)) /
            (kPrefix + KeyOf(target) + "-" + unique + kTemporarySuffix))
        .string();
}

void FlushFileSystemOf(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) ThrowFileError(errno, folder);
    // syncfs reports a write of the file system that failed since this descriptor was
    // opened, or since the last report; the files of the caller's series were all
    // renamed into place before, through descriptors of their own.
    const int err = ::syncfs(fd) == 0 ? 0 : errno;
    ::close(fd);
    if (err != 0) throw RunError(WriteErrorMessage(err), folder);
}

ResultSetWriter::ResultSetWriter(const std::vector<std::string>& targets, FlushToDisk flush)
    : flush_(flush) {
    try {
        for (const std::string& target : targets) {
            Entry entry;
            entry.Target = target;
            entry.Resolved = ResolvedTarget(target);
            entry.LockPath = LockNameFor(entry.Resolved);
            entries_.push_back(std::move(entry));
        }
        for (Entry& entry : entries_) Lock(entry);
        for (const Entry& entry : entries_)
            if (entry.LockFd >= 0) RemoveStaleTemporaries(entry.Resolved);
    } catch (...) {
        Release();
        throw;
    }
}

ResultSetWriter::ResultSetWriter(ResultSetWriter&& other) noexcept
    : flush_(other.flush_), entries_(std::move(other.entries_)) {
    other.entries_.clear();
}

ResultSetWriter::~ResultSetWriter() { Release(); }

void ResultSetWriter::Lock(Entry& entry) {
    // The last holder removes the lock file while it still holds the lock; whoever
    // opened that file meanwhile sees, once it holds the lock, that the name now leads
    // elsewhere, and starts again.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const int fd = ::open(entry.LockPath.c_str(),
                              O_RDONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0666);
        if (fd < 0) ThrowFileError(errno, entry.Target);
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int err = errno;
            ::close(fd);
            if (err == EWOULDBLOCK)
                throw RunError(
                    "Another run is writing this result file; try again when it has ended.",
                    FileNameForMessage(entry.Target));
            // A file system without locks: the run goes ahead unguarded, as it always did,
            // and leaves any temporary files alone.
            if (err == ENOLCK || err == EOPNOTSUPP || err == EINVAL) return;
            ThrowFileError(err, entry.Target);
        }
        struct stat held {
        }, named{};
        if (::fstat(fd, &held) == 0 && ::stat(entry.LockPath.c_str(), &named) == 0 &&
            held.st_dev == named.st_dev && held.st_ino == named.st_ino) {
            entry.LockFd = fd;
            return;
        }
        ::close(fd);
    }
    throw RunError("Another run is writing this result file; try again when it has ended.",
                   FileNameForMessage(entry.Target));
}

void ResultSetWriter::Release() noexcept {
    for (Entry& entry : entries_) {
        if (!entry.Temporary.empty()) ::unlink(entry.Temporary.c_str());
        entry.Temporary.clear();
    }
    for (Entry& entry : entries_) {
        if (entry.LockFd < 0) continue;
        ::unlink(entry.LockPath.c_str());
        ::close(entry.LockFd);
        entry.LockFd = -1;
    }
}

ResultSetWriter::Entry& ResultSetWriter::Find(const std::string& target) {
    for (Entry& entry : entries_)
        if (entry.Target == target) return entry;
    throw std::logic_error("not a file of this result set: " + target);
}

void ResultSetWriter::Write(const std::string& target, const std::string& content) {
    Entry& entry = Find(target);
    CheckReplaceable(entry.Target);

    std::string temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporary = TemporaryNameFor(entry.Resolved);
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) ThrowFileError(errno, entry.Target);
    }
    if (fd < 0) ThrowFileError(EEXIST, entry.Target);

    int err = WriteAll(fd, content);
    if (::close(fd) != 0 && err == 0) err = errno;
    if (err != 0) {
        ::unlink(temporary.c_str());
        throw RunError(WriteErrorMessage(err), FileNameForMessage(entry.Target));
    }
    if (!entry.Temporary.empty()) ::unlink(entry.Temporary.c_str());
    entry.Temporary = temporary;
}

void ResultSetWriter::Append(const std::string& target, const std::string& content) {
    Entry& entry = Find(target);
    if (entry.Temporary.empty()) {
        Write(target, content);
        return;
    }
    try {
        AppendToFile(entry.Temporary, content);
    } catch (const RunError& error) {
        throw RunError(error.Message(), FileNameForMessage(entry.Target));
    }
}

void ResultSetWriter::Commit() {
    for (Entry& entry : entries_) {
        if (entry.Temporary.empty()) continue;
        if (const int err = flush_ == FlushToDisk::Now ? SyncFile(entry.Temporary) : 0; err != 0)
            throw RunError(WriteErrorMessage(err), FileNameForMessage(entry.Target));
        CheckReplaceable(entry.Target);
        struct stat replaced {};
        if (::stat(entry.Resolved.c_str(), &replaced) == 0) {
            // As root, a user's result would otherwise become root's. Ownership first:
            // changing it clears the set-user-ID bits that the mode then restores.
            if (::chown(entry.Temporary.c_str(), replaced.st_uid, replaced.st_gid) != 0)
                (void)::chown(entry.Temporary.c_str(), static_cast<uid_t>(-1), replaced.st_gid);
            (void)::chmod(entry.Temporary.c_str(), replaced.st_mode & 07777);
        }
    }
    std::set<std::string> folders;
    for (Entry& entry : entries_) {
        if (entry.Temporary.empty()) continue;
        if (::rename(entry.Temporary.c_str(), entry.Resolved.c_str()) != 0)
            ThrowFileError(errno, entry.Target);
        entry.Temporary.clear();
        folders.insert(FolderOf(entry.Resolved));
    }
    // The renames themselves reach the disk only with their folder.
    if (flush_ == FlushToDisk::Now)
        for (const std::string& folder : folders) SyncFolder(folder);
}

}  // namespace korvel
