#pragma once
// What every fuzz target shares: a scratch folder in memory (or the temporary folder)
// where the fuzzed bytes become the files a run opens, and a run interface that
// answers every dialog without a window.
//
// A target either finishes or throws RunError; anything else (another exception, a
// sanitizer report, a non-finite value left in the records) is a finding.

#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <span>
#include <string>

#include "app/SilentRunInterface.h"

namespace korvel::fuzzing {

inline const std::filesystem::path& ScratchFolder() {
    static const std::filesystem::path folder = [] {
        namespace fs = std::filesystem;
        const fs::path base =
            fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
        fs::path made = base / ("korvel-fuzz-" + std::to_string(::getpid()));
        fs::create_directories(made);
        std::atexit([] {
            std::error_code ec;
            fs::remove_all(ScratchFolder(), ec);
        });
        return made;
    }();
    return folder;
}

inline std::string ScratchPath(const std::string& name) {
    return (ScratchFolder() / name).string();
}

inline std::string WriteScratch(const std::string& name, std::string_view content) {
    const std::string path = ScratchPath(name);
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(content.data(), static_cast<std::streamsize>(content.size()));
    return path;
}

inline std::string_view AsText(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// Splits "first<separator>second"; without a separator the whole input is `first`.
inline std::pair<std::string_view, std::string_view> SplitAt(std::string_view text,
                                                             std::string_view separator) {
    const auto at = text.find(separator);
    if (at == std::string_view::npos) return {text, {}};
    return {text.substr(0, at), text.substr(at + separator.size())};
}

// A finding that is no crash by itself: stop here so the fuzzer keeps the input.
inline void Require(bool condition) {
    if (!condition) __builtin_trap();
}

inline void RequireFinite(std::span<const double> values) {
    for (double v : values) Require(std::isfinite(v));
}

// Every dialog closes at once with what its record holds; nothing is drawn.
class SilentInterface : public SilentRunInterface {
  public:
    int WeightingItem = 1;
    std::string WeightingText = "0.05";

    void ShowWeightingDialog(WeightingDialogRecord& record) override {
        record.NormaRadioGroup = WeightingItem;
        record.FracEdit = WeightingText;
    }
};

}  // namespace korvel::fuzzing
