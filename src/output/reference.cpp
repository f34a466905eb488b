#include "output/reference.h"

#include "output/renderer.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>

namespace scrivel {
namespace {

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
// nothing, an empty text). A number alone, as most levels are, is plain.
void ReferenceText::append_level(const CiteLevel& level) {
  if (levels_++ > 0) append('.');
  if (level.form == CiteLevel::Form::number) {
    length_ = put_number(text_ + length_, level.number) - text_;
    return;
  }
  const std::size_t start = length_;
  length_ = put_value(text_ + length_, level) - text_;
  plain_ = plain_ && std::all_of(text_ + start, text_ + length_, [this](char ch) { return verbatim_[static_cast<byte>(ch)]; });
}

Reference ReferenceText::of(const Citation& citation) {
  if (citation.changed != Level::line || !upper_known_) {
    length_ = levels_ = 0;
    plain_ = true;
    append('[');
    if (shows(citation, Level::x)) {
      length_ = put_number(text_ + length_, citation[Level::x].number) - text_;
      levels_ = 1;
    }
    if (shows(citation, Level::y)) append_level(citation[Level::y]);
    if (shows(citation, Level::z)) append_level(citation[Level::z]);
    upper_length_ = length_;
    upper_levels_ = levels_;
    upper_plain_ = plain_;
    upper_known_ = true;
  }
  return with_line(citation[Level::line]);
}

Reference ReferenceText::with_line(const CiteLevel& line) {
  length_ = upper_length_;
  levels_ = upper_levels_;
  plain_ = upper_plain_;
  if (shows_line(line)) append_level(line);
  append(']');
  return {{text_, length_}, plain_};
}

}  // namespace scrivel
