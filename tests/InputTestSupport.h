#pragma once
// A fresh temporary folder per test for the reader and file tests, and a run
// interface whose weighting dialog answers from a script.

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/RunInterface.h"

namespace korvel::testing {

class TempFolder {
  public:
    TempFolder() {
        static std::atomic<int> counter{0};
        const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
        path_ = std::filesystem::temp_directory_path() /
                ("korvel-input-" + std::to_string(ticks) + "-" + std::to_string(counter++));
        std::filesystem::create_directories(path_);
    }
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(path_, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    std::string Path(const std::string& name) const { return (path_ / name).string(); }
    const std::filesystem::path& Root() const { return path_; }

    // Writes `content` byte for byte and returns the file's path.
    std::string Write(const std::string& name, const std::string& content) const {
        const auto file = path_ / name;
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << content;
        return file.string();
    }

    std::string Read(const std::string& name) const {
        std::ifstream in(path_ / name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

  private:
    std::filesystem::path path_;
};

// Every window interaction is a no-op except the weighting dialog, which takes the
// scripted answer and counts how often it was shown.
class ScriptedWeightingInterface : public RunInterface {
  public:
    int WeightingItem = 1;
    std::string WeightingText;
    int WeightingDialogsShown = 0;

    void ShowWeightingDialog(WeightingDialogRecord& record) override {
        ++WeightingDialogsShown;
        record.NormaRadioGroup = WeightingItem;
        record.FracEdit = WeightingText;
    }
    void ShowCommandFileDialog(CommandFileDialogRecord&) override {}
    bool AskNewtonStep() override { return false; }
    bool AskUncertainty() override { return false; }
    void ShowMessage(const std::string&) override {}
    void ShowSimplexInitialization(bool) override {}
    void SetSimplexInitField(SimplexInitField, const std::string&) override {}
    void ShowFittingInformation(bool) override {}
    void SetFittingField(FittingField, const std::string&) override {}
    void SetTmpMessage(const std::string&, TmpMessageStyle) override {}
    void SetDrawEnabled(bool) override {}
    void ShowPlotWindow() override {}
    void DrawPlot(const CurveArrays&) override {}
    void ProcessPendingEvents() override {}
    int LastKey() const override { return 0; }
    void ClearLastKey() override {}
};

}  // namespace korvel::testing
