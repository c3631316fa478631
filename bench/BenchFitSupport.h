#pragma once
// What the whole-fit benchmarks share: a run interface that ends the search after a
// number of simplex iterations, so that every run does the same work, and writing the
// fit's files.

#include <filesystem>
#include <fstream>
#include <string>

#include "app/SilentRunInterface.h"

namespace korvel::bench {

// Ends the search (Ctrl+Q) after a number of simplex iterations.
class StopAfterIterations : public SilentRunInterface {
  public:
    explicit StopAfterIterations(int iterations) : stopAt_(iterations) {}
    void ProcessPendingEvents() override {
        if (++iterations_ >= stopAt_) key_ = 17;
    }
    int LastKey() const override { return key_; }
    void ClearLastKey() override { key_ = 0; }

  private:
    int stopAt_;
    int iterations_ = 0;
    int key_ = 0;
};

inline void WriteFile(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

}  // namespace korvel::bench
