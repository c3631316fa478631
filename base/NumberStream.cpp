// Free-format number reading shared by the model, limits and data readers, and the
// strict conversions of the command file and the dialogs' edit fields.

#include "base/NumberStream.h"

#include <charconv>
#include <cmath>
#include <system_error>

#include "base/RunError.h"

namespace korvel {
namespace {

constexpr char kCtrlZ = 26;
constexpr std::size_t kLongestTokenShown = 40;

bool IsSeparator(char c) { return static_cast<unsigned char>(c) <= 32 && c != kCtrlZ; }

// from_chars takes no "+", so it is dropped here; "+-1" stays invalid.
std::string_view WithoutPlus(std::string_view token) {
    if (token.size() > 1 && token[0] == '+' && token[1] != '-' && token[1] != '+')
        return token.substr(1);
    return token;
}

std::string_view Trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

}  // namespace

std::optional<double> ParseReal(std::string_view token) {
    token = WithoutPlus(token);
    if (token.empty()) return std::nullopt;
    double value = 0.0;
    const auto [end, ec] = std::from_chars(token.data(), token.data() + token.size(), value,
                                           std::chars_format::general);
    if (end != token.data() + token.size()) return std::nullopt;
    if (ec == std::errc::result_out_of_range) {
        // Underflow is a value of 0 for all practical purposes; overflow is no number.
        const auto e = token.find_first_of("eE");
        if (e != std::string_view::npos && e + 1 < token.size() && token[e + 1] == '-')
            return token[0] == '-' ? -0.0 : 0.0;
        return std::nullopt;
    }
    if (ec != std::errc() || !std::isfinite(value)) return std::nullopt;
    return value;
}

std::optional<long long> ParseInteger(std::string_view token) {
    token = WithoutPlus(token);
    if (token.empty()) return std::nullopt;
    long long value = 0;
    const auto [end, ec] = std::from_chars(token.data(), token.data() + token.size(), value);
    if (ec != std::errc() || end != token.data() + token.size()) return std::nullopt;
    return value;
}

std::optional<double> ParseRealTrimmed(std::string_view text) { return ParseReal(Trimmed(text)); }

std::optional<long long> ParseIntegerTrimmed(std::string_view text) {
    return ParseInteger(Trimmed(text));
}

NumberStream::NumberStream(std::string text, std::string fileLabel)
    : text_(std::move(text)), fileLabel_(std::move(fileLabel)) {
    // A byte-order mark written by some editors is invisible to the user; skip it.
    if (text_.substr(0, 3) == "\xEF\xBB\xBF") position_ = 3;
}

bool NumberStream::AtEnd() {
    while (position_ < text_.size() && IsSeparator(text_[position_])) {
        const char c = text_[position_++];
        // LF, CR LF and a lone CR each end one line.
        if (c == '\n' || (c == '\r' && (position_ >= text_.size() || text_[position_] != '\n')))
            ++line_;
    }
    return position_ >= text_.size() || text_[position_] == kCtrlZ;
}

bool NumberStream::NextToken() {
    if (AtEnd()) {
        token_.clear();
        tokenLine_ = line_;
        return false;
    }
    const std::size_t start = position_;
    while (position_ < text_.size() && !IsSeparator(text_[position_]) && text_[position_] != kCtrlZ)
        ++position_;
    token_.assign(text_.substr(start, position_ - start));
    tokenLine_ = line_;
    ++numbersRead_;
    return true;
}

double NumberStream::ReadReal() {
    if (!NextToken()) return 0.0;
    const auto value = ParseReal(token_);
    if (!value) FailInvalid();
    return *value;
}

long long NumberStream::ReadInteger() {
    if (!NextToken()) return 0;
    const auto value = ParseInteger(token_);
    if (!value) FailInvalid();
    return *value;
}

std::string NumberStream::Where() const {
    std::string shown =
        token_.size() > kLongestTokenShown ? token_.substr(0, kLongestTokenShown) + "..." : token_;
    return fileLabel_ + ", line " + std::to_string(tokenLine_) + ": '" + shown + "'";
}

void NumberStream::FailInvalid() const { throw RunError("Invalid numeric input", Where()); }

}  // namespace korvel
