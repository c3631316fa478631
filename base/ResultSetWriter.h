#pragma once
// The result files of one run (the .bst, .pct and .loc of a fit; the .sml of a
// simulation), replaced together: every file is first prepared completely in a
// temporary file beside it, then all are renamed into place in quick succession, so
// a failure before the renames replaces nothing and the files never come from two
// different runs. For the whole run the writer holds an exclusive advisory lock on a
// lock file beside each result, so a second run on the same results is refused at
// once instead of interleaving with the first.
//
// Temporary files are named "korvel-<16 hex digits>-<6 characters>.tmp" and lock
// files "korvel-<16 hex digits>.lock", the hex digits naming the result file: short
// and fixed in length, so a result name of up to 255 bytes still has them, and
// recognisable, so a writer holding the lock removes the temporary files that a run
// killed earlier left of its results. A failing run removes its own.

#include <string>
#include <vector>

namespace korvel {

// When a commit waits for its files to reach the disk. Either way the renames are
// atomic: a run killed at any moment leaves the old files or the new ones. Now: each
// commit flushes its files and their folders (a few milliseconds per file). Later: the
// caller flushes a whole series of commits at once with FlushFileSystemOf, before it
// records that they were made (a batch of fits writing hundreds of result sets).
enum class FlushToDisk { Now, Later };

// Waits until everything written on the file system holding `folder` is on the disk.
// Throws RunError ("Disk write error." and the like) naming the folder when the system
// reports a write that failed.
void FlushFileSystemOf(const std::string& folder);

// A new name for a temporary file of `target` (links already followed), in its folder.
std::string TemporaryNameFor(const std::string& target);

class ResultSetWriter {
  public:
    // Locks every target (throws RunError "Another run is writing ..." when a lock is
    // held elsewhere) and removes their stale temporary files. The targets are checked
    // beforehand with CheckCreatable; they are renamed into place in this order.
    explicit ResultSetWriter(const std::vector<std::string>& targets,
                             FlushToDisk flush = FlushToDisk::Now);
    // Removes every temporary file not renamed into place, then releases the locks.
    ~ResultSetWriter();
    ResultSetWriter(const ResultSetWriter&) = delete;
    ResultSetWriter& operator=(const ResultSetWriter&) = delete;
    // The locks and what is prepared go along; the writer moved from holds nothing.
    ResultSetWriter(ResultSetWriter&& other) noexcept;
    ResultSetWriter& operator=(ResultSetWriter&&) = delete;

    // Prepares `content` as the new contents of `target`, replacing what was prepared.
    void Write(const std::string& target, const std::string& content);
    // Adds `content` to what is prepared for `target`; a failed append prepares what
    // was there before.
    void Append(const std::string& target, const std::string& content);
    // Puts every prepared file into place, keeping owner, group and permissions of the
    // files replaced. Everything that can fail is done before the first rename.
    void Commit();

  private:
    struct Entry {
        std::string Target;     // as the caller names it; messages name this
        std::string Resolved;   // links followed: the file actually replaced
        std::string Temporary;  // what is prepared; empty when nothing is
        std::string LockPath;
        int LockFd = -1;
    };

    FlushToDisk flush_ = FlushToDisk::Now;

    Entry& Find(const std::string& target);
    void Lock(Entry& entry);
    void Release() noexcept;

    std::vector<Entry> entries_;
};

}  // namespace korvel
