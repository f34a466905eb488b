#pragma once

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

// Formatting commands by number, with the stack of the effects that are
// open: a closing finds its effect anywhere on the stack, command 11 closes
// them all, and the document is left with every effect closed.
class CommandStack {
 public:
  static constexpr int capacity = 256;

  CommandStack(Document& document, Messages& messages) : document_(document), messages_(messages) {}

  void printcommand(int command, int param);

 private:
  void open(int command, int param);
  void close(int command);
  void close_all();
  // Stores an opening command; false, after the overflow message, when the stack is full.
  bool add_command(int command);
  // Removes the newest open effect that `command` closes; false when none is open.
  bool remove_command(int command);

  Document& document_;
  Messages& messages_;
  int commands_[capacity] = {};
  int commands_n_ = 0;
};

}  // namespace scrivel
