// A forgiving reader of the YAML subset found in data-file headers. Lines it cannot
// place are skipped; a flow collection left open takes the following lines until it
// closes or the header ends.

#include "input/HeaderYaml.h"

#include <optional>

namespace korvel {
namespace {

// Collections nested deeper than this are passed over: a header has a handful of levels,
// and a hostile one of thousands ("[[[[..." or "- - - -...") must not exhaust the stack
// of a reader that descends one call per level.
constexpr int kDeepestNesting = 64;

struct Row {
    int Indent = 0;
    std::string Content;  // without indentation, comment and trailing blanks
    int Line = 0;
};

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

HeaderNode NullAt(int line) {
    HeaderNode node;
    node.Line = line;
    return node;
}

std::string_view TrimmedRight(std::string_view s) {
    while (!s.empty() && (IsBlank(s.back()) || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

std::string_view Trimmed(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    return TrimmedRight(s);
}

// The index of the quote that closes the one at `open` ('' stands for ' inside single
// quotes, \" for " inside double ones); the text's end when none does.
std::size_t ClosingQuote(std::string_view s, std::size_t open) {
    const char quote = s[open];
    for (std::size_t i = open + 1; i < s.size(); ++i) {
        if (quote == '"' && s[i] == '\\') {
            ++i;
        } else if (s[i] == quote) {
            if (quote == '\'' && i + 1 < s.size() && s[i + 1] == '\'') {
                ++i;
                continue;
            }
            return i;
        }
    }
    return s.size();
}

// A '#' at the start or after a blank, outside quotes, begins a comment. A quote opens
// a quoted scalar only where one may begin (not the apostrophe in "model's").
std::string_view WithoutComment(std::string_view s) {
    for (std::size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '\'' || c == '"') {
            if (i == 0 || IsBlank(s[i - 1]) || s[i - 1] == '{' || s[i - 1] == '[' ||
                s[i - 1] == ',' || s[i - 1] == ':')
                i = ClosingQuote(s, i);
        } else if (c == '#' && (i == 0 || IsBlank(s[i - 1]))) {
            return TrimmedRight(s.substr(0, i));
        }
    }
    return TrimmedRight(s);
}

std::vector<Row> RowsOf(const std::vector<HeaderLine>& lines) {
    std::vector<Row> rows;
    for (const HeaderLine& line : lines) {
        std::string_view text = line.Text;
        int indent = 0;
        while (!text.empty() && IsBlank(text.front())) {
            ++indent;
            text.remove_prefix(1);
        }
        const std::string_view content = WithoutComment(text);
        if (content.empty()) continue;
        rows.push_back({indent, std::string(content), line.Line});
    }
    return rows;
}

bool IsSequenceEntry(std::string_view content) {
    return !content.empty() && content[0] == '-' && (content.size() == 1 || IsBlank(content[1]));
}

std::string Unquoted(std::string_view s) {
    s = Trimmed(s);
    if (s.size() >= 2 && (s.front() == '\'' || s.front() == '"') && s.back() == s.front()) {
        const char quote = s.front();
        s = s.substr(1, s.size() - 2);
        std::string text;
        for (std::size_t i = 0; i < s.size(); ++i) {
            if (quote == '\'' && s[i] == '\'' && i + 1 < s.size() && s[i + 1] == '\'') ++i;
            else if (quote == '"' && s[i] == '\\' && i + 1 < s.size()) ++i;
            text += s[i];
        }
        return text;
    }
    return std::string(s);
}

// "key: value" or "key:" of a block mapping, the key unquoted; none for anything else
// (a flow collection, a sequence entry, a scalar such as a web address).
std::optional<std::pair<std::string, std::string>> KeyAndValue(std::string_view content) {
    if (content.empty() || content[0] == '{' || content[0] == '[' || IsSequenceEntry(content))
        return std::nullopt;
    std::size_t from = 0;
    if (content[0] == '\'' || content[0] == '"') {
        const std::size_t close = ClosingQuote(content, 0);
        if (close == content.size()) return std::nullopt;
        from = close + 1;
    }
    for (std::size_t i = from; i < content.size(); ++i) {
        if (content[i] != ':') continue;
        if (i + 1 < content.size() && !IsBlank(content[i + 1])) continue;
        return std::make_pair(Unquoted(content.substr(0, i)),
                              std::string(Trimmed(content.substr(i + 1))));
    }
    return std::nullopt;
}

// Brackets still open in `text`, quotes respected.
int OpenBrackets(std::string_view text) {
    int depth = 0;
    char quote = 0;
    for (const char c : text) {
        if (quote != 0) {
            if (c == quote) quote = 0;
        } else if (c == '\'' || c == '"') {
            quote = c;
        } else if (c == '{' || c == '[') {
            ++depth;
        } else if (c == '}' || c == ']') {
            --depth;
        }
    }
    return depth;
}

class FlowReader {
  public:
    FlowReader(std::string_view text, int line) : text_(text), line_(line) {}

    HeaderNode Node() {
        SkipBlanks();
        if (position_ >= text_.size()) return Null();
        if (text_[position_] != '{' && text_[position_] != '[') return Scalar(false);
        if (depth_ >= kDeepestNesting) {
            position_ = text_.size();  // the rest is not understood: keep what was read
            return Null();
        }
        ++depth_;
        HeaderNode node = text_[position_] == '{' ? Mapping() : Sequence();
        --depth_;
        return node;
    }

  private:
    HeaderNode Null() const {
        HeaderNode node;
        node.Line = line_;
        return node;
    }

    void SkipBlanks() {
        while (position_ < text_.size() && IsBlank(text_[position_])) ++position_;
    }

    bool At(char c) {
        SkipBlanks();
        return position_ < text_.size() && text_[position_] == c;
    }

    // A quoted scalar, or a plain one up to ',', a closing bracket, or (for a key) ': '.
    HeaderNode Scalar(bool key) {
        SkipBlanks();
        HeaderNode node = Null();
        const std::size_t start = position_;
        if (position_ < text_.size() && (text_[position_] == '\'' || text_[position_] == '"')) {
            position_ = ClosingQuote(text_, position_) + 1;
        } else {
            while (position_ < text_.size()) {
                const char c = text_[position_];
                if (c == ',' || c == '}' || c == ']') break;
                if (key && c == ':' &&
                    (position_ + 1 >= text_.size() || IsBlank(text_[position_ + 1]) ||
                     text_[position_ + 1] == ',' || text_[position_ + 1] == '}'))
                    break;
                ++position_;
            }
        }
        const std::string text = Unquoted(text_.substr(start, position_ - start));
        if (!text.empty()) {
            node.Type = HeaderNode::Kind::Scalar;
            node.Text = text;
        }
        return node;
    }

    HeaderNode Mapping() {
        HeaderNode node = Null();
        node.Type = HeaderNode::Kind::Map;
        ++position_;  // '{'
        while (position_ < text_.size() && !At('}')) {
            const std::string key = Scalar(true).Text;
            HeaderNode value = Null();
            if (At(':')) {
                ++position_;
                if (!At(',') && !At('}')) value = Node();
            }
            if (!key.empty()) node.Map.emplace_back(key, std::move(value));
            if (At(',')) {
                ++position_;
            } else if (!At('}')) {
                break;  // not understood: keep what was read
            }
        }
        if (At('}')) ++position_;
        return node;
    }

    HeaderNode Sequence() {
        HeaderNode node = Null();
        node.Type = HeaderNode::Kind::List;
        ++position_;  // '['
        while (position_ < text_.size() && !At(']')) {
            node.List.push_back(Node());
            if (At(',')) {
                ++position_;
            } else if (!At(']')) {
                break;
            }
        }
        if (At(']')) ++position_;
        return node;
    }

    std::string_view text_;
    int line_;
    std::size_t position_ = 0;
    int depth_ = 0;
};

class BlockReader {
  public:
    explicit BlockReader(std::vector<Row> rows) : rows_(std::move(rows)) {}

    HeaderNode Document() {
        HeaderNode root;
        root.Type = HeaderNode::Kind::Map;
        while (next_ < rows_.size()) {
            HeaderNode node = Block(rows_[next_].Indent);
            // Several top-level blocks (a header interrupted by a stray line) make one map.
            if (node.Type == HeaderNode::Kind::Map)
                for (auto& entry : node.Map) root.Map.push_back(std::move(entry));
        }
        return root;
    }

  private:
    HeaderNode Block(int indent) {
        const Row& row = rows_[next_];
        if (depth_ >= kDeepestNesting) {
            const int line = row.Line;
            do ++next_;
            while (next_ < rows_.size() && rows_[next_].Indent >= indent);
            return NullAt(line);
        }
        ++depth_;
        HeaderNode node;
        if (IsSequenceEntry(row.Content)) {
            node = Sequence(indent);
        } else if (KeyAndValue(row.Content)) {
            node = Mapping(indent);
        } else {
            ++next_;
            node = Value(row.Content, row.Line, indent);
        }
        --depth_;
        return node;
    }

    // A value written after "key:" or "- ": a flow collection (taking further lines
    // while it is open), a block scalar (whose lines are passed over) or a scalar.
    HeaderNode Value(std::string_view text, int line, int indent) {
        if (!text.empty() && (text[0] == '{' || text[0] == '[')) {
            std::string flow(text);
            while (OpenBrackets(flow) > 0 && next_ < rows_.size())
                flow += " " + rows_[next_++].Content;
            return FlowReader(flow, line).Node();
        }
        HeaderNode node;
        node.Line = line;
        if (!text.empty() && (text[0] == '|' || text[0] == '>')) {
            while (next_ < rows_.size() && rows_[next_].Indent > indent) ++next_;
            node.Type = HeaderNode::Kind::Scalar;
            return node;
        }
        const std::string scalar = Unquoted(text);
        if (!scalar.empty()) {
            node.Type = HeaderNode::Kind::Scalar;
            node.Text = scalar;
        }
        return node;
    }

    HeaderNode Mapping(int indent) {
        HeaderNode node;
        node.Type = HeaderNode::Kind::Map;
        node.Line = rows_[next_].Line;
        while (next_ < rows_.size()) {
            const Row& row = rows_[next_];
            if (row.Indent < indent) break;
            if (row.Indent > indent) {
                // Keys indented below a key that has a value of its own (the ORSO format's
                // "data_set:" line with the keys it overrides shown indented under it) are
                // taken as this map's; anything else is the continuation of a plain
                // scalar, passed over.
                if (KeyAndValue(row.Content)) {
                    HeaderNode more = Block(row.Indent);
                    for (auto& entry : more.Map) node.Map.push_back(std::move(entry));
                } else {
                    ++next_;
                }
                continue;
            }
            if (IsSequenceEntry(row.Content)) break;
            const auto keyValue = KeyAndValue(row.Content);
            ++next_;
            if (!keyValue) continue;
            const auto& [key, text] = *keyValue;
            HeaderNode value;
            value.Line = row.Line;
            if (!text.empty()) {
                value = Value(text, row.Line, indent);
            } else if (next_ < rows_.size() && rows_[next_].Indent > indent) {
                value = Block(rows_[next_].Indent);
            } else if (next_ < rows_.size() && rows_[next_].Indent == indent &&
                       IsSequenceEntry(rows_[next_].Content)) {
                value = Sequence(indent);  // "key:" with its entries at its own indentation
            }
            node.Map.emplace_back(key, std::move(value));
        }
        return node;
    }

    HeaderNode Sequence(int indent) {
        HeaderNode node;
        node.Type = HeaderNode::Kind::List;
        node.Line = rows_[next_].Line;
        while (next_ < rows_.size()) {
            Row& row = rows_[next_];
            if (row.Indent < indent) break;
            if (row.Indent > indent) {
                ++next_;
                continue;
            }
            if (!IsSequenceEntry(row.Content)) break;
            std::size_t skip = 1;
            while (skip < row.Content.size() && IsBlank(row.Content[skip])) ++skip;
            const std::string rest = row.Content.substr(skip);
            if (rest.empty()) {
                ++next_;
                if (next_ < rows_.size() && rows_[next_].Indent > indent)
                    node.List.push_back(Block(rows_[next_].Indent));
                else
                    node.List.push_back(NullAt(row.Line));
            } else if (IsSequenceEntry(rest) || KeyAndValue(rest)) {
                // "- key: value": a mapping whose further keys stand under its first one.
                const int inner = indent + static_cast<int>(skip);
                row = Row{inner, rest, row.Line};
                node.List.push_back(Block(inner));
            } else {
                const int line = row.Line;
                ++next_;
                node.List.push_back(Value(rest, line, indent));
            }
        }
        return node;
    }

    std::vector<Row> rows_;
    std::size_t next_ = 0;
    int depth_ = 0;
};

}  // namespace

const HeaderNode* HeaderNode::Get(std::string_view key) const {
    if (Type != Kind::Map) return nullptr;
    for (const auto& [name, value] : Map)
        if (name == key) return value.Type == Kind::Null ? nullptr : &value;
    return nullptr;
}

const HeaderNode* HeaderNode::Get(std::initializer_list<std::string_view> path) const {
    const HeaderNode* node = this;
    for (const std::string_view key : path) {
        node = node->Get(key);
        if (node == nullptr) return nullptr;
    }
    return node;
}

std::string HeaderNode::ScalarText() const {
    if (Type != Kind::Scalar || Text == "null" || Text == "~" || Text == "Null" || Text == "NULL")
        return {};
    return Text;
}

HeaderNode ParseHeaderYaml(const std::vector<HeaderLine>& lines) {
    return BlockReader(RowsOf(lines)).Document();
}

}  // namespace korvel
