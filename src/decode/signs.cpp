#include "decode/signs.h"

#include <array>

namespace scrivel {
namespace {

constexpr int ano_teleia = 0x0387;
constexpr int greek_question_mark = 0x037E;
constexpr int middle_dot = 0x00B7;

// `%` 30 to 41: free-standing diacritic marks.
constexpr std::array<int, 12> punctuation30 = {0x1FBF, 0x1FFE, 0x00B4, 0x0060, 0x1FC0, 0x1FCE,
                                               0x1FDE, 0x1FDD, 0x1FDF, 0x00A8, 0x02D8, 0x02C9};

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

void SignHandlers::handle(Context& context) {
  savec_ = context.in.c();
  switch (savec_) {
    case '"': quotation_mark(context); break;
    case '#': special_character(context); break;
    case '$': greek_style(context); break;
    case '%': punctuation(context); break;
    case '&':
      context.in.ReadAtMost(2, "&");
      RomanFont_ = true;
      break;
    case ':': context.document.print(ano_teleia); break;
    case ';': context.document.print(greek_question_mark); break;
    case '<': case '>': markup_span(context); break;
    case '@':
      if (context.in.ReadAtMost(2, "@") == 0) context.commands.printcommand(formatting::nonbreaking_blanks, 3);
      break;
    case '[': case ']': bracket(context); break;
    case '^': context.document.printspaces(context.in.ReadAtMost(3, "^") / 4); break;
    case '_': context.document.print('-'); break;
    case '{': case '}': brace(context); break;
    default: break;  // the grave accent stands for nothing
  }
}

void SignHandlers::alternate(Context& context, bool& open, int opening, int closing) {
  context.document.print(open ? closing : opening);
  open = !open;
}

void SignHandlers::quotation_mark(Context& context) {
  const int n = context.in.ReadAtMost(1, "\"");
  switch (n) {
    case 3: alternate(context, qm3open_, 0x2018, 0x2019); return;
    case 6: alternate(context, qm6open_, 0x00AB, 0x00BB); return;
    case 7: alternate(context, qm7open_, '<', '>'); return;
    case 8: alternate(context, qm8open_, 0x201C, 0x201E); return;
    default: break;
  }
  if (n >= 0 && n < static_cast<int>(quotation_marks.size())) {
    context.document.print(quotation_marks[n]);
  } else {
    context.messages.printf("Error 104: after \", offset:%lX\n", context.messages.offset());
  }
}

void SignHandlers::special_character(Context& context) {
  const int n = context.in.ReadAtMost(3, "#");
  if (n >= 0 && n < static_cast<int>(special_characters.size()) && special_characters[n] != 0) {
    context.document.print(special_characters[n]);
    return;
  }
  context.commands.printcommand(formatting::code_colour_on, 0);
  context.commands.printcommand(formatting::hash_marker, n);
  context.commands.printcommand(formatting::code_colour_off, 0);
}

void SignHandlers::greek_style(Context& context) {
  const int n = context.in.ReadAtMost(2, "$");
  bool known = false;
  for (const GreekStyle& style : greek_styles) {
    if (style.param != n) continue;
    known = true;
    for (const int command : style.commands)
      if (command != 0) context.commands.printcommand(command, 0);
  }
  if (!known) context.messages.printf("Warning 008: $%d was ignored, count=%lX\n", n, context.messages.offset());
  RomanFont_ = false;
}

void SignHandlers::punctuation(Context& context) {
  const int n = context.in.ReadAtMost(3, "%");
  if (n >= 0 && n < static_cast<int>(punctuation_marks.size()) && punctuation_marks[n] != 0) {
    context.document.print(punctuation_marks[n]);
  } else if (n >= 30 && n <= 41) {
    context.document.print(punctuation30[n - 30]);
  } else if (n != silent_punctuation) {
    context.messages.printf("Warning 003: Not supported punctuation mark `%%%d', offset:%lX\n", n,
                            context.messages.offset());
    context.commands.printcommand(formatting::code_colour_on, 0);
    context.commands.printcommand(formatting::percent_marker, n);
    context.commands.printcommand(formatting::code_colour_off, 0);
  }
}

void SignHandlers::markup_span(Context& context) {
  const int n = context.in.ReadAtMost(3, "< or >");
  const bool opening = savec_ == '<';
  for (const Span& span : spans) {
    if (span.param == n) {
      context.commands.printcommand(opening ? span.on : span.off, 0);
      return;
    }
  }
  context.commands.printcommand(opening ? formatting::special_span_on : formatting::special_span_off, n);
}

void SignHandlers::bracket(Context& context) {
  const int n = context.in.ReadAtMost(2, "[ or ]");
  const bool opening = savec_ == '[';
  Document& document = context.document;
  if (n == 4) {
    document.printstring(opening ? "[[" : "]]");
  } else if (n == 9) {
    context.commands.printcommand(formatting::superscript_on, 0);
    document.print(middle_dot);
    context.commands.printcommand(formatting::superscript_off, 0);
  } else if (n == 11) {
    context.commands.printcommand(formatting::subscript_on, 0);
    document.print(opening ? '(' : ')');
    context.commands.printcommand(formatting::subscript_off, 0);
  } else if (n >= 0 && n < static_cast<int>(brackets.size())) {
    document.print(opening ? brackets[n].opening : brackets[n].closing);
  } else {
    context.messages.printf("Warning 006: Not supported [ or ] with param %d, offset:%lX\n", n,
                            context.messages.offset());
    document.print(savec_);
    document.printstring(document.itos(n));
  }
}

void SignHandlers::brace(Context& context) {
  const bool opening = savec_ == '{';
  const int n = context.in.ReadAtMost(2, opening ? "{" : "}");
  if (n == 0) {
    context.document.print(savec_);
  } else if (n == 1) {
    context.commands.printcommand(opening ? formatting::bold_on : formatting::bold_off, 0);
  } else {
    unsupported_brace(context, n);
  }
}

void SignHandlers::unsupported_brace(Context& context, int n) {
  const unsigned long offset = context.messages.offset();
  if (savec_ == '{') {
    context.messages.printf("Warning 004: Not supported non-text mark `{%d', offset:%lX\n", n, offset);
  } else {
    context.messages.printf("Warning 005: Not supported non-text mark `}%d', offset:%lX\n", n, offset);
  }
  context.commands.printcommand(formatting::code_colour_on, 0);
  context.document.print(savec_);
  context.document.printstring(context.document.itos(n));
  context.commands.printcommand(formatting::code_colour_off, 0);
}

}  // namespace scrivel
