#include "decode/citations.h"

#include <cstddef>

namespace scrivel {
namespace {

// A citation code's high nibble is its level, its low nibble its form.
constexpr byte x_increment = 0xB0;
constexpr byte y_increment = 0xA0;
constexpr byte z_increment = 0x90;
constexpr byte text_end = 0xFF;

bool in_range(byte c, byte first, byte last) { return c >= first && c <= last; }

// The operands: a 7-bit number in one byte with its high bit set, a 14-bit
// number in two such bytes, and a text up to FF.
int read_value7(Cursor& in) { return in.getnextc() - 0x80; }

int read_value14(Cursor& in) {
  const byte high = in.getnextc();
  return high * 128 + in.getnextc() - 0x4080;
}

// Each byte of a text is stored without its high bit. The level keeps the
// first 255 characters, and a stored 0 ends the text there; the rest up to
// FF is read and dropped.
void read_text(Cursor& in, char* text) {
  std::size_t length = 0;
  bool open = true;
  for (in.getnextc(); in.c() != text_end; in.getnextc()) {
    const char ch = static_cast<char>(in.c() - 0x80);
    if (ch == '\0') open = false;
    if (open && length < CiteLevel::text_size - 1) text[length++] = ch;
  }
  text[length] = '\0';
}

void skip_text(Cursor& in) {
  do in.getnextc();
  while (in.c() != text_end);
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

void CitationTracker::set_x(Context& context) {
  const byte code = context.in.c();
  if (in_range(code, 0xB1, 0xB7)) {
    cite_x_.number = code - x_increment;
  } else if (code == 0xB8) {
    cite_x_.number = read_value7(context.in);
  } else if (code == 0xBB) {
    cite_x_.number = read_value14(context.in);
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
  const byte code = context.in.c();
  cite_y_.form = CiteLevel::Form::number;
  cite_z_.number = cite_line_.number = 1;
  if (in_range(code, 0xA1, 0xA7)) {
    cite_y_.number = code - y_increment;
  } else if (code == 0xA8) {
    cite_y_.number = read_value7(context.in);
  } else if (code == 0xAB) {
    cite_y_.number = read_value14(context.in);
  } else if (code == 0xAF) {
    cite_y_.form = CiteLevel::Form::text;
    read_text(context.in, cite_y_.text);
  } else {
    context.messages.warning(207, ": unknown `cite_y' code: %#x, offset:%lX\n", code, context.messages.offset());
  }
}

// The letter of the z level's number-and-letter forms: E1 to EF for a to o.
void CitationTracker::set_z_letter(Context& context, int warning_number) {
  const byte c = context.in.getnextc();
  if (in_range(c, 0xE1, 0xEF)) {
    cite_z_.form = CiteLevel::Form::number_letter;
    cite_z_.letter = static_cast<char>(c - 0x80);
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
  const byte code = in.c();
  if (in_range(code, 0x91, 0x97)) {
    cite_z_.number = code - z_increment;
    cite_z_.form = CiteLevel::Form::number;
  } else if (code == 0x98 || code == 0x9B) {
    cite_z_.number = code == 0x98 ? read_value7(in) : read_value14(in);
    cite_z_.form = CiteLevel::Form::number;
  } else if (code == 0x99) {
    cite_z_.number = read_value7(in);
    set_z_letter(context, 210);
  } else if (code == 0x9A || code == 0x9D) {
    cite_z_.form = CiteLevel::Form::number_text;
    cite_z_.number = code == 0x9A ? read_value7(in) : read_value14(in);
    read_text(in, cite_z_.text);
  } else if (code == 0x9C) {
    const byte high = in.getnextc();
    if (high < 0x80)
      context.messages.warning(210, ": `cite_z' 9C type: unexpected parameter: %#x, offset:%lX\n", high,
                               context.messages.offset());
    const byte low = in.getnextc();
    if (low < 0x80)
      context.messages.warning(211, ": `cite_z' 9C type: unexpected parameter: %#x, offset:%lX\n", low,
                               context.messages.offset());
    cite_z_.number = high * 128 + low - 0x4080;
    set_z_letter(context, 212);
  } else if (code == 0x9F) {
    cite_z_.form = CiteLevel::Form::text;
    read_text(in, cite_z_.text);
  } else {
    context.messages.warning(213, ":unknown `cite_z' type: %x, offset:%lX\n", code, context.messages.offset());
  }
}

void CitationTracker::set_line(Context& context) {
  Cursor& in = context.in;
  const byte code = in.c();
  if (in_range(code, 0x81, 0x87)) {
    cite_line_.number = code - 0x80;
    cite_line_.form = CiteLevel::Form::number;
  } else if (code == 0x88 || code == 0x8B) {
    cite_line_.number = code == 0x88 ? read_value7(in) : read_value14(in);
    cite_line_.form = CiteLevel::Form::number;
  } else if (code == 0x89) {
    cite_line_.number = read_value7(in);
    const byte letter = in.getnextc();
    if (in_range(letter, 0xC1, 0xFA)) {
      cite_line_.form = CiteLevel::Form::number_letter;
      cite_line_.letter = static_cast<char>(letter - 0x80);
    } else {
      context.messages.warning(214, ": unknown `cite_line' 99 type: %X, offset:%lX\n", letter,
                               context.messages.offset());
    }
  } else if (code == 0x8A || code == 0x8D) {
    cite_line_.form = CiteLevel::Form::number_text;
    cite_line_.number = code == 0x8A ? read_value7(in) : read_value14(in);
    read_text(in, cite_line_.text);
  } else if (code == 0x8F) {
    skip_text(in);
  } else {
    context.messages.warning(215, ": unknown `cite_line' type: %x, offset:%lX\n", code, context.messages.offset());
  }
}

// A run takes, for each of the levels x, y and z, at most one increment and
// then one set code, each followed by a byte read ahead, and ends with a line
// code or with the first byte that fits no remaining step, which is pushed back.
void CitationTracker::updateCite(Context& context) {
  Cursor& in = context.in;
  changed_ = Level::line;
  if (in.c() >= 0xBF) {
    context.messages.warning(201, ": updateCite: unknown parameter: %#x, count:%lX\n", in.c(),
                             context.messages.offset());
    return;
  }
  if (in.c() >= z_increment) update_upper_levels(context);
  if (in.c() == text_end) in.getnextc();
  if (in_range(in.c(), 0x81, 0x8F)) {
    set_line(context);
  } else {
    in.push_back();
  }
  flagBF_ = false;
}

void CitationTracker::update_upper_levels(Context& context) {
  Cursor& in = context.in;
  changed_ = in.c() >= x_increment ? Level::x : in.c() >= y_increment ? Level::y : Level::z;
  if (in.c() == x_increment) {
    increment_x(context);
    in.getnextc();
  }
  if (in_range(in.c(), 0xB1, 0xBE)) {
    set_x(context);
    in.getnextc();
    if (flagBF_) cite_y_.number = cite_z_.number = cite_line_.number = 1;
  }
  if (in.c() == y_increment) {
    increment_y(context);
    in.getnextc();
  }
  if (in_range(in.c(), 0xA1, 0xAF)) {
    set_y(context);
    in.getnextc();
  }
  if (in.c() == z_increment) {
    increment_z(context);
    in.getnextc();
  }
  if (in_range(in.c(), 0x91, 0x9F)) {
    set_z(context);
    cite_line_.number = 1;
    in.getnextc();
  }
}

void CitationTracker::write_citation(Context& context) { context.renderer.citation({levels_, changed_}); }

}  // namespace scrivel
