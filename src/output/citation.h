#pragma once

#include <array>

namespace scrivel {

// One level of a citation: a number, and by its form a letter after it, a
// text after it, or a text instead of it.
struct CiteLevel {
  static constexpr int text_size = 256;  // 255 characters and the terminator
  enum class Form { number, number_letter, text, number_text };

  int number = 0;  // 0 when not given
  Form form = Form::number;
  char letter = 0;  // as written; 0 writes nothing
  char text[text_size] = {};
};

// The levels of a citation, from the highest: x, y, z and the line.
enum class Level { x, y, z, line };
inline constexpr int level_count = 4;
using CiteLevels = std::array<CiteLevel, level_count>;

// The reference of the text from a citation on: every level as the codes
// left it, and the highest level that a code of this citation set or
// stepped (the line when none above it did). The levels are the tracker's
// own, valid until its next citation.
struct Citation {
  const CiteLevels& levels;
  Level changed;

  const CiteLevel& operator[](Level level) const { return levels[static_cast<int>(level)]; }
};

}  // namespace scrivel
