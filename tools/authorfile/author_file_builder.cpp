#include "author_file_builder.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <utility>

namespace authorfile {
namespace {

using ByteSpan = std::span<const unsigned char>;

constexpr int max_author = 9999;
constexpr int max_work = 999;
constexpr int max_citation = 16383;

// Every block opens with the author header (EF 80 dddd FF) and the block start header
// (EF 81 ddd FF) naming the work current at the start of the block.
constexpr std::size_t author_header_size = 7;
constexpr std::size_t work_header_size = 6;
constexpr std::size_t block_header_size = author_header_size + work_header_size;
constexpr unsigned char block_end = 0xFE;
constexpr unsigned char file_end = 0xF0;
constexpr unsigned char terminator = 0xFF;  // ends headers and textual citations
constexpr unsigned char number_digit = 0xB0;

// Content room of a block: what is left after the headers and the closing bytes
// (FE, or F0 FE in the last block).
constexpr std::size_t room(bool last_block) {
  return block_size - block_header_size - (last_block ? 2 : 1);
}

// Joins message parts; `"literal" + std::string` trips a false -Wrestrict in g++ 12.
std::string join(std::initializer_list<std::string_view> parts) {
  std::string text;
  for (const std::string_view part : parts) text += part;
  return text;
}

std::string quoted(std::string_view text) { return join({"'", text, "'"}); }

void append_digits(Bytes& out, int value, int digits) {
  int divisor = 1;
  for (int i = 1; i < digits; ++i) divisor *= 10;
  for (; divisor > 0; divisor /= 10) {
    out.push_back(static_cast<unsigned char>(number_digit + value / divisor % 10));
  }
}

Bytes author_header(int author) {
  Bytes header{0xEF, 0x80};
  append_digits(header, author, 4);
  header.push_back(terminator);
  return header;
}

Bytes work_header(int work) {
  Bytes header{0xEF, 0x81};
  append_digits(header, work, 3);
  header.push_back(terminator);
  return header;
}

[[noreturn]] void throw_out_of_range(std::string_view what, int max, std::string_view given) {
  throw BuildError(join({what, " must be a number from 0 to ", std::to_string(max), ", not ", quoted(given)}));
}

int checked(int value, int max, std::string_view what) {
  if (value < 0 || value > max) throw_out_of_range(what, max, std::to_string(value));
  return value;
}

int parse_number(std::string_view token, int max, std::string_view what) {
  int value = 0;
  const auto [end, error] = std::from_chars(token.data(), token.data() + token.size(), value);
  if (error != std::errc{} || end != token.data() + token.size() || value < 0 || value > max) {
    throw_out_of_range(what, max, token);
  }
  return value;
}

// The accumulating file: whole blocks plus the one being filled.
class BlockWriter {
 public:
  explicit BlockWriter(int author) : author_header_(author_header(author)) {}

  bool is_open() const { return !file_.empty(); }
  std::size_t used() const { return file_.size() - block_start_ - block_header_size; }
  void append(ByteSpan bytes) { file_.insert(file_.end(), bytes.begin(), bytes.end()); }

  void open_block(int work) {
    if (is_open()) close_block({block_end});
    block_start_ = file_.size();
    append(author_header_);
    append(work_header(work));
  }

  Bytes finish() && {
    close_block({file_end, block_end});
    return std::move(file_);
  }

 private:
  void close_block(std::initializer_list<unsigned char> closing) {
    file_.insert(file_.end(), closing);
    file_.resize(block_start_ + block_size, 0);
  }

  Bytes author_header_;
  Bytes file_;
  std::size_t block_start_ = 0;
};

// Places units greedily: a unit joins the current block if it fits there whole, otherwise
// it opens the next block, as a text line of the corpus never spans two blocks.
class Layout {
 public:
  explicit Layout(int author) : out_(author) {}

  void request_break() { break_pending_ = out_.is_open(); }

  // An inline work header only pays off if the work's first unit fits after it; otherwise
  // the work begins at the next block, whose start header then serves as its header.
  void place_work(int work, ByteSpan first_unit, bool last) {
    current_work_ = work;
    if (fits(work_header_size + first_unit.size(), last)) {
      out_.append(work_header(work));
      out_.append(first_unit);
    } else {
      start_block_with(first_unit, last);
    }
  }

  void place_unit(ByteSpan unit, bool last) {
    if (fits(unit.size(), last)) {
      out_.append(unit);
    } else {
      start_block_with(unit, last);
    }
  }

  Bytes finish() && { return std::move(out_).finish(); }

 private:
  bool fits(std::size_t size, bool last) const {
    return out_.is_open() && !break_pending_ && out_.used() + size <= room(last);
  }

  // A unit larger than a whole block's room cannot occur in the corpus; for tests it is
  // cut where each block's room ends and goes on in the next block.
  void start_block_with(ByteSpan unit, bool last) {
    out_.open_block(current_work_);
    break_pending_ = false;
    while (unit.size() > room(last)) {
      const std::size_t piece = std::min(unit.size(), room(false));
      out_.append(unit.first(piece));
      unit = unit.subspan(piece);
      out_.open_block(current_work_);
    }
    out_.append(unit);
  }

  BlockWriter out_;
  int current_work_ = 0;
  bool break_pending_ = false;
};

// Citation codes: the level's base byte carries a value 1..7 itself, base+8 is followed by
// a 7-bit value, base+0x0B by a 14-bit value in two bytes, high part first.
struct CitationLevel {
  std::string_view name;
  unsigned char base;
};
constexpr std::array<CitationLevel, 4> citation_levels{{
    {"x", 0xB0},
    {"y", 0xA0},
    {"z", 0x90},
    {"line", 0x80},
}};

// Textual citation values: the code, the characters with their high bit set, then FF.
struct TextLevel {
  std::string_view name;
  unsigned char code;
};
constexpr std::array<TextLevel, 2> text_levels{{
    {"ytext", 0xAF},
    {"ztext", 0x9F},
}};

template <typename Table>
const typename Table::value_type* find_named(const Table& table, std::string_view name) {
  const auto found = std::ranges::find(table, name, &Table::value_type::name);
  return found == table.end() ? nullptr : &*found;
}

void append_citation(Bytes& out, unsigned char base, int value) {
  const auto byte = [](int b) { return static_cast<unsigned char>(b); };
  if (value >= 1 && value <= 7) {
    out.push_back(byte(base + value));
  } else if (value <= 0x7F) {
    out.insert(out.end(), {byte(base + 8), byte(0x80 + value)});
  } else {
    out.insert(out.end(), {byte(base + 0x0B), byte(0x80 + (value >> 7)), byte(0x80 + (value & 0x7F))});
  }
}

void append_text_citation(Bytes& out, unsigned char code, std::string_view word) {
  out.push_back(code);
  for (const char c : word) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x80) throw BuildError(join({"textual citation ", quoted(word), " must be ASCII"}));
    out.push_back(static_cast<unsigned char>(byte | 0x80));
  }
  out.push_back(terminator);
}

std::optional<unsigned char> hex_byte(std::string_view token) {
  unsigned value = 0;
  const auto [end, error] = std::from_chars(token.data(), token.data() + token.size(), value, 16);
  if (token.size() != 2 || error != std::errc{} || end != token.data() + token.size()) {
    return std::nullopt;
  }
  return static_cast<unsigned char>(value);
}

bool is_blank(char c) { return c == ' ' || c == '\t'; }

std::vector<std::string_view> split_blanks(std::string_view text) {
  std::vector<std::string_view> tokens;
  std::size_t pos = 0;
  while (pos < text.size()) {
    if (is_blank(text[pos])) {
      ++pos;
      continue;
    }
    std::size_t end = pos;
    while (end < text.size() && !is_blank(text[end])) ++end;
    tokens.push_back(text.substr(pos, end - pos));
    pos = end;
  }
  return tokens;
}

std::string_view trim_blanks(std::string_view text) {
  while (!text.empty() && is_blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && is_blank(text.back())) text.remove_suffix(1);
  return text;
}

void append_tokens(Bytes& out, std::string_view inside) {
  const auto tokens = split_blanks(inside);
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    const std::string_view token = tokens[i];
    const auto argument = [&] {
      if (++i == tokens.size()) throw BuildError(quoted(token) + " needs a value");
      return tokens[i];
    };
    if (const auto* level = find_named(citation_levels, token)) {
      append_citation(out, level->base, parse_number(argument(), max_citation, "a citation value"));
    } else if (const auto* text_level = find_named(text_levels, token)) {
      append_text_citation(out, text_level->code, argument());
    } else if (const auto byte = hex_byte(token)) {
      out.push_back(*byte);
    } else {
      throw BuildError(join({"unknown token ", quoted(token), " in ~[...]"}));
    }
  }
}

template <typename Consumer>
void for_each_line(std::string_view text, Consumer consume) {
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t end = std::min(text.find('\n', pos), text.size());
    consume(text.substr(pos, end - pos));
    pos = end + 1;
  }
}

// Reads the source form line by line into a Builder.
class SourceParser {
 public:
  void read_line(std::string_view line) {
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (line.starts_with("~#") || trim_blanks(line).empty()) return;
    if (line.starts_with('~')) {
      const std::string_view rest = line.substr(1);
      const std::string_view name = rest.substr(0, std::ranges::find_if(rest, is_blank) - rest.begin());
      if (name == "author" || name == "work" || name == "block") {
        directive(name, trim_blanks(rest.substr(name.size())));
        return;
      }
    }
    if (!in_work_) throw BuildError("text before the first ~work");
    builder_->unit(line);
  }

  Bytes finish() const {
    if (!builder_) throw BuildError("the source has no ~author line");
    return builder_->finish();
  }

 private:
  void directive(std::string_view name, std::string_view argument) {
    if (name == "author") {
      if (builder_) throw BuildError("a second ~author line");
      builder_.emplace(parse_number(argument, max_author, "the author number"));
      return;
    }
    if (!builder_) throw BuildError(join({"~", name, " before ~author"}));
    if (name == "work") {
      builder_->work(parse_number(argument, max_work, "the work number"));
      in_work_ = true;
    } else {
      if (!argument.empty()) throw BuildError("~block takes no value");
      builder_->block();
    }
  }

  std::optional<Builder> builder_;
  bool in_work_ = false;
};

}  // namespace

Bytes translate(std::string_view text) {
  Bytes out;
  std::size_t pos = 0;
  while (pos < text.size()) {
    if (text[pos] != '~') {
      out.push_back(static_cast<unsigned char>(text[pos++]));
      continue;
    }
    const char next = pos + 1 < text.size() ? text[pos + 1] : '\0';
    if (next == '~') {
      out.push_back('~');
      pos += 2;
    } else if (next == '[') {
      const std::size_t close = text.find(']', pos + 2);
      if (close == std::string_view::npos) throw BuildError("unterminated ~[");
      append_tokens(out, text.substr(pos + 2, close - pos - 2));
      pos = close + 1;
    } else {
      throw BuildError("'~' must be followed by '~' or '['");
    }
  }
  return out;
}

Builder::Builder(int author) : author_(checked(author, max_author, "the author number")) {}

Builder& Builder::work(int number) {
  items_.push_back({Kind::work, checked(number, max_work, "the work number"), {}});
  has_work_ = true;
  return *this;
}

Builder& Builder::block() {
  items_.push_back({Kind::block, 0, {}});
  return *this;
}

Builder& Builder::unit(std::string_view text) { return raw(translate(text)); }

Builder& Builder::raw(const Bytes& bytes) {
  if (!has_work_) throw BuildError("a unit before the first work");
  items_.push_back({Kind::unit, 0, bytes});
  return *this;
}

Bytes Builder::finish() const {
  if (!has_work_) throw BuildError("the file has no work");
  // The last block has one byte less room (F0 FE), so each placement needs to know
  // whether any content comes after it.
  const auto is_content = [](const Item& item) { return item.kind != Kind::block; };
  const auto last_content =
      static_cast<std::size_t>(items_.rend() - std::find_if(items_.rbegin(), items_.rend(), is_content) - 1);
  Layout layout(author_);
  for (std::size_t i = 0; i < items_.size(); ++i) {
    const Item& item = items_[i];
    if (item.kind == Kind::block) {
      layout.request_break();
    } else if (item.kind == Kind::unit) {
      layout.place_unit(item.bytes, i == last_content);
    } else {
      // The work header is placed together with the work's first unit, if it has one.
      const bool has_first_unit = i + 1 < items_.size() && items_[i + 1].kind == Kind::unit;
      if (has_first_unit) ++i;
      layout.place_work(item.work, has_first_unit ? ByteSpan(items_[i].bytes) : ByteSpan(), i == last_content);
    }
  }
  return std::move(layout).finish();
}

Bytes build(std::string_view source) {
  SourceParser parser;
  std::size_t line_number = 0;
  try {
    for_each_line(source, [&](std::string_view line) {
      ++line_number;
      parser.read_line(line);
    });
    return parser.finish();
  } catch (const BuildError& error) {
    throw BuildError(join({"line ", std::to_string(line_number), ": ", error.what()}));
  }
}

Bytes single_work(std::string_view content, int author, int work) {
  Builder builder(author);
  builder.work(work);
  for_each_line(content, [&](std::string_view line) { builder.unit(line); });
  return builder.finish();
}

}  // namespace authorfile
