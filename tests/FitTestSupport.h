#pragma once
// Small helpers for the fitting tests: a workspace whose simplex is filled by hand,
// and a temporary working directory.

#include <filesystem>
#include <string>
#include <vector>

#include "app/Workspace.h"

namespace korvel::testing {

// A workspace with the given vertices (angles) and no model behind them.
inline Workspace SimplexWorkspace(const std::vector<std::vector<double>>& vertices) {
    Workspace ws;
    ws.Free.FreeCount = static_cast<std::uint16_t>(vertices.empty() ? 0 : vertices[0].size());
    ws.Free.AllocateSimplex();
    ws.Free.Vertices = vertices;
    ws.Free.FreeFlags.assign(4 * ws.Free.FreeCount, false);
    for (int k = 0; k < ws.Free.FreeCount; ++k) ws.Free.FreeFlags[4 * k] = true;
    return ws;
}

// Runs in a fresh temporary directory and returns to the previous one at the end.
class TemporaryDirectory {
  public:
    TemporaryDirectory() : previous_(std::filesystem::current_path()) {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "korvel-test-XXXXXX").string();
        path_ = mkdtemp(pattern.data());
        std::filesystem::current_path(path_);
    }
    ~TemporaryDirectory() {
        std::filesystem::current_path(previous_);
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    const std::filesystem::path& Path() const { return path_; }

  private:
    std::filesystem::path previous_;
    std::filesystem::path path_;
};

inline std::string ReadText(const std::filesystem::path& path) {
    std::FILE* file = std::fopen(path.string().c_str(), "rb");
    if (!file) return "<missing>";
    std::string text;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, n);
    std::fclose(file);
    return text;
}

}  // namespace korvel::testing
