#include "decode/citations.h"

#include <cstddef>

#include "input/id_data.h"

namespace scrivel {
namespace {

constexpr byte x_increment = id::code(id::x_level, id::increment);
constexpr byte y_increment = id::code(id::y_level, id::increment);
constexpr byte z_increment = id::code(id::z_level, id::increment);
// The x level's string form is no citation code here (the decoder meets it
// as the sequence BF F4 FF): codes from it up end a run.
constexpr byte past_citation_codes = id::code(id::x_level, id::string);

bool in_range(byte c, byte first, byte last) { return c >= first && c <= last; }

// Whether `c` sets `level`: a code of that level with any form but the increment.
bool sets(byte c, byte level) { return id::level_of(c) == level && id::form_of(c) != id::increment; }

int read_value7(Cursor& in) { return id::value7_of(in.next()); }

int read_value14(Cursor& in) {
  const byte high = in.next();
  return id::value14_of(high, in.next());
}

// The number of a form that carries one alone: the value itself, or one
// or two operand bytes.
int read_number(Cursor& in, byte form) {
  if (form == id::value7) return read_value7(in);
  if (form == id::value14) return read_value14(in);
  return form;
}

// Each byte of a text is stored with its high bit. The level keeps the
// first 255 characters, and a stored 0 ends the text there; the rest up to
// the string's end is read and dropped.
void read_text(Cursor& in, char* text) {
  std::size_t length = 0;
  bool open = true;
  for (in.next(); in.current() != id::string_end; in.next()) {
    const char ch = id::character_of(in.current());
    if (ch == '\0') open = false;
    if (open && length < CiteLevel::text_size - 1) text[length++] = ch;
  }
  text[length] = '\0';
}

void skip_text(Cursor& in) {
  do in.next();
  while (in.current() != id::string_end);
}

}  // namespace

void CitationTracker::increment_x(Context& context) {
  if (cite_x_.number == 0) {
    context.messages.warning(202, ": 0xB0 encounterd but cite_x is undefined, count:%lX\n", context.messages.offset());
    return;
  }
  ++cite_x_.number;
  cite_y_.number = cite_z_.number = cite_line_.number = 1;
}

// A form that carries a number alone: the value itself, 7 or 14 bits.
bool number_alone(byte form) {
  return (form != id::increment && form <= id::largest_small_value) || form == id::value7 || form == id::value14;
}

void CitationTracker::set_x(Context& context) {
  const byte code = context.in.current();
  if (number_alone(id::form_of(code))) {
    cite_x_.number = read_number(context.in, id::form_of(code));
  } else {
    context.messages.warning(204, ": unknown `cite_x' code: %#x, offset:%lX\n", code, context.messages.offset());
  }
}

void CitationTracker::increment_y(Context& context) {
  if (cite_y_.number == 0) {
    context.messages.warning(205, ": `0xA0' encounterd but `cite_y' is undefined, offset:%lX\n",
                             context.messages.offset());
    return;
  }
  ++cite_y_.number;
  cite_z_.number = cite_line_.number = 1;
}

void CitationTracker::set_y(Context& context) {
  const byte code = context.in.current();
  cite_y_.form = CiteLevel::Form::number;
  cite_z_.number = cite_line_.number = 1;
  const byte form = id::form_of(code);
  if (number_alone(form)) {
    cite_y_.number = read_number(context.in, form);
  } else if (form == id::string) {
    cite_y_.form = CiteLevel::Form::text;
    read_text(context.in, cite_y_.text);
  } else {
    context.messages.warning(207, ": unknown `cite_y' code: %#x, offset:%lX\n", code, context.messages.offset());
  }
}

// The letter of the z level's number-and-letter forms: a to o.
void CitationTracker::set_z_letter(Context& context, int warning_number) {
  const byte c = context.in.next();
  if (id::has_high_bit(c) && in_range(id::character_of(c), 'a', 'o')) {
    cite_z_.form = CiteLevel::Form::number_letter;
    cite_z_.letter = id::character_of(c);
  } else if (warning_number == 210) {
    context.messages.warning(210, ": unknown `cite_z' 99 type: %x, offset:%lX\n", c, context.messages.offset());
  } else {
    context.messages.warning(212, ":unknown `cite_z' 9C type: %x, offset:%lX\n", c, context.messages.offset());
  }
}

void CitationTracker::increment_z(Context& context) {
  if (cite_z_.number == 0) {
    context.messages.warning(208, ": 0x90 encounterd but `cite_z' is undefined, offset:%lX\n",
                             context.messages.offset());
    cite_z_.number = 1;
    return;
  }
  if (cite_z_.form == CiteLevel::Form::number_letter) {
    // The next letter; past the byte's range it wraps, and a 0 writes nothing.
    cite_z_.letter = static_cast<char>(cite_z_.letter + 1);
  } else if (cite_z_.form == CiteLevel::Form::text) {
    // The next text: its first character raised by one. An empty text has
    // no first character and stays empty.
    char* text = cite_z_.text;
    if (text[0] != '\0') {
      text[0] = static_cast<char>(text[0] + 1);
      if (text[0] != '\0' && text[1] != '\0')
        context.messages.warning(209, ": 0x90 on `cite_z_text'=%s, offset:%lX\n", text, context.messages.offset());
    }
  } else {
    ++cite_z_.number;
  }
  cite_line_.number = 1;
}

void CitationTracker::set_z(Context& context) {
  Cursor& in = context.in;
  const byte code = in.current();
  const byte form = id::form_of(code);
  if (number_alone(form)) {
    cite_z_.number = read_number(in, form);
    cite_z_.form = CiteLevel::Form::number;
  } else if (form == id::value7_character) {
    cite_z_.number = read_value7(in);
    set_z_letter(context, 210);
  } else if (form == id::value7_string || form == id::value14_string) {
    cite_z_.form = CiteLevel::Form::number_text;
    cite_z_.number = form == id::value7_string ? read_value7(in) : read_value14(in);
    read_text(in, cite_z_.text);
  } else if (form == id::value14_character) {
    const byte high = in.next();
    if (!id::has_high_bit(high))
      context.messages.warning(210, ": `cite_z' 9C type: unexpected parameter: %#x, offset:%lX\n", high,
                               context.messages.offset());
    const byte low = in.next();
    if (!id::has_high_bit(low))
      context.messages.warning(211, ": `cite_z' 9C type: unexpected parameter: %#x, offset:%lX\n", low,
                               context.messages.offset());
    cite_z_.number = id::value14_of(high, low);
    set_z_letter(context, 212);
  } else if (form == id::string) {
    cite_z_.form = CiteLevel::Form::text;
    read_text(in, cite_z_.text);
  } else {
    context.messages.warning(213, ":unknown `cite_z' type: %x, offset:%lX\n", code, context.messages.offset());
  }
}

void CitationTracker::set_line(Context& context) {
  Cursor& in = context.in;
  const byte code = in.current();
  const byte form = id::form_of(code);
  if (number_alone(form)) {
    cite_line_.number = read_number(in, form);
    cite_line_.form = CiteLevel::Form::number;
  } else if (form == id::value7_character) {
    cite_line_.number = read_value7(in);
    const byte letter = in.next();
    if (id::has_high_bit(letter) && in_range(id::character_of(letter), 'A', 'z')) {
      cite_line_.form = CiteLevel::Form::number_letter;
      cite_line_.letter = id::character_of(letter);
    } else {
      context.messages.warning(214, ": unknown `cite_line' 99 type: %X, offset:%lX\n", letter,
                               context.messages.offset());
    }
  } else if (form == id::value7_string || form == id::value14_string) {
    cite_line_.form = CiteLevel::Form::number_text;
    cite_line_.number = form == id::value7_string ? read_value7(in) : read_value14(in);
    read_text(in, cite_line_.text);
  } else if (form == id::string) {
    skip_text(in);
  } else {
    context.messages.warning(215, ": unknown `cite_line' type: %x, offset:%lX\n", code, context.messages.offset());
  }
}

// A run takes, for each of the levels x, y and z, at most one increment and
// then one set code, each followed by a byte read ahead, and ends with a line
// code or with the first byte that fits no remaining step, which is pushed back.
void CitationTracker::read_codes(Context& context) {
  Cursor& in = context.in;
  changed_ = Level::line;
  if (in.current() >= past_citation_codes) {
    context.messages.warning(201, ": updateCite: unknown parameter: %#x, count:%lX\n", in.current(),
                             context.messages.offset());
    return;
  }
  if (in.current() >= z_increment) update_upper_levels(context);
  if (in.current() == id::string_end) in.next();
  if (sets(in.current(), id::line_level)) {
    set_line(context);
  } else {
    in.push_back();
  }
  after_bf_sequence_ = false;
}

void CitationTracker::update_upper_levels(Context& context) {
  Cursor& in = context.in;
  changed_ = in.current() >= x_increment ? Level::x : in.current() >= y_increment ? Level::y : Level::z;
  if (in.current() == x_increment) {
    increment_x(context);
    in.next();
  }
  if (sets(in.current(), id::x_level) && in.current() != past_citation_codes) {
    set_x(context);
    in.next();
    if (after_bf_sequence_) cite_y_.number = cite_z_.number = cite_line_.number = 1;
  }
  if (in.current() == y_increment) {
    increment_y(context);
    in.next();
  }
  if (sets(in.current(), id::y_level)) {
    set_y(context);
    in.next();
  }
  if (in.current() == z_increment) {
    increment_z(context);
    in.next();
  }
  if (sets(in.current(), id::z_level)) {
    set_z(context);
    cite_line_.number = 1;
    in.next();
  }
}

void CitationTracker::report_citation(Context& context) { context.sink.citation({levels_, changed_}); }

}  // namespace scrivel
