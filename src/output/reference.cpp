#include "output/reference.h"

#include <array>
#include <charconv>
#include <cstring>

namespace scrivel {
namespace {

// Decimal forms of 0 to 999, the numbers of almost every reference: three
// characters to copy whole, of which `length` count.
struct Decimal {
  char digits[3];
  char length;
};
constexpr std::array<Decimal, 1000> decimals = [] {
  std::array<Decimal, 1000> forms{};
  for (int n = 0; n < 1000; ++n) {
    Decimal& d = forms[n];
    int length = 0;
    if (n >= 100) d.digits[length++] = static_cast<char>('0' + n / 100);
    if (n >= 10) d.digits[length++] = static_cast<char>('0' + n / 10 % 10);
    d.digits[length++] = static_cast<char>('0' + n % 10);
    d.length = static_cast<char>(length);
  }
  return forms;
}();

char* put_number(char* out, int value) {
  if (value >= 0 && value < static_cast<int>(decimals.size())) {
    std::memcpy(out, decimals[value].digits, sizeof decimals[value].digits);
    return out + decimals[value].length;
  }
  return std::to_chars(out, out + 16, value).ptr;
}

char* put_text(char* out, const char* text) {
  const std::size_t length = std::strlen(text);
  std::memcpy(out, text, length);
  return out + length;
}

}  // namespace

bool shows(const Citation& citation, Level level) {
  const CiteLevel& value = citation[level];
  switch (level) {
    case Level::x: return value.number > 0;
    case Level::line: return shows_line(value);
    default: return value.number > 0 || value.text[0] != '\0';
  }
}

bool shows_line(const CiteLevel& line) {
  return line.number > 1 || line.text[0] != '\0' || line.form == CiteLevel::Form::number_letter;
}

char* put_value(char* out, const CiteLevel& level) {
  if (level.form == CiteLevel::Form::text) return put_text(out, level.text);
  out = put_number(out, level.number);
  if (level.form == CiteLevel::Form::number_letter && level.letter != '\0') *out++ = level.letter;
  if (level.form == CiteLevel::Form::number_text) out = put_text(out, level.text);
  return out;
}

// A level after a dot where a level stands before it (even one that wrote
// nothing, an empty text).
void ReferenceText::append_level(const CiteLevel& level) {
  if (levels_++ > 0) append('.');
  length_ = put_value(text_ + length_, level) - text_;
}

std::string_view ReferenceText::of(const Citation& citation) {
  if (citation.changed != Level::line || !upper_known_) {
    length_ = levels_ = 0;
    append('[');
    if (shows(citation, Level::x)) {
      length_ = put_number(text_ + length_, citation[Level::x].number) - text_;
      levels_ = 1;
    }
    if (shows(citation, Level::y)) append_level(citation[Level::y]);
    if (shows(citation, Level::z)) append_level(citation[Level::z]);
    upper_length_ = length_;
    upper_levels_ = levels_;
    upper_known_ = true;
  }
  return with_line(citation[Level::line]);
}

std::string_view ReferenceText::with_line(const CiteLevel& line) {
  length_ = upper_length_;
  levels_ = upper_levels_;
  if (shows_line(line)) append_level(line);
  append(']');
  return {text_, length_};
}

}  // namespace scrivel
