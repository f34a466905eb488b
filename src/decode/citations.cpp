#include "decode/citations.h"

#include <array>
#include <charconv>
#include <cstring>
#include <string_view>

namespace scrivel {
namespace {

// A citation code's high nibble is its level, its low nibble its form.
constexpr byte x_increment = 0xB0;
constexpr byte y_increment = 0xA0;
constexpr byte z_increment = 0x90;
constexpr byte text_end = 0xFF;

bool in_range(byte c, byte first, byte last) { return c >= first && c <= last; }

// Decimal forms of 0 to 999, the numbers of almost every reference: three
// characters to copy whole, of which `length` count.
struct Decimal {
  char digits[3];
  char length;
};
constexpr std::array<Decimal, 1000> decimals = [] {
  std::array<Decimal, 1000> forms{};
  for (int n = 0; n < 1000; ++n) {
    Decimal& d = forms[n];
    int length = 0;
    if (n >= 100) d.digits[length++] = static_cast<char>('0' + n / 100);
    if (n >= 10) d.digits[length++] = static_cast<char>('0' + n / 10 % 10);
    d.digits[length++] = static_cast<char>('0' + n % 10);
    d.length = static_cast<char>(length);
  }
  return forms;
}();

// The reference as it is built: never cut, whatever its texts hold. Brackets,
// three dots, four numbers with letters and three full texts fit.
class Reference {
 public:
  void append(char ch) {
    if (ch != '\0') text_[length_++] = ch;
  }
  void append(std::string_view s) {
    for (const char ch : s) append(ch);
  }
  void append_number(int value) {
    if (value >= 0 && value < static_cast<int>(decimals.size())) {
      std::memcpy(text_ + length_, decimals[value].digits, sizeof decimals[value].digits);
      length_ += decimals[value].length;
      return;
    }
    length_ = std::to_chars(text_ + length_, text_ + sizeof text_, value).ptr - text_;
  }
  std::string_view view() const { return {text_, length_}; }

 private:
  char text_[4 * 16 + 3 * CitationTracker::text_size];
  std::size_t length_ = 0;
};

}  // namespace

unsigned long CitationTracker::count() const { return in_.source.count; }

int CitationTracker::read_value7() {
  read_next();
  return in_.c - 0x80;
}

int CitationTracker::read_value14() {
  byte high;
  in_.source.getnextc(&high);
  read_next();
  return high * 128 + in_.c - 0x4080;
}

// A text runs to the byte FF; each byte is stored without its high bit. The
// field keeps the first 255 characters, and a stored 0 ends the text there;
// the rest up to FF is read and dropped.
void CitationTracker::read_text(char* text) {
  std::size_t length = 0;
  bool open = true;
  for (read_next(); in_.c != text_end; read_next()) {
    const char ch = static_cast<char>(in_.c - 0x80);
    if (ch == '\0') open = false;
    if (open && length < text_size - 1) text[length++] = ch;
  }
  text[length] = '\0';
}

void CitationTracker::skip_text() {
  do read_next();
  while (in_.c != text_end);
}

void CitationTracker::increment_x() {
  if (cite_x == 0) {
    messages_.printf("Warning 202: 0xB0 encounterd but cite_x is undefined, count:%lX\n", count());
    return;
  }
  ++cite_x;
  cite_y = cite_z = cite_line = 1;
}

void CitationTracker::set_x() {
  const byte code = in_.c;
  if (in_range(code, 0xB1, 0xB7)) {
    cite_x = code - x_increment;
  } else if (code == 0xB8) {
    cite_x = read_value7();
  } else if (code == 0xBB) {
    cite_x = read_value14();
  } else {
    messages_.printf("Warning 204: unknown `cite_x' code: %#x, offset:%lX\n", code, count());
  }
}

void CitationTracker::increment_y() {
  if (cite_y == 0) {
    messages_.printf("Warning 205: `0xA0' encounterd but `cite_y' is undefined, offset:%lX\n", count());
    return;
  }
  ++cite_y;
  cite_z = cite_line = 1;
}

void CitationTracker::set_y() {
  const byte code = in_.c;
  cite_y_type = 0;
  cite_z = cite_line = 1;
  if (in_range(code, 0xA1, 0xA7)) {
    cite_y = code - y_increment;
  } else if (code == 0xA8) {
    cite_y = read_value7();
  } else if (code == 0xAB) {
    cite_y = read_value14();
  } else if (code == 0xAF) {
    cite_y_type = 2;
    read_text(cite_y_text);
  } else {
    messages_.printf("Warning 207: unknown `cite_y' code: %#x, offset:%lX\n", code, count());
  }
}

// The letter of the z level's number-and-letter forms: E1 to EF for a to o.
void CitationTracker::set_z_letter(int warning_number) {
  read_next();
  if (in_range(in_.c, 0xE1, 0xEF)) {
    cite_z_type = 1;
    cite_z_letter = in_.c - 0xE0;
  } else if (warning_number == 210) {
    messages_.printf("Warning 210: unknown `cite_z' 99 type: %x, offset:%lX\n", in_.c, count());
  } else {
    messages_.printf("Warning 212:unknown `cite_z' 9C type: %x, offset:%lX\n", in_.c, count());
  }
}

void CitationTracker::increment_z() {
  if (cite_z == 0) {
    messages_.printf("Warning 208: 0x90 encounterd but `cite_z' is undefined, offset:%lX\n", count());
    cite_z = 1;
    return;
  }
  if (cite_z_type == 1) {
    ++cite_z_letter;
  } else if (cite_z_type == 2) {
    // The next text: its first character raised by one. An empty text has
    // no first character and stays empty.
    if (cite_z_text[0] != '\0') {
      cite_z_text[0] = static_cast<char>(cite_z_text[0] + 1);
      if (cite_z_text[0] != '\0' && cite_z_text[1] != '\0')
        messages_.printf("Warning 209: 0x90 on `cite_z_text'=%s, offset:%lX\n", cite_z_text, count());
    }
  } else {
    ++cite_z;
  }
  cite_line = 1;
}

void CitationTracker::set_z() {
  const byte code = in_.c;
  if (in_range(code, 0x91, 0x97)) {
    cite_z = code - z_increment;
    cite_z_type = 0;
  } else if (code == 0x98 || code == 0x9B) {
    cite_z = code == 0x98 ? read_value7() : read_value14();
    cite_z_type = 0;
  } else if (code == 0x99) {
    cite_z = read_value7();
    set_z_letter(210);
  } else if (code == 0x9A || code == 0x9D) {
    cite_z_type = 4;
    cite_z = code == 0x9A ? read_value7() : read_value14();
    read_text(cite_z_text);
  } else if (code == 0x9C) {
    byte high;
    in_.source.getnextc(&high);
    if (high < 0x80)
      messages_.printf("Warning 210: `cite_z' 9C type: unexpected parameter: %#x, offset:%lX\n", high, count());
    read_next();
    if (in_.c < 0x80)
      messages_.printf("Warning 211: `cite_z' 9C type: unexpected parameter: %#x, offset:%lX\n", in_.c, count());
    cite_z = high * 128 + in_.c - 0x4080;
    set_z_letter(212);
  } else if (code == 0x9F) {
    cite_z_type = 2;
    read_text(cite_z_text);
  } else {
    messages_.printf("Warning 213:unknown `cite_z' type: %x, offset:%lX\n", code, count());
  }
}

void CitationTracker::set_line() {
  const byte code = in_.c;
  if (in_range(code, 0x81, 0x87)) {
    cite_line = code - 0x80;
    cite_line_type = 0;
  } else if (code == 0x88 || code == 0x8B) {
    cite_line = code == 0x88 ? read_value7() : read_value14();
    cite_line_type = 0;
  } else if (code == 0x89) {
    cite_line = read_value7();
    read_next();
    if (in_range(in_.c, 0xC1, 0xFA)) {
      cite_line_type = 1;
      cite_line_letter = in_.c - 0x80;
    } else {
      messages_.printf("Warning 214: unknown `cite_line' 99 type: %X, offset:%lX\n", in_.c, count());
    }
  } else if (code == 0x8A || code == 0x8D) {
    cite_line_type = 2;
    cite_line = code == 0x8A ? read_value7() : read_value14();
    read_text(cite_line_text);
  } else if (code == 0x8F) {
    skip_text();
  } else {
    messages_.printf("Warning 215: unknown `cite_line' type: %x, offset:%lX\n", code, count());
  }
}

// A run takes, for each of the levels x, y and z, at most one increment and
// then one set code, each followed by a byte read ahead, and ends with a line
// code or with the first byte that fits no remaining step.
void CitationTracker::updateCite() {
  if (in_.c >= 0xBF) {
    messages_.printf("Warning 201: updateCite: unknown parameter: %#x, count:%lX\n", in_.c, count());
    return;
  }
  if (in_.c == x_increment) {
    increment_x();
    read_next();
  }
  if (in_range(in_.c, 0xB1, 0xBE)) {
    set_x();
    read_next();
    if (flagBF) cite_y = cite_z = cite_line = 1;
  }
  if (in_.c == y_increment) {
    increment_y();
    read_next();
  }
  if (in_range(in_.c, 0xA1, 0xAF)) {
    set_y();
    read_next();
  }
  if (in_.c == z_increment) {
    increment_z();
    read_next();
  }
  if (in_range(in_.c, 0x91, 0x9F)) {
    set_z();
    cite_line = 1;
    read_next();
  }
  in_.buffered = 1;
  if (in_.c == text_end) read_next();
  if (in_range(in_.c, 0x81, 0x8F)) {
    set_line();
    in_.buffered = 0;
  }
  flagBF = 0;
}

void CitationTracker::write_citation() {
  document_.print(line_break);
  Reference reference;
  bool dot = false;
  const auto separate = [&] {
    if (dot) reference.append('.');
    dot = true;
  };
  reference.append('[');
  if (cite_x > 0) {
    reference.append_number(cite_x);
    dot = true;
  }
  if (cite_y > 0 || cite_y_text[0] != '\0') {
    separate();
    if (cite_y_type == 2) {
      reference.append(cite_y_text);
    } else {
      reference.append_number(cite_y);
    }
  }
  if (cite_z > 0 || cite_z_text[0] != '\0') {
    separate();
    if (cite_z_type == 2) {
      reference.append(cite_z_text);
    } else {
      reference.append_number(cite_z);
      if (cite_z_type == 1) reference.append(static_cast<char>((cite_z_letter + 0x60) & 0xFF));
      if (cite_z_type == 4) reference.append(cite_z_text);
    }
  }
  if (cite_line > 1 || cite_line_text[0] != '\0' || cite_line_type == 1) {
    separate();
    reference.append_number(cite_line);
    if (cite_line_type == 2) reference.append(cite_line_text);
    if (cite_line_type == 1) reference.append(static_cast<char>(cite_line_letter));
  }
  reference.append(']');
  if (reference.view().size() > 2) {
    document_.printstring(reference.view());
    commands_.printcommand(formatting::nonbreaking_blanks, 3);
  }
}

}  // namespace scrivel
