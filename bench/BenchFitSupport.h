#pragma once
// What the whole-fit benchmarks share: a run interface that ends the search after a
// number of simplex iterations, so that every run does the same work, and writing the
// fit's files.

#include <filesystem>
#include <fstream>
#include <string>

#include "app/SilentRunInterface.h"
#include "model/LayerModel.h"

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

// The truth of the whole-fit rows: 40 periods of a W/Si-like bilayer on Si (the
// bundled multilayer example, roughened), at `wavelength` angstrom.
inline LayerModel MultilayerTruth(double wavelength) {
    LayerModel model;
    model.Header.Wavelength = wavelength;
    model.WaveNumber = 2.0 * 3.141592653589793 / wavelength;
    model.Counts.RepeatUnitLayerCount = 2;
    model.Counts.RepeatCount = 40;
    model.LayerCount = 3;
    model.ParameterCount = 12;
    model.Allocate();
    const double values[12] = {12.0,     4.564e-5, 4.059e-6, 3.5,      28.0,     7.578e-6,
                               1.731e-7, 4.0,      0.0,      7.578e-6, 1.731e-7, 3.0};
    for (int j = 1; j <= 12; ++j) model.SetValue(j, values[j - 1]);
    return model;
}

}  // namespace korvel::bench
