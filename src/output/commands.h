#pragma once

#include "input/byte_source.h"
#include "messages.h"
#include "output/document.h"

namespace scrivel {

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
