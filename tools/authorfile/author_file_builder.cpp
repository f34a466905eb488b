#include "author_file_builder.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <utility>

#include "citation_codes.h"
#include "messages.h"
#include "metadata_tables.h"

namespace authorfile {
namespace {

using ByteSpan = std::span<const unsigned char>;

constexpr int max_author = 9999;
constexpr int max_work = 999;

// Every block opens with the author header (EF 80 dddd FF) and the block start header
// (EF 81 ddd FF) naming the work current at the start of the block.
constexpr std::size_t author_header_size = 7;
constexpr std::size_t work_header_size = 6;
constexpr std::size_t block_header_size = author_header_size + work_header_size;
constexpr unsigned char block_end = 0xFE;
constexpr unsigned char file_end = 0xF0;

// Content room of a block: what is left after the headers and the closing bytes
// (FE, or F0 FE in the last block).
constexpr std::size_t room(bool last_block) {
  return block_size - block_header_size - (last_block ? 2 : 1);
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
  explicit BlockWriter(int author) : author_header_(author_id(author)) {}

  bool is_open() const { return !file_.empty(); }
  std::size_t used() const { return file_.size() - block_start_ - block_header_size; }
  std::size_t block_index() const { return block_start_ / block_size; }
  void append(ByteSpan bytes) { file_.insert(file_.end(), bytes.begin(), bytes.end()); }

  void open_block(int work) {
    if (is_open()) close_block({block_end});
    block_start_ = file_.size();
    append(author_header_);
    append(work_id(work));
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
// it opens the next block, as a text line of the corpus never spans two blocks. Placing
// returns the block the unit begins in; current_block() is then the one it ends in.
class Layout {
 public:
  explicit Layout(int author) : out_(author) {}

  void request_break() { break_pending_ = out_.is_open(); }
  std::size_t current_block() const { return out_.block_index(); }

  // An inline work header only pays off if the work's first unit fits after it; otherwise
  // the work begins at the next block, whose start header then serves as its header.
  std::size_t place_work(int work, ByteSpan first_unit, bool last) {
    current_work_ = work;
    if (!fits(work_header_size + first_unit.size(), last)) return start_block_with(first_unit, last);
    out_.append(work_id(work));
    out_.append(first_unit);
    return current_block();
  }

  std::size_t place_unit(ByteSpan unit, bool last) {
    if (!fits(unit.size(), last)) return start_block_with(unit, last);
    out_.append(unit);
    return current_block();
  }

  Bytes finish() && { return std::move(out_).finish(); }

 private:
  bool fits(std::size_t size, bool last) const {
    return out_.is_open() && !break_pending_ && out_.used() + size <= room(last);
  }

  // A unit larger than a whole block's room cannot occur in the corpus; for tests it is
  // cut where each block's room ends and goes on in the next block.
  std::size_t start_block_with(ByteSpan unit, bool last) {
    out_.open_block(current_work_);
    const std::size_t first_block = current_block();
    break_pending_ = false;
    while (unit.size() > room(last)) {
      const std::size_t piece = std::min(unit.size(), room(false));
      out_.append(unit.first(piece));
      unit = unit.subspan(piece);
      out_.open_block(current_work_);
    }
    out_.append(unit);
    return first_block;
  }

  BlockWriter out_;
  int current_work_ = 0;
  bool break_pending_ = false;
};

struct TranslatedUnit {
  Bytes bytes;
  std::vector<CitationSetting> citations;
};

std::optional<std::size_t> level_named(std::string_view token, std::string_view CitationLevel::*name) {
  const auto found = std::ranges::find(citation_levels, token, name);
  if (found == citation_levels.end()) return std::nullopt;
  return static_cast<std::size_t>(found - citation_levels.begin());
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

std::string_view trim_leading_blanks(std::string_view text) {
  while (!text.empty() && is_blank(text.front())) text.remove_prefix(1);
  return text;
}

std::string_view trim_blanks(std::string_view text) {
  text = trim_leading_blanks(text);
  while (!text.empty() && is_blank(text.back())) text.remove_suffix(1);
  return text;
}

// Citation codes are emitted and remembered, so that the ID table can cite the unit; bytes
// given in hex are emitted only.
void add_citation(TranslatedUnit& out, CitationSetting setting) {
  append_citation(out.bytes, setting.level, setting.value);
  out.citations.push_back(std::move(setting));
}

void append_tokens(TranslatedUnit& out, std::string_view inside) {
  const auto tokens = split_blanks(inside);
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    const std::string_view token = tokens[i];
    const auto argument = [&] {
      if (++i == tokens.size()) throw BuildError(quoted(token) + " needs a value");
      return tokens[i];
    };
    if (const auto level = level_named(token, &CitationLevel::name)) {
      add_citation(out, {*level, parse_number(argument(), max_citation, "a citation value")});
    } else if (const auto text_level = level_named(token, &CitationLevel::text_name)) {
      add_citation(out, {*text_level, std::string(argument())});
    } else if (const auto byte = hex_byte(token)) {
      out.bytes.push_back(*byte);
    } else {
      throw BuildError(join({"unknown token ", quoted(token), " in ~[...]"}));
    }
  }
}

TranslatedUnit translate_unit(std::string_view text) {
  TranslatedUnit out;
  std::size_t pos = 0;
  while (pos < text.size()) {
    if (text[pos] != '~') {
      out.bytes.push_back(static_cast<unsigned char>(text[pos++]));
      continue;
    }
    const char next = pos + 1 < text.size() ? text[pos + 1] : '\0';
    if (next == '~') {
      out.bytes.push_back('~');
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
      const auto directive = std::ranges::find(directives, name, &Directive::name);
      if (directive != directives.end()) {
        (this->*directive->read)(trim_leading_blanks(rest.substr(name.size())));
        return;
      }
    }
    read_unit(line);
  }

  const Builder& finish() const {
    if (!builder_) throw BuildError("the source has no ~author line");
    if (out_of_order_pending_) throw BuildError("~outoforder at the end of the source, with no line after it");
    return *builder_;
  }

 private:
  // A directive reads the rest of its line, without the blanks that separate it.
  struct Directive {
    std::string_view name;
    void (SourceParser::*read)(std::string_view argument);
  };
  static const std::array<Directive, 9> directives;

  void read_author(std::string_view argument) {
    if (builder_) throw BuildError("a second ~author line");
    builder_.emplace(parse_number(trim_blanks(argument), max_author, "the author number"));
  }

  // The author's fields come before the first work, where no one takes them for the work's.
  Builder& author_fields(std::string_view directive) {
    if (in_work_) throw BuildError(join({"~", directive, " after the first ~work (it belongs to the author)"}));
    return builder(directive);
  }
  void read_name(std::string_view text) { author_fields("name").name(text); }
  void read_synonym(std::string_view text) { author_fields("synonym").synonym(text); }
  void read_language(std::string_view text) { author_fields("language").language(text); }

  void read_work(std::string_view argument) {
    Builder& current = builder("work");
    if (out_of_order_pending_) throw BuildError("~outoforder with no line of its work after it");
    current.work(parse_number(trim_blanks(argument), max_work, "the work number"));
    in_work_ = true;
  }

  void read_title(std::string_view text) { builder("title").title(text); }
  void read_levels(std::string_view names) { builder("levels").levels(split_blanks(names)); }

  void read_block(std::string_view argument) {
    no_value("block", argument);
    builder("block").block();
  }

  void read_out_of_order(std::string_view argument) {
    no_value("outoforder", argument);
    if (!in_work_) throw BuildError("~outoforder before the first ~work");
    if (out_of_order_pending_) throw BuildError("a second ~outoforder before its line");
    out_of_order_pending_ = true;
  }

  void read_unit(std::string_view line) {
    if (!in_work_) throw BuildError("text before the first ~work");
    if (out_of_order_pending_) {
      builder_->out_of_order(line);
      out_of_order_pending_ = false;
    } else {
      builder_->unit(line);
    }
  }

  Builder& builder(std::string_view directive) {
    if (!builder_) throw BuildError(join({"~", directive, " before ~author"}));
    return *builder_;
  }

  static void no_value(std::string_view directive, std::string_view argument) {
    if (!trim_blanks(argument).empty()) throw BuildError(join({"~", directive, " takes no value"}));
  }

  std::optional<Builder> builder_;
  bool in_work_ = false;
  bool out_of_order_pending_ = false;
};

const std::array<SourceParser::Directive, 9> SourceParser::directives{{
    {"author", &SourceParser::read_author},
    {"name", &SourceParser::read_name},
    {"synonym", &SourceParser::read_synonym},
    {"language", &SourceParser::read_language},
    {"work", &SourceParser::read_work},
    {"title", &SourceParser::read_title},
    {"levels", &SourceParser::read_levels},
    {"block", &SourceParser::read_block},
    {"outoforder", &SourceParser::read_out_of_order},
}};

// Errors carry the number of the source line that was being read.
template <typename Finish>
auto build_source(std::string_view source, Finish finish) {
  SourceParser parser;
  std::size_t line_number = 0;
  try {
    for_each_line(source, [&](std::string_view line) {
      ++line_number;
      parser.read_line(line);
    });
    return finish(parser.finish());
  } catch (const BuildError& error) {
    throw BuildError(join({"line ", std::to_string(line_number), ": ", error.what()}));
  }
}

}  // namespace

Bytes translate(std::string_view text) { return translate_unit(text).bytes; }

Builder::Builder(int author) { author_.number = checked(author, max_author, "the author number"); }

Builder& Builder::name(std::string_view beta_code) {
  if (!author_.name.empty()) throw BuildError("the author has a name already");
  author_.name = stored_text(beta_code, "the author's name");
  return *this;
}

Builder& Builder::synonym(std::string_view beta_code) {
  if (author_.synonyms.size() == max_synonyms) throw BuildError("an author has at most five synonyms");
  author_.synonyms.push_back(stored_text(beta_code, "a synonym"));
  return *this;
}

Builder& Builder::language(std::string_view code) {
  if (!author_.language.empty()) throw BuildError("the author has a language already");
  author_.language = stored_text(code, "the language");
  return *this;
}

Builder& Builder::work(int number) {
  items_.push_back({Kind::work, checked(number, max_work, "the work number"), {}, {}});
  works_.emplace_back();
  return *this;
}

Builder::WorkNames& Builder::current_work(std::string_view what) {
  if (works_.empty()) throw BuildError(join({"a ", what, " before the first work"}));
  return works_.back();
}

Builder& Builder::title(std::string_view beta_code) {
  WorkNames& work = current_work("title");
  if (!work.title.empty()) throw BuildError("the work has a title already");
  work.title = stored_text(beta_code, "a title");
  return *this;
}

Builder& Builder::levels(const std::vector<std::string_view>& names) {
  WorkNames& work = current_work("list of levels");
  if (!work.levels.empty()) throw BuildError("the work has its levels already");
  if (names.empty() || names.size() > max_levels) {
    throw BuildError(join({"a work has 1 to 5 citation levels, not ", std::to_string(names.size())}));
  }
  for (const std::string_view name : names) work.levels.push_back(stored_text(name, "a level's name"));
  return *this;
}

Builder& Builder::block() {
  items_.push_back({Kind::block, 0, {}, {}});
  return *this;
}

Builder& Builder::unit(std::string_view text) {
  TranslatedUnit translated = translate_unit(text);
  return add_unit(std::move(translated.bytes), std::move(translated.citations), false);
}

Builder& Builder::out_of_order(std::string_view text) {
  TranslatedUnit translated = translate_unit(text);
  return add_unit(std::move(translated.bytes), std::move(translated.citations), true);
}

Builder& Builder::raw(const Bytes& bytes) { return add_unit(bytes, {}, false); }

Builder& Builder::add_unit(Bytes bytes, std::vector<CitationSetting> citations, bool out_of_order) {
  if (works_.empty()) throw BuildError("a unit before the first work");
  items_.push_back({Kind::unit, 0, std::move(bytes), std::move(citations), out_of_order});
  return *this;
}

Bytes Builder::lay_out(std::vector<Span>& spans) const {
  if (works_.empty()) throw BuildError("the file has no work");
  // The last block has one byte less room (F0 FE), so each placement needs to know
  // whether any content comes after it.
  const auto is_content = [](const Item& item) { return item.kind != Kind::block; };
  const auto last_content =
      static_cast<std::size_t>(items_.rend() - std::find_if(items_.rbegin(), items_.rend(), is_content) - 1);
  Layout layout(author_.number);
  spans.assign(items_.size(), {});
  for (std::size_t i = 0; i < items_.size(); ++i) {
    const Item& item = items_[i];
    if (item.kind == Kind::block) {
      layout.request_break();
    } else if (item.kind == Kind::unit) {
      spans[i].first_block = layout.place_unit(item.bytes, i == last_content);
      spans[i].last_block = layout.current_block();
    } else {
      // The work header is placed together with the work's first unit, if it has one.
      const std::size_t work_item = i;
      const bool has_first_unit = i + 1 < items_.size() && items_[i + 1].kind == Kind::unit;
      if (has_first_unit) ++i;
      const std::size_t first_block =
          layout.place_work(item.work, has_first_unit ? ByteSpan(items_[i].bytes) : ByteSpan(), i == last_content);
      spans[work_item] = {first_block, first_block};
      spans[i] = {first_block, layout.current_block()};
    }
  }
  return std::move(layout).finish();
}

Bytes Builder::finish() const {
  std::vector<Span> spans;
  return lay_out(spans);
}

AuthorFiles Builder::finish_files() const {
  std::vector<Span> spans;
  Bytes text = lay_out(spans);
  std::vector<WorkRecord> works;
  for (std::size_t i = 0; i < items_.size(); ++i) {
    const Item& item = items_[i];
    if (item.kind == Kind::work) {
      const WorkNames& names = works_[works.size()];
      works.push_back({item.work, names.title, names.levels, spans[i].first_block, {}});
    } else if (item.kind == Kind::unit) {
      works.back().units.push_back({spans[i].first_block, spans[i].last_block, item.citations, item.out_of_order});
    }
  }
  Bytes table = id_table(author_, works);
  return {author_, std::move(text), std::move(table)};
}

Bytes build(std::string_view source) {
  return build_source(source, [](const Builder& builder) { return builder.finish(); });
}

AuthorFiles build_files(std::string_view source) {
  return build_source(source, [](const Builder& builder) { return builder.finish_files(); });
}

Bytes single_work(std::string_view content, int author, int work) {
  Builder builder(author);
  builder.work(work);
  for_each_line(content, [&](std::string_view line) { builder.unit(line); });
  return builder.finish();
}

}  // namespace authorfile
