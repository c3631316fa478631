// The canvas's default text measurement: widths of a DejaVu-like sans-serif face in
// ems, character by character, which is what the SVG output names first. Good to a
// few per cent for labels of digits and words; exact measurement is the business of
// canvases that have the font at hand.

#include <cmath>
#include <cstdint>

#include "output/Plot.h"

namespace korvel {
namespace {

// One code point of UTF-8 text at `i`, advancing `i`; malformed bytes count alone.
std::uint32_t NextCodePoint(const std::string& text, std::size_t& i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    int extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
    if (i + extra >= text.size()) extra = 0;
    std::uint32_t code = extra == 0 ? lead : lead & (0x3F >> extra);
    for (int k = 1; k <= extra; ++k) code = (code << 6) | (byte(i + k) & 0x3F);
    i += 1 + extra;
    return code;
}

// Advance width of one character in ems.
double CharacterWidth(std::uint32_t c) {
    if (c >= '0' && c <= '9') return 0.636;
    switch (c) {
        case ' ':
        case '.':
        case ',':
        case ':':
        case ';':
        case '!':
        case '|':
        case '\'':
            return 0.318;
        case '-':
        case '(':
        case ')':
        case '[':
        case ']':
        case '/':
            return 0.37;
        case '+':
        case '=':
        case '<':
        case '>':
        case 0x00D7:  // multiplication sign
        case 0x2212:  // minus sign
            return 0.838;
        case 'i':
        case 'j':
        case 'l':
            return 0.278;
        case 'f':
        case 't':
        case 'r':
            return 0.39;
        case 'm':
            return 0.974;
        case 'w':
            return 0.818;
        case 'M':
        case 'W':
            return 0.9;
        case 'I':
            return 0.295;
        default:
            break;
    }
    if (c >= 'a' && c <= 'z') return 0.6;
    if (c >= 'A' && c <= 'Z') return 0.7;
    // Superscript digits and signs.
    if (c == 0x00B2 || c == 0x00B3 || c == 0x00B9 || (c >= 0x2070 && c <= 0x207F)) return 0.4;
    if (c < 0x80) return 0.5;
    return 0.65;  // Greek letters, the angstrom sign and the like
}

}  // namespace

int EstimatedTextWidth(const std::string& text, int size) {
    double ems = 0.0;
    for (std::size_t i = 0; i < text.size();) ems += CharacterWidth(NextCodePoint(text, i));
    return static_cast<int>(std::ceil(ems * size * 96.0 / 72.0));
}

int EstimatedTextHeight(int size) {
    return static_cast<int>(std::ceil(size * 96.0 / 72.0 * 1.17));
}

int PlotCanvas::TextWidth(const std::string& text, int size) const {
    return EstimatedTextWidth(text, size);
}

int PlotCanvas::TextHeight(int size) const { return EstimatedTextHeight(size); }

}  // namespace korvel
