#pragma once
// Reading and writing the program's text files without ever losing a good file.
// Every failure throws RunError with the file's message and the path.

#include <cstddef>
#include <string>
#include <vector>

namespace korvel {

// Largest file ReadWholeFile takes: far above any model, limits, data or command file.
constexpr std::size_t kLargestReadableFile = std::size_t{256} * 1024 * 1024;

// Whole contents of a file (throws "File not found." etc. with the path, and "File too
// large: ..." beyond kLargestReadableFile).
std::string ReadWholeFile(const std::string& path);
// Checks that `path` can be opened for reading (used for the limits file).
void CheckReadable(const std::string& path);
// Checks at the start of a run that `path` can be created or replaced, without
// truncating a file that already exists there and without opening anything that is
// not a regular file: what is there (after following links) must be a writable
// regular file or nothing, and its folder must take a temporary file.
void CheckCreatable(const std::string& path);
// Checks that what `path` leads to, when it exists, may be replaced: a regular file
// that can be opened for writing. A device, a named pipe or a socket is refused.
void CheckReplaceable(const std::string& path);
// Checks at the start of a run a further file it will write (a plot): creatable, and
// none of the run's `inputs` or `results`. Messages call it by `what`.
void CheckExtraOutput(const std::string& path, const std::vector<std::string>& inputs,
                      const std::vector<std::string>& results,
                      const std::string& what = "plot file");
// Replaces `path` with `content`: written to a temporary file beside it, then
// renamed into place, so a failed write leaves the previous file intact. Owner,
// group and permissions of the replaced file are kept.
void ReplaceFile(const std::string& path, const std::string& content);
// Appends `content` to `path`, creating it when missing. A failed append leaves the
// file as it was before.
void AppendToFile(const std::string& path, const std::string& content);
// True when both names refer to one existing file.
bool SameFile(const std::string& a, const std::string& b);
// Full path of `path` with its extension replaced by `extension` (".sml").
std::string WithExtension(const std::string& path, const std::string& extension);
// The file a write to `path` reaches: symbolic links at the end of the path followed
// (a link to a file that does not exist yet leads to that file's name). Throws
// "Path not found." naming the loop when the links never end in a file.
std::string ResolvedTarget(const std::string& path);

}  // namespace korvel
