// The .inp command file read from its text: ten entries, one per line, each optionally
// preceded by comment lines starting with "#".

#include "input/CommandFileReader.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "base/NumberStream.h"
#include "base/RunError.h"
#include "model/RunFilePath.h"

namespace korvel {
namespace {

constexpr double kFileToleranceFallback = 1e-5;
constexpr long long kFileMaxIterationsFallback = 30000;
constexpr long long kLargestIterationCount = 65535;  // the iteration counter is 16 bits

const char* const kEntryNames[10] = {
    "data file name",  "mode letter",
    "scaling letter",  "uncertainty letter",
    "model file name", "limits file name",
    "tolerance",       "maximum number of iterations",
    "cut-off level",   "calculation mode letter",
};

// A command file saved in UTF-16, or binary data, would otherwise be read as lines of
// strange file names and letters; no name or entry of a command file holds a NUL.
void CheckIsText(const std::string& text, const std::string& path) {
    if (text.compare(0, 2, "\xFF\xFE") == 0 || text.compare(0, 2, "\xFE\xFF") == 0)
        throw RunError("Command file is not a text file.", path + " (it is in UTF-16)");
    const std::size_t nul = text.find('\0');
    if (nul != std::string::npos) {
        const auto line = 1 + std::count(text.begin(), text.begin() + static_cast<long>(nul), '\n');
        throw RunError("Command file is not a text file.",
                       path + ", line " + std::to_string(line) + " (it holds a NUL byte)");
    }
}

// The command file split into lines; LF, CR LF and a lone CR (as older editors on
// other systems write) each end a line, as in the number files.
class CommandFileLines {
  public:
    CommandFileLines(const std::string& text, std::string path) : path_(std::move(path)) {
        CheckIsText(text, path_);
        // A byte-order mark written by some editors is invisible to the user; skip it.
        std::size_t start = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
        while (start < text.size()) {
            std::size_t end = text.find_first_of("\r\n", start);
            if (end == std::string::npos) end = text.size();
            lines_.push_back(text.substr(start, end - start));
            const bool crLf = end + 1 < text.size() && text[end] == '\r' && text[end + 1] == '\n';
            start = end + (crLf ? 2 : 1);
        }
    }

    // The next entry line, after any comment lines. `entry` is 1-based.
    const std::string& Entry(int entry) {
        while (next_ < lines_.size() && !lines_[next_].empty() && lines_[next_][0] == '#') ++next_;
        const std::string name = kEntryNames[entry - 1];
        if (next_ >= lines_.size())
            throw RunError(
                "Command file ends before entry " + std::to_string(entry) + " (" + name + ").",
                path_);
        // An empty line would shift every later entry by one; refuse it.
        if (lines_[next_].empty())
            throw RunError("Empty line in command file where entry " + std::to_string(entry) +
                               " (" + name + ") was expected.",
                           path_ + ", line " + std::to_string(next_ + 1));
        return lines_[next_++];
    }

    // "<file>, line N" of the entry read last.
    std::string WhereLast() const { return path_ + ", line " + std::to_string(next_); }

  private:
    std::vector<std::string> lines_;
    std::size_t next_ = 0;
    std::string path_;
};

char UpperFirst(const std::string& line) {
    return static_cast<char>(std::toupper(static_cast<unsigned char>(line[0])));
}

std::string_view WithoutLeadingBlanks(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    return first == std::string_view::npos ? std::string_view{} : text.substr(first);
}

// A number entry: leading blanks skipped, anything after the number (trailing blanks
// included) makes the conversion fail.
double RealEntry(const std::string& line, double fallback) {
    return ParseReal(WithoutLeadingBlanks(line)).value_or(fallback);
}

}  // namespace

std::optional<std::uint16_t> ParseIterationCount(std::string_view text, const std::string& where) {
    const auto value = ParseInteger(text);
    std::string_view digits = text.substr(!text.empty() && text[0] == '+' ? 1 : 0);
    const bool allDigits =
        !digits.empty() && digits.find_first_not_of("0123456789") == std::string_view::npos;
    if ((value && *value > kLargestIterationCount) || (!value && allDigits))
        throw RunError(
            "Maximum number of iterations " + std::string(text) + " out of range (0 to 65535).",
            where);
    if (!value || *value < 0) return std::nullopt;
    return static_cast<std::uint16_t>(*value);
}

CommandFileContents ParseCommandFile(const std::string& text, const std::string& path,
                                     const RunSettings& settings, const TextOfFile& modelText) {
    CommandFileLines lines(text, path);
    CommandFileContents read;
    RunSettings& s = read.Settings;
    s = settings;
    s.CommandFileName = path;
    s.DataFileName = lines.Entry(1);
    s.FitMode = UpperFirst(lines.Entry(2)) == 'F';
    // The letter N says the computed curves are not to be scaled: the data are scaled.
    s.DataScaled = UpperFirst(lines.Entry(3)) == 'N';
    s.ErrorsFromFile = UpperFirst(lines.Entry(4)) == 'Y';
    s.ModelFileName = lines.Entry(5);

    if (modelText) {
        const std::string modelPath = RunFilePath(s, s.ModelFileName);
        read.Model = ParseModelPeek(modelText(modelPath), modelPath);
    }
    s.RepeatUnitFixed = false;

    s.LimitsFileName = lines.Entry(6);
    s.FitTolerance = RealEntry(lines.Entry(7), kFileToleranceFallback);
    const std::string& iterations = lines.Entry(8);
    s.MaxIterations = ParseIterationCount(WithoutLeadingBlanks(iterations),
                                          lines.WhereLast() + ": '" + iterations + "'")
                          .value_or(static_cast<std::uint16_t>(kFileMaxIterationsFallback));
    s.CutOffLevel = RealEntry(lines.Entry(9), 0.0);
    // Kept as read, whatever the letter; the dialog turns it into F, P or M.
    s.CalculationMode = UpperFirst(lines.Entry(10));
    return read;
}

}  // namespace korvel
