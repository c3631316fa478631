#pragma once
// The .inp command file: ten entries, one per line, each optionally preceded by
// comment lines starting with "#". Read from its text; the model it names is peeked
// at for its header and layer counts.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "input/ModelReader.h"
#include "model/RunSettings.h"

namespace korvel {

// What a command file gives a run.
struct CommandFileContents {
    // The settings the file was read over, its ten entries replaced, RepeatUnitFixed
    // false (only the dialog fixes the repeat unit) and CommandFileName its path.
    RunSettings Settings;
    // Of the model the file names: the dialog offers "Repeat Unit Length" only for a
    // model with a repeat unit.
    ModelPeek Model;
};

// The text of a file a reader asks for by its path.
using TextOfFile = std::function<std::string(const std::string& path)>;

// Reads the command file `path` from `text` over the settings `settings`. The model
// it names (a relative name taken from the command file's folder) is asked of
// `modelText` as soon as its entry is read, so that a missing or unreadable model is
// reported before a fault of a later entry; without `modelText` it is not peeked at
// and `Model` stays as constructed. Throws RunError naming the file and line:
// a text that is not a text, an entry missing or on an empty line, a maximum number
// of iterations above 65535; and whatever `modelText` and the peek throw.
CommandFileContents ParseCommandFile(const std::string& text, const std::string& path,
                                     const RunSettings& settings, const TextOfFile& modelText);

// An iteration count as the 16-bit counter holds it, from the file's entry or the
// dialog's field. Negative or unconvertible texts have no value (the caller's fallback
// applies); a count above 65535 would wrap (65536 to 0, ending every simplex run at
// once) and is refused naming `where`, also when it has more digits than any integer
// holds.
std::optional<std::uint16_t> ParseIterationCount(std::string_view text, const std::string& where);

}  // namespace korvel
