#include "output/passage.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "byte.h"
#include "output/reference.h"
#include "profile.h"

namespace scrivel {
namespace {

constexpr std::string_view hex_digits = "0123456789ABCDEF";

char* put_urn_value(char* out, std::string_view value) {
  for (const char ch : value) {
    const byte b = static_cast<byte>(ch);
    if ((b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z')) {
      *out++ = ch;
    } else if (b >= 0x80) {
      out = std::copy_n("_EF_BF_BD", 9, out);
    } else {
      *out++ = '_';
      *out++ = hex_digits[b >> 4];
      *out++ = hex_digits[b & 0xF];
    }
  }
  return out;
}

// A level's value as a reference shows it, then encoded for the URN.
char* put_encoded(char* out, const CiteLevel& level) {
  char shown[CiteLevel::text_size + 16];
  return put_urn_value(out, {shown, static_cast<std::size_t>(put_value(shown, level) - shown)});
}

}  // namespace

std::string text_group_name(int author) {
  char name[32];
  std::snprintf(name, sizeof name, "%.*s%04d", static_cast<int>(profile::file_prefix.size()),
                profile::file_prefix.data(), author);
  return name;
}

std::string work_name(int work) {
  char name[32];
  std::snprintf(name, sizeof name, "%.*s%03d", static_cast<int>(profile::file_prefix.size()),
                profile::file_prefix.data(), work);
  return name;
}

std::string edition_name() { return "scrivel-" + std::string(profile::language) + "1"; }

std::string work_urn(int author, int work) {
  return std::string(urn_namespace) + text_group_name(author) + "." + work_name(work);
}

void Passage::take_upper_levels(const Citation& citation) {
  known_ = true;
  char encoded[value_room];
  for (const Level level : {Level::x, Level::y, Level::z}) {
    Upper& upper = upper_[static_cast<int>(level)];
    const CiteLevel& given = citation[level];
    upper.value.assign(encoded, put_encoded(encoded, level == Level::x ? CiteLevel{given.number} : given));
    // An empty value is no value: a passage such as 1..1.2 names nothing.
    upper.held = shows(citation, level) && !upper.value.empty();
  }
}

void Passage::next_line() {
  ++line_.number;
  line_.form = CiteLevel::Form::number;
  line_.text[0] = '\0';
}

char* Passage::put_encoded_line(char* out) const { return put_encoded(out, line_); }

std::string Passage::text() const {
  std::string passage;
  for (const Level level : {Level::x, Level::y, Level::z}) {
    if (!holds(level)) continue;
    if (!passage.empty()) passage += '.';
    passage += value(level);
  }
  if (holds_line()) {
    char line[value_room];
    if (!passage.empty()) passage += '.';
    passage.append(line, put_line(line));
  }
  return passage;
}

}  // namespace scrivel
