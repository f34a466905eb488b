#pragma once

#include <array>
#include <string_view>

namespace scrivel {

// The line-break value of `print`: 11, since 10 is an ordinary newline byte.
constexpr int line_break = 11;

// A character as one output mode writes it, ready to copy: eight bytes, of
// which `length` count.
struct EncodedCharacter {
  char text[7];
  char length;
};

// The code points below U+2100 hold every character the text is written
// in: the Greek letters, the combining marks and the punctuation.
inline constexpr int encoded_limit = 0x2100;

// What RTF's delimiter rule needs after a piece of markup: a control word
// that ends in a letter or digit needs a blank before text that could
// continue it, markup that ends in a symbol needs none, and the rest leaves
// the need as it was.
enum class Delimiter { unchanged, needed, settled };

// A piece of markup: its text, whether a pending delimiter is written before
// it, and what it leaves.
struct Markup {
  std::string_view text;
  bool settle_first = false;
  Delimiter after = Delimiter::unchanged;
};

// A marker written in the text: an opening, a number, a closing.
struct Marker {
  Markup opening;
  std::string_view closing;
};
enum class MarkerKind { percent, hash, special };

// Everything in which the two output modes differ: the file name's
// extension, the heading and ending, the form of every character, and the
// markup of the formatting commands.
struct Format {
  std::string_view extension;
  std::string_view heading;
  bool titled;  // the heading goes on with ": <author> <work>" and heading_end
  std::string_view heading_end;
  std::string_view ending;
  const EncodedCharacter* encoded;  // code points from 0x80 up to encoded_limit
  const EncodedCharacter* letters;  // every letter index, length 0 where no precomposed character stands for it
  // The form of every byte value: ASCII characters, and a byte above 0x7F
  // that came from a string (a negative character value).
  std::array<std::string_view, 256> bytes;
  std::array<Markup, 28> commands;  // by command number; empty where code writes the command
  std::array<Marker, 3> markers;  // by MarkerKind
  Markup special_end;
  Markup three_nonbreaking_blanks;  // three, the run a reference is followed by
};

// The format of a document: RTF (code page 1253, every character above 127
// as a Unicode escape) when `rtf` is 1, else HTML in UTF-8.
const Format& format_of(int rtf);

}  // namespace scrivel
