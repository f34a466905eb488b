#pragma once

#include <array>
#include <charconv>
#include <cstddef>
#include <cstring>
#include <string_view>

#include "output/citation.h"
#include "output/verbatim.h"

namespace scrivel {

// Which levels a reference shows: x when it is given; y and z when they
// have a number or a text; the line from 2 on, or with a letter or a text,
// since most works start their lines at 1.
bool shows(const Citation& citation, Level level);
bool shows_line(const CiteLevel& line);

// Decimal forms of 0 to 999, the numbers of almost every reference: four
// bytes to copy whole, of which `length` count.
struct Decimal {
  char digits[3];
  char length;
};
inline constexpr std::array<Decimal, 1000> decimals = [] {
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

// Writes the decimal text of a number; `out` has room for 16 characters.
// Returns the end of what was written.
inline char* put_number(char* out, int value) {
  if (value >= 0 && value < static_cast<int>(decimals.size())) [[likely]] {
    std::memcpy(out, &decimals[value], sizeof(Decimal));
    return out + decimals[value].length;
  }
  return std::to_chars(out, out + 16, value).ptr;
}

// Writes a level's value as a reference shows it: its number with its letter
// or text after it, or its text alone. `out` has room for CiteLevel::text_size
// + 16 characters; returns the end of what was written. A 0 letter writes
// nothing.
char* put_value(char* out, const CiteLevel& level);

// A reference as written, and whether it is all bytes that the renderer
// writes as they stand, so that it may copy it whole.
struct Reference {
  // A reference of at most this many bytes may be copied as this many: its
  // text stands at the start of a buffer that holds them.
  static constexpr std::size_t short_size = 16;

  std::string_view text;
  bool plain;
};

// The reference that opens a line at a citation, as the documents show it:
// "[x.y.z.line]" with the levels it shows, "[]" when it shows none. Most
// lines change only the line level: what stands before it is built again
// only after a citation changed x, y or z.
class ReferenceText {
 public:
  // For a renderer that writes `verbatim` as they stand.
  explicit ReferenceText(const VerbatimBytes& verbatim) : verbatim_(verbatim) {}

  Reference of(const Citation& citation);
  // After `of`: the same levels above the line, with another line.
  Reference with_line(const CiteLevel& line);

 private:
  void append_level(const CiteLevel& level);
  void append(char ch) { text_[length_++] = ch; }

  // Brackets, three dots, four numbers with letters and three full texts.
  char text_[4 * 16 + 3 * CiteLevel::text_size];
  static_assert(sizeof text_ >= Reference::short_size);
  const VerbatimBytes& verbatim_;
  std::size_t length_ = 0;
  int levels_ = 0;
  bool plain_ = true;
  std::size_t upper_length_ = 0;  // the levels above the line, kept for the next line
  int upper_levels_ = 0;
  bool upper_plain_ = true;
  bool upper_known_ = false;
};

}  // namespace scrivel
