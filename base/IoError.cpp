// Messages for failed file operations: the program's code table, and the mapping of
// the system's errno values onto those codes.

#include "base/IoError.h"

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "base/RunError.h"

namespace korvel {

std::string IoErrorMessage(int code) {
    switch (code) {
        case 2:
            return "File not found.";
        case 3:
            return "Path not found.";
        case 4:
            return "Too many open files.";
        case 5:
            return "File access denied.";
        case 6:
            return "Invalid file handle.";
        case 12:
            return "Invalid file access code.";
        case 15:
            return "Invalid drive number.";
        case 16:
            return "Cannot remove current directory.";
        case 17:
            return "Cannot rename across drives.";
        case 100:
            return "Disk read error.";
        case 101:
            return "Disk write error.";
        case 102:
            return "File not assigned.";
        case 103:
            return "File not open.";
        case 104:
            return "File not open for input.";
        case 105:
            return "File not open for output.";
        case 106:
            return "Invalid numeric format.";
        case 150:
            return "Disk is write-protected.";
        case 151:
            return "Unknown unit.";
        case 152:
            return "Drive not ready.";
        case 153:
            return "Unknown command.";
        case 154:
            return "CRC error in data.";
        case 155:
            return "Bad drive request structure length.";
        case 156:
            return "Disk seek error.";
        case 157:
            return "Unknown media type.";
        case 158:
            return "Sector not found.";
        case 159:
            return "Printer out of paper.";
        case 160:
            return "Device write fault.";
        case 161:
            return "Device read fault.";
        case 162:
            return "Hardware failure.";
        default:
            return "Unidentified error message = " + std::to_string(code) + ". See manual.";
    }
}

int IoCodeFromErrno(int err) {
    switch (err) {
        case ENOENT:
            return 2;
        case ENOTDIR:
        case ENAMETOOLONG:
        case ELOOP:
            return 3;
        case EMFILE:
        case ENFILE:
            return 4;
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR:
        case ETXTBSY:
        case EEXIST:
            return 5;
        case EBADF:
            return 6;
        case EINVAL:
            return 12;
        case EXDEV:
            return 17;
        case EIO:
            return 100;
        case ENOSPC:
        case EFBIG:
#ifdef EDQUOT
        case EDQUOT:
#endif
            return 101;
        case ENXIO:
        case ENODEV:
            return 152;
        default:
            return err;  // passes through; unknown numbers get the default message
    }
}

void ThrowFileError(int err, const std::string& path) {
    int code = IoCodeFromErrno(err);
    // A missing folder is reported as such, not as a missing file.
    if (err == ENOENT && !path.empty()) {
        std::error_code ec;
        const auto parent = std::filesystem::absolute(path, ec).parent_path();
        if (!ec && !parent.empty() && !std::filesystem::exists(parent, ec)) code = 3;
    }
    // "Path not found." alone would send the user looking for a missing folder.
    if (err == ELOOP)
        throw RunError(IoErrorMessage(code),
                       FileNameForMessage(path) + " (symbolic links that form a loop)");
    throw RunError(IoErrorMessage(code), FileNameForMessage(path));
}

std::string WriteErrorMessage(int err) {
    const int code = err != 0 ? IoCodeFromErrno(err) : 101;
    return IoErrorMessage(code == err ? 101 : code);
}

std::string FileNameForMessage(const std::string& path) {
    if (path.empty()) return "(no file name given)";
    // A blank or tab at either end is part of the name but invisible in a message.
    const auto isBlank = [](char c) { return c == ' ' || c == '\t'; };
    const std::size_t slash = path.find_last_of('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const bool blankAtStart = nameStart < path.size() && isBlank(path[nameStart]);
    if (isBlank(path.front()) || blankAtStart || isBlank(path.back()))
        return "'" + path + "' (the name begins or ends with a blank)";
    return path;
}

}  // namespace korvel
