#pragma once

#include "decode/stream.h"
#include "messages.h"
#include "output/commands.h"
#include "output/document.h"

namespace scrivel {

// The reference of the text: four levels, x, y, z and line, kept up to date
// from the runs of citation codes (bytes 0x81 to 0xBE with their operands),
// and written at the start of each new line as [x.y.z.line].
class CitationTracker {
 public:
  static constexpr int text_size = 256;  // 255 characters and the terminator

  CitationTracker(DecoderStream& in, Document& document, CommandStack& commands, Messages& messages)
      : in_(in), document_(document), commands_(commands), messages_(messages) {}

  // Consumes the run of citation codes that begins with the current byte.
  void updateCite();
  // Writes a line break and the current reference.
  void write_citation();

  int cite_x = 0;
  int cite_y = 0, cite_y_type = 0;
  char cite_y_text[text_size] = {};
  int cite_z = 0, cite_z_type = 0, cite_z_letter = 0;
  char cite_z_text[text_size] = {};
  int cite_line = 0, cite_line_type = 0, cite_line_letter = 0;
  char cite_line_text[text_size] = {};
  byte flagBF = 0;  // set after BF F4 FF: the next x set code resets the lower levels

 private:
  void read_next() { in_.getnextc(); }
  int read_value7();
  int read_value14();
  void read_text(char* text);
  void skip_text();
  void set_x();
  void increment_x();
  void set_y();
  void increment_y();
  void set_z();
  void increment_z();
  void set_z_letter(int warning_number);
  void set_line();
  unsigned long count() const;

  DecoderStream& in_;
  Document& document_;
  CommandStack& commands_;
  Messages& messages_;
};

}  // namespace scrivel
