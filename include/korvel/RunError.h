#pragma once
// The one exception Korvel throws when a run cannot go on. `Message` is the program's
// own text, exactly as the user sees it ("File not found.", "Invalid numeric
// input", "Singular matrix."); `Where` adds the place: a file, a line, a parameter,
// a data point. The window shows both in its message box and keeps the program open;
// the command line prints them on stderr and exits with code 1; a library caller
// catches it. Public: it includes the standard library only.

#include <stdexcept>
#include <string>

namespace korvel {

class RunError : public std::runtime_error {
  public:
    explicit RunError(std::string message, std::string where = {})
        : std::runtime_error(where.empty() ? message : message + "\n" + where),
          message_(std::move(message)),
          where_(std::move(where)) {}

    const std::string& Message() const { return message_; }
    const std::string& Where() const { return where_; }

  private:
    std::string message_;
    std::string where_;
};

}  // namespace korvel
