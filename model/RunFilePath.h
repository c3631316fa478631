#pragma once
// Where the files a run names are looked for: beside its command file.

#include <string>

#include "model/RunSettings.h"

namespace korvel {

// The path to open for a file named in the run settings: a relative name is taken
// relative to the command file's folder, where the user keeps the run's files.
std::string RunFilePath(const RunSettings& settings, const std::string& name);

}  // namespace korvel
