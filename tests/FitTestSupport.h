#pragma once
// Small helpers for the fitting tests: a workspace whose simplex is filled by hand,
// and a temporary working folder.

#include <vector>

#include "TestFiles.h"
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

// Runs in a fresh temporary folder and returns to the previous one at the end.
class TemporaryDirectory {
  public:
    TemporaryDirectory() : previous_(fs::current_path()) { fs::current_path(folder_.Root()); }
    ~TemporaryDirectory() { fs::current_path(previous_); }
    const fs::path& Path() const { return folder_.Root(); }

  private:
    TempFolder folder_;
    fs::path previous_;
};

}  // namespace korvel::testing
