#include "output/commands.h"

#include <array>

namespace scrivel {
namespace {

enum class Kind { neither, opens, closes };

// What each command number does to the stack; 0, 5 and 12 are no commands.
constexpr std::array<Kind, 28> kinds = {
    Kind::neither, Kind::neither, Kind::opens,  Kind::closes, Kind::neither, Kind::neither, Kind::opens,
    Kind::closes,  Kind::neither, Kind::opens,  Kind::closes, Kind::neither, Kind::neither, Kind::opens,
    Kind::closes,  Kind::opens,   Kind::closes, Kind::opens,  Kind::closes,  Kind::opens,   Kind::closes,
    Kind::opens,   Kind::closes,  Kind::opens,  Kind::closes, Kind::neither, Kind::opens,   Kind::closes,
};

}  // namespace

bool CommandStack::add_command(int command) {
  if (commands_n_ >= capacity) {
    messages_.printf("Error: `commands' overflow, offset:%lx\n", messages_.offset());
    return false;
  }
  commands_[commands_n_++] = command;
  return true;
}

bool CommandStack::remove_command(int command) {
  const int opening = command - 1;
  for (int i = commands_n_ - 1; i >= 0; --i) {
    if (commands_[i] != opening) continue;
    for (int j = i; j + 1 < commands_n_; ++j) commands_[j] = commands_[j + 1];
    --commands_n_;
    return true;
  }
  return false;
}

void CommandStack::close_all() {
  while (commands_n_ > 0) printcommand(commands_[commands_n_ - 1] + 1, 0);
}

// Markup that could never be closed is not written: a full stack refuses the
// effect before any of its markup reaches the document.
void CommandStack::open(int command, int param) {
  if (command == formatting::special_span_on) {
    printcommand(formatting::code_colour_on, 0);
    if (add_command(command)) document_.write_marker(MarkerKind::special, param);
    return;
  }
  if (add_command(command)) document_.write_command(command);
}

void CommandStack::close(int command) {
  if (!remove_command(command)) return;
  if (command != formatting::special_span_off) {
    document_.write_command(command);
    return;
  }
  document_.write_special_end();
  printcommand(formatting::code_colour_off, 0);
}

// `command` is one of the numbers in `formatting`: the decoder issues no other.
void CommandStack::printcommand(int command, int param) {
  switch (command) {
    case formatting::percent_marker:
      document_.write_marker(MarkerKind::percent, param);
      return;
    case formatting::hash_marker:
      document_.write_marker(MarkerKind::hash, param);
      return;
    case formatting::close_all:
      close_all();
      return;
    case formatting::nonbreaking_blanks:
      document_.write_nonbreaking_blanks(param);
      return;
  }
  switch (kinds[command]) {
    case Kind::opens:
      open(command, param);
      return;
    case Kind::closes:
      close(command);
      return;
    default:
      document_.write_command(command);
  }
}

}  // namespace scrivel
