#pragma once
// Findings of the readers that do not stop a run: an input read as its format says,
// though probably not as its writer meant it. One line of text each, naming the file
// and the place; the run hands them to the window (RunInterface::ShowWarning).

#include <string>
#include <utility>
#include <vector>

namespace korvel {

struct ReadWarnings {
    std::vector<std::string> Texts;

    void Add(std::string text) { Texts.push_back(std::move(text)); }
};

}  // namespace korvel
