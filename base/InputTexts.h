#pragma once
// The texts of a run's input files that give their contents only once: a named pipe,
// a terminal or /dev/stdin. A run reads its model up to three times (the peek of the
// command file, the header for Qz data, the whole model) and checks its limits file
// before reading it; from such a file a second reading would wait for a writer that
// has gone, or find nothing. The first reading is kept here and every later one is
// taken from it. Regular files are read afresh each time.

#include <map>
#include <string>

namespace korvel {

class InputTexts {
  public:
    // The whole file, as ReadWholeFile gives it.
    std::string Read(const std::string& path);
    // CheckReadable, except that a file readable once is read (and kept) instead.
    void CheckReadable(const std::string& path);
    // Forgets everything read; each run starts with this.
    void Clear() { texts_.clear(); }

  private:
    std::map<std::string, std::string> texts_;
};

}  // namespace korvel
