#pragma once
// Turns the code of a failed file operation into the program's message.

#include <string>

namespace korvel {

// "File not found." for 2, ... ; any other code gives
// "Unidentified error message = <code>. See manual."
std::string IoErrorMessage(int code);
// Maps an errno value of a failed open or create onto the codes above (ENOENT 2,
// EACCES/EROFS 5, ...).
int IoCodeFromErrno(int err);
// The file name as a message shows it: quoted, with a remark, when a blank at either end
// would otherwise be invisible; "(no file name given)" for an empty name.
std::string FileNameForMessage(const std::string& path);
// Throws RunError(IoErrorMessage(code of err), FileNameForMessage(path)); a loop of
// symbolic links is named as such after the path.
[[noreturn]] void ThrowFileError(int err, const std::string& path);
// Message for a failed write, flush or close: the table's message when the errno maps
// onto one of its codes, "Disk write error." otherwise (a broken pipe, say).
std::string WriteErrorMessage(int err);

}  // namespace korvel
