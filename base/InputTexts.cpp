// Input texts kept for the run when their file gives its contents only once.

#include "base/InputTexts.h"

#include <sys/stat.h>

#include "base/TextFile.h"

namespace korvel {

namespace {

// Anything but a regular file or a folder may give its contents only once. The test
// never opens the file: opening a named pipe waits for its writer.
bool ReadableOnce(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode);
}

}  // namespace

std::string InputTexts::Read(const std::string& path) {
    if (const auto kept = texts_.find(path); kept != texts_.end()) return kept->second;
    if (!ReadableOnce(path)) return ReadWholeFile(path);
    std::string text = ReadWholeFile(path);
    texts_[path] = text;
    return text;
}

void InputTexts::CheckReadable(const std::string& path) {
    if (texts_.count(path) != 0) return;
    if (ReadableOnce(path))
        Read(path);
    else
        korvel::CheckReadable(path);
}

}  // namespace korvel
