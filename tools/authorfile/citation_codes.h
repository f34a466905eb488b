// Citation codes: how the author file marks where a line stands, and the ID data of the ID
// table, which is made of the same codes.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>
#include <variant>

#include "author_file_builder.h"

namespace authorfile {

// The notation's citation levels, highest first. A code's left nibble is its level (base
// byte); its right nibble says the form of the value: 1..7 the value itself, 8 a 7-bit value,
// B a 14-bit value, F a text. `text_name` is the notation's token for a textual value.
struct CitationLevel {
  std::string_view name;
  std::string_view text_name;
  unsigned char base;
};
constexpr std::array<CitationLevel, 4> citation_levels{{
    {"x", "", 0xB0},
    {"y", "ytext", 0xA0},
    {"z", "ztext", 0x90},
    {"line", "", 0x80},
}};
constexpr std::size_t line_level = 3;

constexpr int max_citation = 16383;
constexpr unsigned char terminator = 0xFF;  // ends headers and textual values

using CitationValue = std::variant<int, std::string>;

// The code of `level` with `value` in its shortest form.
void append_citation(Bytes& out, std::size_t level, const CitationValue& value);

// The author's and a work's ID: EF 80 dddd FF and EF 81 ddd FF, digits with the high bit set.
Bytes author_id(int author);
Bytes work_id(int work);

// The citation reached so far in a work: setting a level resets the levels below it to 1.
class CitationState {
 public:
  void apply(const CitationSetting& setting);
  // Every level set, highest first, so that the ID stands on its own; line 1 while none is.
  void append_id(Bytes& out) const;

 private:
  std::array<std::optional<CitationValue>, citation_levels.size()> values_;
};

}  // namespace authorfile
