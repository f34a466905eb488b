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
constexpr std::array<int, 23> special_characters = {
    0x0374, 0x03DE, 0x03DA, 0x03DE, 0x03DE, 0x03E0, 0x2014, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x0375};

// `[` and `]` with a number: the opening and the closing character (0 where
// the number has code of its own or no entry).
struct BracketPair {
  int opening;
  int closing;
};
constexpr std::array<BracketPair, 6> brackets = {{{'[', ']'}, {'(', ')'}, {'<', '>'}, {'{', '}'}, {0, 0}, {'[', ']'}}};

// `$` with a number: what it does to the effects, in order. $0 and $9 close
// every effect; $8 closes italics, which no sign opens.
struct StyleStep {
  enum class Kind { none, open, close, close_all } kind = Kind::none;
  Effect effect = Effect::bold;
};
struct GreekStyle {
  int param;
  std::array<StyleStep, 2> steps;
};
constexpr StyleStep opens(Effect effect) { return {StyleStep::Kind::open, effect}; }
constexpr StyleStep closes(Effect effect) { return {StyleStep::Kind::close, effect}; }
constexpr StyleStep closes_all = {StyleStep::Kind::close_all};
constexpr std::array<GreekStyle, 10> greek_styles = {{
    {0, {closes_all}},
    {9, {closes_all}},
    {1, {opens(Effect::bold)}},
    {4, {opens(Effect::superscript)}},
    {8, {closes(Effect::italic)}},
    {10, {opens(Effect::small)}},
    {11, {opens(Effect::small), opens(Effect::bold)}},
    {14, {opens(Effect::small), opens(Effect::superscript)}},
    {20, {opens(Effect::big)}},
    {21, {opens(Effect::big), opens(Effect::bold)}},
}};

// `<` and `>` with a number: the effect of the span they open and close.
struct Span {
  int param;
  Effect effect;
};
constexpr std::array<Span, 4> spans = {{
    {0, Effect::overline},
    {6, Effect::superscript},
    {7, Effect::subscript},
    {20, Effect::expanded},
}};

void take(CommandStack& commands, const StyleStep& step) {
  switch (step.kind) {
    case StyleStep::Kind::open: commands.open(step.effect); break;
    case StyleStep::Kind::close: commands.close(step.effect); break;
    case StyleStep::Kind::close_all: commands.close_all(); break;
    case StyleStep::Kind::none: break;
  }
}

}  // namespace

void SignHandlers::handle(Context& context) {
  sign_ = context.in.current();
  switch (sign_) {
    case '"': quotation_mark(context); break;
    case '#': special_character(context); break;
    case '$': greek_style(context); break;
    case '%': punctuation(context); break;
    case '&':
      context.in.read_number(2, "&");
      in_latin_ = true;
      break;
    case ':': context.sink.character(ano_teleia); break;
    case ';': context.sink.character(greek_question_mark); break;
    case '<':
    case '>': markup_span(context); break;
    case '@':
      if (context.in.read_number(2, "@") == 0) context.sink.nonbreaking_blanks(3);
      break;
    case '[':
    case ']': bracket(context); break;
    case '^': context.sink.spaces(context.in.read_number(3, "^") / 4); break;
    case '_': context.sink.character('-'); break;
    case '{':
    case '}': brace(context); break;
    default: break;  // the grave accent stands for nothing
  }
}

void SignHandlers::alternate(Context& context, bool& open, int opening, int closing) {
  context.sink.character(open ? closing : opening);
  open = !open;
}

void SignHandlers::quotation_mark(Context& context) {
  const int n = context.in.read_number(1, "\"");
  switch (n) {
    case 3: alternate(context, qm3open_, 0x2018, 0x2019); return;
    case 6: alternate(context, qm6open_, 0x00AB, 0x00BB); return;
    case 7: alternate(context, qm7open_, '<', '>'); return;
    case 8: alternate(context, qm8open_, 0x201C, 0x201E); return;
    default: break;
  }
  if (n >= 0 && n < static_cast<int>(quotation_marks.size())) {
    context.sink.character(quotation_marks[n]);
  } else {
    context.messages.error(104, ": after \", offset:%lX\n", context.messages.offset());
  }
}

void SignHandlers::special_character(Context& context) {
  const int n = context.in.read_number(3, "#");
  if (n >= 0 && n < static_cast<int>(special_characters.size()) && special_characters[n] != 0) {
    context.sink.character(special_characters[n]);
    return;
  }
  context.commands.open(Effect::code_colour);
  context.sink.marker(MarkerKind::hash, n);
  context.commands.close(Effect::code_colour);
}

void SignHandlers::greek_style(Context& context) {
  const int n = context.in.read_number(2, "$");
  bool known = false;
  for (const GreekStyle& style : greek_styles) {
    if (style.param != n) continue;
    known = true;
    for (const StyleStep& step : style.steps) take(context.commands, step);
  }
  if (!known) context.messages.warning(8, ": $%d was ignored, count=%lX\n", n, context.messages.offset());
  in_latin_ = false;
}

void SignHandlers::punctuation(Context& context) {
  const int n = context.in.read_number(3, "%");
  if (n >= 0 && n < static_cast<int>(punctuation_marks.size()) && punctuation_marks[n] != 0) {
    context.sink.character(punctuation_marks[n]);
  } else if (n >= 30 && n <= 41) {
    context.sink.character(punctuation30[n - 30]);
  } else if (n != silent_punctuation) {
    context.messages.warning(3, ": Not supported punctuation mark `%%%d', offset:%lX\n", n, context.messages.offset());
    context.commands.open(Effect::code_colour);
    context.sink.marker(MarkerKind::percent, n);
    context.commands.close(Effect::code_colour);
  }
}

void SignHandlers::markup_span(Context& context) {
  const int n = context.in.read_number(3, "< or >");
  const bool opening = sign_ == '<';
  Effect effect = Effect::unrendered_span;
  for (const Span& span : spans)
    if (span.param == n) effect = span.effect;
  if (opening) {
    context.commands.open(effect, n);
  } else {
    context.commands.close(effect);
  }
}

void SignHandlers::bracket(Context& context) {
  const int n = context.in.read_number(2, "[ or ]");
  const bool opening = sign_ == '[';
  Sink& sink = context.sink;
  if (n == 4) {
    sink.text(opening ? "[[" : "]]");
  } else if (n == 9) {
    context.commands.open(Effect::superscript);
    sink.character(middle_dot);
    context.commands.close(Effect::superscript);
  } else if (n == 11) {
    context.commands.open(Effect::subscript);
    sink.character(opening ? '(' : ')');
    context.commands.close(Effect::subscript);
  } else if (n >= 0 && n < static_cast<int>(brackets.size())) {
    sink.character(opening ? brackets[n].opening : brackets[n].closing);
  } else {
    context.messages.warning(6, ": Not supported [ or ] with param %d, offset:%lX\n", n, context.messages.offset());
    sink.character(sign_);
    sink.number(n);
  }
}

void SignHandlers::brace(Context& context) {
  const bool opening = sign_ == '{';
  const int n = context.in.read_number(2, opening ? "{" : "}");
  if (n == 0) {
    context.sink.character(sign_);
  } else if (n == 1) {
    if (opening) {
      context.commands.open(Effect::bold);
    } else {
      context.commands.close(Effect::bold);
    }
  } else {
    unsupported_brace(context, n);
  }
}

void SignHandlers::unsupported_brace(Context& context, int n) {
  const unsigned long offset = context.messages.offset();
  if (sign_ == '{') {
    context.messages.warning(4, ": Not supported non-text mark `{%d', offset:%lX\n", n, offset);
  } else {
    context.messages.warning(5, ": Not supported non-text mark `}%d', offset:%lX\n", n, offset);
  }
  context.commands.open(Effect::code_colour);
  context.sink.character(sign_);
  context.sink.number(n);
  context.commands.close(Effect::code_colour);
}

}  // namespace scrivel
