#pragma once
// The YAML of a data file's '#' header (the ORSO text format), read as far as a reader
// of the data needs it: block mappings and sequences by indentation (a sequence may
// stand at its key's indentation), flow mappings {a: b} and sequences [a, b] (also over
// several lines), plain and quoted scalars, comments. Block scalars (| and >), anchors
// and whatever else it does not understand are passed over, never fatal: a header may
// carry anything, and the reader needs a few of its keys.

#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace korvel {

struct HeaderNode {
    enum class Kind { Null, Scalar, Map, List };
    Kind Type = Kind::Null;
    std::string Text;                                     // a scalar's text, unquoted
    std::vector<std::pair<std::string, HeaderNode>> Map;  // in the order written
    std::vector<HeaderNode> List;
    int Line = 0;  // line of the file where the node starts

    // The value under `key` of a map (the first, should a key repeat); nullptr when this
    // is no map, the key is absent or its value is null.
    const HeaderNode* Get(std::string_view key) const;
    // The same along a path of keys.
    const HeaderNode* Get(std::initializer_list<std::string_view> path) const;
    // A scalar's text; empty for anything else and for YAML's nulls ("null", "~").
    std::string ScalarText() const;
};

// One header line of the file: its text after the '#' marker and the one blank after it.
struct HeaderLine {
    std::string Text;
    int Line = 0;
};

HeaderNode ParseHeaderYaml(const std::vector<HeaderLine>& lines);

}  // namespace korvel
