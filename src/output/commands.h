#pragma once

#include "input/byte_source.h"
#include "messages.h"
#include "output/document.h"

namespace scrivel {

// The formatting command numbers. An opening command N is closed by N + 1;
// 0, 5 and 12 are no commands.
namespace formatting {
inline constexpr int percent_marker = 1;
inline constexpr int special_span_on = 2;
inline constexpr int special_span_off = 3;
inline constexpr int hash_marker = 4;
inline constexpr int subscript_on = 6;
inline constexpr int subscript_off = 7;
inline constexpr int line_break = 8;
inline constexpr int small_on = 9;
inline constexpr int close_all = 11;
inline constexpr int bold_on = 13;
inline constexpr int bold_off = 14;
inline constexpr int italic_off = 16;
inline constexpr int big_on = 17;
inline constexpr int overline_on = 19;
inline constexpr int overline_off = 20;
inline constexpr int expanded_on = 21;
inline constexpr int expanded_off = 22;
inline constexpr int superscript_on = 23;
inline constexpr int superscript_off = 24;
inline constexpr int nonbreaking_blanks = 25;
inline constexpr int code_colour_on = 26;
inline constexpr int code_colour_off = 27;
}  // namespace formatting

// Formatting commands by number, with the stack of effects that are open.
// An opening command N is closed by N + 1; command 11 closes them all.
class CommandStack {
 public:
  static constexpr int capacity = 256;

  CommandStack(Document& document, Messages& messages, const ByteSource& source)
      : document_(document), messages_(messages), source_(source) {}

  void printcommand(int command, int param);
  // Stores an opening command; false, after the overflow message, when the stack is full.
  bool add_command(int command);
  // Removes the newest open effect that `command` closes; 0 when none is open.
  int remove_command(int command);

  int commands[capacity] = {};
  int commands_n = 0;

 private:
  void open(int command, int param);
  void close(int command);
  void close_all();
  void write_marker(std::string_view rtf_text, std::string_view html_text, int param,
                    std::string_view html_end);
  void write_nonbreaking_blanks(int count);
  void write_literal(int command);

  Document& document_;
  Messages& messages_;
  const ByteSource& source_;
};

}  // namespace scrivel
