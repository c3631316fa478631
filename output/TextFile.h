#pragma once
// Reading and writing the program's text files without ever losing a good file.
// Every failure throws RunError with the file's message and the path.

#include <string>

namespace korvel {

// Whole contents of a file (throws "File not found." etc. with the path).
std::string ReadWholeFile(const std::string& path);
// Checks that `path` can be opened for reading (used for the limits file).
void CheckReadable(const std::string& path);
// Checks at the start of a run that `path` can be created or replaced, without
// truncating a file that already exists there.
void CheckCreatable(const std::string& path);
// Replaces `path` with `content`: written to a temporary file beside it, then
// renamed into place, so a failed write leaves the previous file intact.
void ReplaceFile(const std::string& path, const std::string& content);
// Appends `content` to `path`, creating it when missing.
void AppendToFile(const std::string& path, const std::string& content);
// True when both names refer to one existing file.
bool SameFile(const std::string& a, const std::string& b);
// Full path of `path` with its extension replaced by `extension` (".sml").
std::string WithExtension(const std::string& path, const std::string& extension);

}  // namespace korvel
