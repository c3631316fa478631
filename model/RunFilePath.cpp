// Paths of the files a run names, taken from the command file's folder.

#include "model/RunFilePath.h"

#include <filesystem>

namespace korvel {

std::string RunFilePath(const RunSettings& settings, const std::string& name) {
    namespace fs = std::filesystem;
    const fs::path file(name);
    if (file.empty() || file.is_absolute()) return name;
    const fs::path folder = fs::path(settings.CommandFileName).parent_path();
    return folder.empty() ? name : (folder / file).string();
}

}  // namespace korvel
