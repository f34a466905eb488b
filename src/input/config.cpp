#include "input/config.h"

#include <cctype>
#include <climits>
#include <cstdio>
#include <optional>

#include "profile.h"

namespace scrivel {
namespace {

constexpr int author_digits = 4;

// Hands out the lines of a text one at a time, each with its line feed.
class LineReader {
 public:
  explicit LineReader(std::string_view text) : rest_(text) {}

  // The next line that does not begin with "#"; nothing at the end of the text.
  std::optional<std::string_view> next_value_line() {
    while (!rest_.empty()) {
      const std::size_t end = rest_.find('\n');
      const std::size_t length = end == std::string_view::npos ? rest_.size() : end + 1;
      const std::string_view line = rest_.substr(0, length);
      rest_.remove_prefix(length);
      if (line.front() != '#') return line;
    }
    return std::nullopt;
  }

 private:
  std::string_view rest_;
};

// A value line without its line feed, and without a carriage return before it
// (a file written with CR LF line ends).
std::string_view without_line_end(std::string_view line) {
  if (line.ends_with('\n')) line.remove_suffix(1);
  if (line.ends_with('\r')) line.remove_suffix(1);
  return line;
}

}  // namespace

Config read_config(FileSystem& files, Messages& messages) {
  const std::optional<std::string> text = files.read_text("scrivel.cfg").text;
  if (!text) {
    messages.printf("Cannot open cfg file\n");
    throw FatalExit{1};
  }
  LineReader lines(*text);
  const std::optional<std::string_view> directory = lines.next_value_line();
  if (!directory) {
    messages.printf("error reading 'cfg' file\n");
    throw FatalExit{1};
  }
  Config config;
  config.directory = without_line_end(*directory);
  const std::optional<std::string_view> format = lines.next_value_line();
  if (!format) {
    messages.printf("error reading format type from 'cfg' file, using rtf as deafault\n");
    return config;
  }
  config.format = format_named(without_line_end(*format)).value_or(Format::rtf);
  return config;
}

namespace {

// An author's file of the corpus with the extension given.
std::string corpus_file_name(int author, const char* extension) {
  char name[32];
  std::snprintf(name, sizeof name, "%.*s%.*d%s", static_cast<int>(profile::file_prefix.size()),
                profile::file_prefix.data(), author_digits, author, extension);
  return name;
}

}  // namespace

std::string author_file_name(int author) { return corpus_file_name(author, ".txt"); }

std::string id_table_file_name(int author) { return corpus_file_name(author, ".idt"); }

std::optional<int> author_number_of(std::string_view name) {
  const std::string_view prefix = profile::file_prefix;
  if (name.size() != prefix.size() + author_digits) return std::nullopt;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    const char ch = name[i];
    if (std::tolower(static_cast<unsigned char>(ch)) != prefix[i]) return std::nullopt;
  }
  int number = 0;
  for (const char ch : name.substr(prefix.size())) {
    if (ch < '0' || ch > '9') return std::nullopt;
    number = number * 10 + (ch - '0');
  }
  return number;
}

CorpusPrefix split_prefix(std::string_view prefix) {
  const std::size_t slash = prefix.rfind('/');
  const std::size_t start = slash == std::string_view::npos ? 0 : slash + 1;
  return {std::string(prefix.substr(0, start)), std::string(prefix.substr(start))};
}

int leading_number(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  long long value = 0;
  for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > static_cast<long long>(INT_MAX) + 1) break;
  }
  if (negative) value = -value;
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

}  // namespace scrivel
