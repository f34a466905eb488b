#pragma once

#include <cstddef>
#include <string_view>

#include "output/citation.h"

namespace scrivel {

// Which levels a reference shows: x when it is given; y and z when they
// have a number or a text; the line from 2 on, or with a letter or a text,
// since most works start their lines at 1.
bool shows(const Citation& citation, Level level);
bool shows_line(const CiteLevel& line);

// Writes a level's value as a reference shows it: its number with its letter
// or text after it, or its text alone. `out` has room for CiteLevel::text_size
// + 16 characters; returns the end of what was written. A 0 letter writes
// nothing.
char* put_value(char* out, const CiteLevel& level);

// The reference that opens a line at a citation, as the documents show it:
// "[x.y.z.line]" with the levels it shows, "[]" when it shows none. Most
// lines change only the line level: what stands before it is built again
// only after a citation changed x, y or z.
class ReferenceText {
 public:
  std::string_view of(const Citation& citation);
  // After `of`: the same levels above the line, with another line.
  std::string_view with_line(const CiteLevel& line);

 private:
  void append_level(const CiteLevel& level);
  void append(char ch) { text_[length_++] = ch; }

  // Brackets, three dots, four numbers with letters and three full texts.
  char text_[4 * 16 + 3 * CiteLevel::text_size];
  std::size_t length_ = 0;
  int levels_ = 0;
  std::size_t upper_length_ = 0;  // the levels above the line, kept for the next line
  int upper_levels_ = 0;
  bool upper_known_ = false;
};

}  // namespace scrivel
