#include "citation_codes.h"

#include "messages.h"

namespace authorfile {
namespace {

constexpr unsigned char number_digit = 0xB0;

unsigned char byte(int value) { return static_cast<unsigned char>(value); }

void append_number(Bytes& out, unsigned char base, int value) {
  if (value >= 1 && value <= 7) {
    out.push_back(byte(base + value));
  } else if (value <= 0x7F) {
    out.insert(out.end(), {byte(base + 8), byte(0x80 + value)});
  } else {
    out.insert(out.end(), {byte(base + 0x0B), byte(0x80 + (value >> 7)), byte(0x80 + (value & 0x7F))});
  }
}

void append_text(Bytes& out, unsigned char base, std::string_view text) {
  out.push_back(byte(base + 0x0F));
  for (const char c : text) {
    const auto character = static_cast<unsigned char>(c);
    if (character >= 0x80) throw BuildError(join({"textual citation ", quoted(text), " must be ASCII"}));
    out.push_back(byte(character | 0x80));
  }
  out.push_back(terminator);
}

Bytes number_id(unsigned char level, int value, int digits) {
  Bytes id{0xEF, level};
  int divisor = 1;
  for (int i = 1; i < digits; ++i) divisor *= 10;
  for (; divisor > 0; divisor /= 10) id.push_back(byte(number_digit + value / divisor % 10));
  id.push_back(terminator);
  return id;
}

}  // namespace

void append_citation(Bytes& out, std::size_t level, const CitationValue& value) {
  const unsigned char base = citation_levels.at(level).base;
  if (const int* number = std::get_if<int>(&value)) {
    append_number(out, base, *number);
  } else {
    append_text(out, base, std::get<std::string>(value));
  }
}

Bytes author_id(int author) { return number_id(0x80, author, 4); }

Bytes work_id(int work) { return number_id(0x81, work, 3); }

void CitationState::apply(const CitationSetting& setting) {
  values_.at(setting.level) = setting.value;
  for (std::size_t lower = setting.level + 1; lower < values_.size(); ++lower) values_[lower] = 1;
}

void CitationState::append_id(Bytes& out) const {
  bool any = false;
  for (std::size_t level = 0; level < values_.size(); ++level) {
    if (!values_[level]) continue;
    append_citation(out, level, *values_[level]);
    any = true;
  }
  if (!any) append_citation(out, line_level, 1);
}

}  // namespace authorfile
