#pragma once

#include <cstddef>
#include <string_view>

#include "decode/context.h"

namespace scrivel {

// One level of the reference below x: a number, and by its form a letter
// after it, a text after it, or a text instead of it.
struct CiteLevel {
  static constexpr int text_size = 256;  // 255 characters and the terminator
  enum class Form { number, number_letter, text, number_text };

  int number = 0;  // 0 when not given
  Form form = Form::number;
  char letter = 0;  // as written; 0 writes nothing
  char text[text_size] = {};
};

// The reference of the text: four levels, x, y, z and line, kept up to date
// from the runs of citation codes (bytes 0x81 to 0xBE with their operands),
// and written at the start of each new line as [x.y.z.line].
class CitationTracker {
 public:
  // Consumes the run of citation codes that begins with the current byte.
  void updateCite(Context& context);
  // Writes a line break and the current reference.
  void write_citation(Context& context);
  // The sequence BF F4 FF was seen: the next code that sets x resets the levels below it.
  void note_bf_sequence() { flagBF_ = true; }

 private:
  // The reference as it is built: never cut, whatever its texts hold.
  // Brackets, three dots, four numbers with letters and three full texts fit.
  class Reference {
   public:
    void clear() { length_ = levels_ = 0; }
    void append(char ch) {
      if (ch != '\0') text_[length_++] = ch;
    }
    void append(std::string_view s) {
      for (const char ch : s) append(ch);
    }
    void append_number(int value);
    void append_x(int x) {
      append_number(x);
      levels_ = 1;
    }
    void append_level(const CiteLevel& level);
    // The levels above line, kept to start the next line's reference from.
    void keep_upper_levels() {
      upper_length_ = length_;
      upper_levels_ = levels_;
    }
    void back_to_upper_levels() {
      length_ = upper_length_;
      levels_ = upper_levels_;
    }
    std::string_view view() const { return {text_, length_}; }

   private:
    char text_[4 * 16 + 3 * CiteLevel::text_size];
    std::size_t length_ = 0;
    int levels_ = 0;
    std::size_t upper_length_ = 0;
    int upper_levels_ = 0;
  };

  void update_upper_levels(Context& context);
  void increment_x(Context& context);
  void set_x(Context& context);
  void increment_y(Context& context);
  void set_y(Context& context);
  void increment_z(Context& context);
  void set_z(Context& context);
  void set_z_letter(Context& context, int warning_number);
  void set_line(Context& context);

  int cite_x_ = 0;
  CiteLevel cite_y_, cite_z_, cite_line_;
  bool flagBF_ = false;
  Reference reference_;
  bool upper_levels_changed_ = true;
};

}  // namespace scrivel
