#include "output/commands.h"

#include <array>

namespace scrivel {
namespace {

enum class Kind { unknown, opens, closes, neither };
// What an RTF control word leaves behind: a pending delimiter, none, or nothing changed.
enum class After { nothing, need, clear };

struct Markup {
  Kind kind;
  bool blank_first;  // RTF: settle a pending delimiter before the literal
  const char* rtf;
  After after;
  const char* html;
};

// The markup of the commands that are plain literals. Commands 1, 2, 3, 4, 11
// and 25 carry a parameter or act on the stack and are written by code; their
// rows give only their kind.
constexpr std::array<Markup, 28> markup{{
    {Kind::unknown, false, "", After::nothing, ""},                                   // 0
    {Kind::neither, false, "", After::nothing, ""},                                   // 1 percent marker
    {Kind::opens, false, "", After::nothing, ""},                                     // 2 special span on
    {Kind::closes, false, "", After::nothing, ""},                                    // 3 special span off
    {Kind::neither, false, "", After::nothing, ""},                                   // 4 hash marker
    {Kind::unknown, false, "", After::nothing, ""},                                   // 5
    {Kind::opens, false, "{\\sub", After::need, "<sub>"},                             // 6
    {Kind::closes, false, "}", After::clear, "</sub>"},                               // 7
    {Kind::neither, false, "\\line\n", After::clear, "<br>\n"},                       // 8
    {Kind::opens, false, "\\fs20", After::need, "<small>"},                           // 9
    {Kind::closes, false, "\\fs24", After::need, "</small>"},                         // 10
    {Kind::neither, false, "", After::nothing, ""},                                   // 11 close all
    {Kind::unknown, false, "", After::nothing, ""},                                   // 12
    {Kind::opens, false, "\\b ", After::need, "<b>"},                                 // 13
    {Kind::closes, false, "\\b0 ", After::need, "</b>"},                              // 14
    {Kind::opens, false, "\\i", After::need, "<i>"},                                  // 15
    {Kind::closes, false, "\\i0", After::need, "</i>"},                               // 16
    {Kind::opens, false, "\\fs28", After::need, "<big>"},                             // 17
    {Kind::closes, false, "\\fs24", After::need, "</big>"},                           // 18
    {Kind::opens, true, "<hba>", After::nothing, "<span class=\"hba\">"},             // 19
    {Kind::closes, true, "</hba>", After::nothing, "</span>"},                        // 20
    {Kind::opens, false, "\\expnd8\\expndtw40", After::need, "<span class=\"exp\">"}, // 21
    {Kind::closes, false, "\\expnd0\\expndtw0", After::need, "</span>"},              // 22
    {Kind::opens, false, "{\\super", After::need, "<sup>"},                           // 23
    {Kind::closes, false, "}", After::clear, "</sup>"},                               // 24
    {Kind::neither, false, "", After::nothing, ""},                                   // 25 non-breaking blanks
    {Kind::opens, false, "\\cf1", After::need, "<span class=\"code\">"},              // 26
    {Kind::closes, false, "\\cf0", After::need, "</span>"},                           // 27
}};

}  // namespace

bool CommandStack::add_command(int command) {
  if (commands_n >= capacity) {
    messages_.printf("Error: `commands' overflow, offset:%lx\n", static_cast<unsigned long>(source_.count));
    return false;
  }
  commands[commands_n++] = command;
  return true;
}

int CommandStack::remove_command(int command) {
  const int opening = command - 1;
  for (int i = commands_n - 1; i >= 0; --i) {
    if (commands[i] != opening) continue;
    for (int j = i; j + 1 < commands_n; ++j) commands[j] = commands[j + 1];
    --commands_n;
    return 1;
  }
  return 0;
}

void CommandStack::write_marker(std::string_view rtf_text, std::string_view html_text, int param,
                                std::string_view html_end) {
  if (document_.rtf) {
    document_.rtf_space();
    document_.write(rtf_text);
    document_.write(document_.itos(param));
    document_.write(">>");
  } else {
    document_.write(html_text);
    document_.write(document_.itos(param));
    document_.write(html_end);
  }
}

void CommandStack::write_nonbreaking_blanks(int count) {
  // Two loops, so that each copies a string of known length.
  if (document_.rtf) {
    for (int i = 0; i < count; ++i) document_.write("\\~");
    document_.rtf_clearspace();
  } else {
    for (int i = 0; i < count; ++i) document_.write("&nbsp;");
  }
}

void CommandStack::close_all() {
  while (commands_n > 0) printcommand(commands[commands_n - 1] + 1, 0);
}

void CommandStack::write_literal(int command) {
  const Markup& m = markup[command];
  if (!document_.rtf) {
    document_.write(m.html);
    return;
  }
  if (m.blank_first) document_.rtf_space();
  document_.write(m.rtf);
  if (m.after == After::need) document_.rtf_needspace();
  if (m.after == After::clear) document_.rtf_clearspace();
}

// Markup that could never be closed is not written: a full stack refuses the
// effect before any of its markup reaches the document.
void CommandStack::open(int command, int param) {
  if (command == formatting::special_span_on) {
    printcommand(formatting::code_colour_on, 0);
    if (add_command(command)) write_marker("<<special ", "&lt;&lt;special ", param, "&gt;&gt;]");
    return;
  }
  if (add_command(command)) write_literal(command);
}

void CommandStack::close(int command) {
  if (!remove_command(command)) return;
  if (command != formatting::special_span_off) {
    write_literal(command);
    return;
  }
  if (document_.rtf) {
    document_.rtf_space();
    document_.write("<</special>>");
  } else {
    document_.write("&lt;&lt;/special&gt;&gt;");
  }
  printcommand(formatting::code_colour_off, 0);
}

void CommandStack::printcommand(int command, int param) {
  if (command < 0 || command >= static_cast<int>(markup.size()) || markup[command].kind == Kind::unknown) {
    messages_.printf("Error 105: `printcommand' unknown argument: %d\n", command);
    return;
  }
  switch (command) {
    case formatting::percent_marker:
      write_marker("<<%", "&lt;&lt;%", param, "&gt;&gt;");
      return;
    case formatting::hash_marker:
      write_marker("<<#", "&lt;&lt;#", param, "&gt;&gt;");
      return;
    case formatting::close_all:
      close_all();
      return;
    case formatting::nonbreaking_blanks:
      write_nonbreaking_blanks(param);
      return;
  }
  switch (markup[command].kind) {
    case Kind::opens:
      open(command, param);
      return;
    case Kind::closes:
      close(command);
      return;
    default:
      write_literal(command);
  }
}

}  // namespace scrivel
