#include "decode/signs.h"

#include <array>

namespace scrivel {
namespace {

constexpr int ano_teleia = 0x0387;
constexpr int greek_question_mark = 0x037E;
constexpr int middle_dot = 0x00B7;

// `"` with a number: the fixed quotation marks (0 where the mark alternates).
constexpr std::array<int, 9> quotation_marks = {0x0022, 0x201E, 0x201D, 0, 0x201A, 0x2019, 0, 0, 0};

// `%` 0 to 19 (0 where there is no entry).
constexpr std::array<int, 20> punctuation_marks = {0x2020, 0x003F, 0x002A, 0x002F, 0x0021, 0x007C, 0x003D,
                                                   0x002B, 0x0025, 0x0026, 0x003A, 0x2022, 0x00A4, 0x2021,
                                                   0x00A7, 0,      0,      0,      0,      0x002D};
constexpr int silent_punctuation = 93;

// `#` with a number (0 where there is no entry).
constexpr std::array<int, 23> special_characters = {0x0374, 0x03DE, 0x03DA, 0x03DE, 0x03DE, 0x03E0, 0x2014, 0,
                                                    0,      0,      0,      0,      0,      0,      0,      0,
                                                    0,      0,      0,      0,      0,      0,      0x0375};

// `[` and `]` with a number: the opening and the closing character (0 where
// the number has code of its own or no entry).
struct BracketPair {
  int opening;
  int closing;
};
constexpr std::array<BracketPair, 6> brackets = {{{'[', ']'}, {'(', ')'}, {'<', '>'}, {'{', '}'}, {0, 0}, {'[', ']'}}};

// `$` with a number: the formatting commands it issues, in order.
struct GreekStyle {
  int param;
  std::array<int, 3> commands;
};
constexpr std::array<GreekStyle, 10> greek_styles = {{
    {0, {formatting::close_all, formatting::bold_off, formatting::superscript_off}},
    {9, {formatting::close_all, formatting::bold_off, formatting::superscript_off}},
    {1, {formatting::bold_on, 0, 0}},
    {4, {formatting::superscript_on, 0, 0}},
    {8, {formatting::italic_off, 0, 0}},
    {10, {formatting::small_on, 0, 0}},
    {11, {formatting::small_on, formatting::bold_on, 0}},
    {14, {formatting::small_on, formatting::superscript_on, 0}},
    {20, {formatting::big_on, 0, 0}},
    {21, {formatting::big_on, formatting::bold_on, 0}},
}};

// `<` and `>` with a number: the span's opening and closing commands.
struct Span {
  int param;
  int on;
  int off;
};
constexpr std::array<Span, 4> spans = {{
    {0, formatting::overline_on, formatting::overline_off},
    {6, formatting::superscript_on, formatting::superscript_off},
    {7, formatting::subscript_on, formatting::subscript_off},
    {20, formatting::expanded_on, formatting::expanded_off},
}};

}  // namespace

int SignHandlers::read_number(int num, const char* what) {
  in_.ReadAtMost(num, what, &param);
  return param;
}

void SignHandlers::handle() {
  composer_.mnw();
  composer_.resetflags();
  savec = in_.c;
  switch (savec) {
    case '"': quotation_mark(); break;
    case '#': special_character(); break;
    case '$': greek_style(); break;
    case '%': punctuation(); break;
    case '&': latin(); break;
    case ':': document_.print(ano_teleia); break;
    case ';': document_.print(greek_question_mark); break;
    case '<': case '>': markup_span(); break;
    case '@': nonbreaking_blanks(); break;
    case '[': case ']': bracket(); break;
    case '^': spaces(); break;
    case '_': document_.print('-'); break;
    case '{': case '}': brace(); break;
    default: break;  // the grave accent: nothing but the flush
  }
}

void SignHandlers::alternate(byte& open, int opening, int closing) {
  document_.print(open ? closing : opening);
  open = !open;
}

void SignHandlers::quotation_mark() {
  const int n = read_number(1, "\"");
  switch (n) {
    case 3: alternate(qm3open, 0x2018, 0x2019); return;
    case 6: alternate(qm6open, 0x00AB, 0x00BB); return;
    case 7: alternate(qm7open, '<', '>'); return;
    case 8: alternate(qm8open, 0x201C, 0x201E); return;
    default: break;
  }
  if (n >= 0 && n < static_cast<int>(quotation_marks.size())) {
    document_.print(quotation_marks[n]);
  } else {
    messages_.printf("Error 104: after \", offset:%lX\n", count());
  }
}

void SignHandlers::special_character() {
  const int n = read_number(3, "#");
  if (n >= 0 && n < static_cast<int>(special_characters.size()) && special_characters[n] != 0) {
    document_.print(special_characters[n]);
    return;
  }
  commands_.printcommand(formatting::code_colour_on, 0);
  commands_.printcommand(formatting::hash_marker, n);
  commands_.printcommand(formatting::code_colour_off, 0);
}

void SignHandlers::greek_style() {
  const int n = read_number(2, "$");
  bool known = false;
  for (const GreekStyle& style : greek_styles) {
    if (style.param != n) continue;
    known = true;
    for (const int command : style.commands)
      if (command != 0) commands_.printcommand(command, 0);
  }
  if (!known) messages_.printf("Warning 008: $%d was ignored, count=%lX\n", n, count());
  RomanFont = 0;
}

void SignHandlers::latin() {
  read_number(2, "&");
  RomanFont = 1;
}

void SignHandlers::punctuation() {
  const int n = read_number(3, "%");
  if (n >= 0 && n < static_cast<int>(punctuation_marks.size()) && punctuation_marks[n] != 0) {
    document_.print(punctuation_marks[n]);
  } else if (n >= 30 && n <= 41) {
    document_.print(punctuation30[n - 30]);
  } else if (n != silent_punctuation) {
    messages_.printf("Warning 003: Not supported punctuation mark `%%%d', offset:%lX\n", n, count());
    commands_.printcommand(formatting::code_colour_on, 0);
    commands_.printcommand(formatting::percent_marker, n);
    commands_.printcommand(formatting::code_colour_off, 0);
  }
}

void SignHandlers::markup_span() {
  const int n = read_number(3, "< or >");
  const bool opening = savec == '<';
  for (const Span& span : spans) {
    if (span.param == n) {
      commands_.printcommand(opening ? span.on : span.off, 0);
      return;
    }
  }
  commands_.printcommand(opening ? formatting::special_span_on : formatting::special_span_off, n);
}

void SignHandlers::nonbreaking_blanks() {
  if (read_number(2, "@") == 0) commands_.printcommand(formatting::nonbreaking_blanks, 3);
}

void SignHandlers::bracket() {
  const int n = read_number(2, "[ or ]");
  const bool opening = savec == '[';
  if (n == 4) {
    document_.printstring(opening ? "[[" : "]]");
  } else if (n == 9) {
    commands_.printcommand(formatting::superscript_on, 0);
    document_.print(middle_dot);
    commands_.printcommand(formatting::superscript_off, 0);
  } else if (n == 11) {
    commands_.printcommand(formatting::subscript_on, 0);
    document_.print(opening ? '(' : ')');
    commands_.printcommand(formatting::subscript_off, 0);
  } else if (n >= 0 && n < static_cast<int>(brackets.size())) {
    document_.print(opening ? brackets[n].opening : brackets[n].closing);
  } else {
    messages_.printf("Warning 006: Not supported [ or ] with param %d, offset:%lX\n", n, count());
    document_.print(savec);
    document_.printstring(document_.itos(n));
  }
}

void SignHandlers::spaces() { document_.printspaces(read_number(3, "^") / 4); }

void SignHandlers::brace() {
  const bool opening = savec == '{';
  const int n = read_number(2, opening ? "{" : "}");
  if (n == 0) {
    document_.print(savec);
  } else if (n == 1) {
    commands_.printcommand(opening ? formatting::bold_on : formatting::bold_off, 0);
  } else {
    unsupported_brace(n);
  }
}

void SignHandlers::unsupported_brace(int n) {
  if (savec == '{') {
    messages_.printf("Warning 004: Not supported non-text mark `{%d', offset:%lX\n", n, count());
  } else {
    messages_.printf("Warning 005: Not supported non-text mark `}%d', offset:%lX\n", n, count());
  }
  commands_.printcommand(formatting::code_colour_on, 0);
  document_.print(savec);
  document_.printstring(document_.itos(n));
  commands_.printcommand(formatting::code_colour_off, 0);
}

}  // namespace scrivel
