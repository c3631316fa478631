#pragma once
// Free-format numbers of the program's input files (model, limits, data): any
// character with a code of 32 or less separates, Ctrl+Z (26) ends the file, and a
// number read at the end of the file is 0. A token that is not a number stops the
// run with "Invalid numeric input", the file, the line and the token.

#include <optional>
#include <string>
#include <string_view>

namespace korvel {

// A whole token as a finite real, C-locale syntax with an optional sign ("1", "-2e-5",
// "1.5E+003", ".5"). No value for anything else, "nan" and "inf" included. A value
// too small for a double reads as 0; one too large for it is no number.
std::optional<double> ParseReal(std::string_view token);
// A whole token as a decimal integer with an optional sign.
std::optional<long long> ParseInteger(std::string_view token);
// ParseReal after dropping blanks and tabs at both ends (texts typed into edit fields).
std::optional<double> ParseRealTrimmed(std::string_view text);
std::optional<long long> ParseIntegerTrimmed(std::string_view text);

class NumberStream {
  public:
    // `fileLabel` names the file in messages. The stream keeps its own copy of `text`.
    NumberStream(std::string text, std::string fileLabel);

    // True when only separators are left before the end of the file.
    bool AtEnd();
    // The next number; 0 at the end of the file.
    double ReadReal();
    long long ReadInteger();

    // How many numbers came from the file itself (reads at its end not counted).
    int NumbersRead() const { return numbersRead_; }
    // Line (1-based) and text of the last token read; the token is empty after a
    // read at the end of the file.
    int Line() const { return tokenLine_; }
    const std::string& Token() const { return token_; }
    const std::string& FileLabel() const { return fileLabel_; }
    // "<file>, line N: '<token>'" for the last token read.
    std::string Where() const;

  private:
    // Moves to the next token and returns false at the end of the file.
    bool NextToken();
    [[noreturn]] void FailInvalid() const;

    std::string text_;
    std::size_t position_ = 0;
    int line_ = 1;
    int tokenLine_ = 0;
    int numbersRead_ = 0;
    std::string token_;
    std::string fileLabel_;
};

}  // namespace korvel
