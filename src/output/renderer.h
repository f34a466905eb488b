#pragma once

#include <array>
#include <cstddef>
#include <cstring>
#include <memory>
#include <string_view>

#include "greek/letters.h"
#include "output/citation.h"
#include "output/edition.h"
#include "output/format.h"
#include "output/nfc.h"
#include "output/reference.h"
#include "output/writer.h"

namespace scrivel {

// A formatting effect, opened and closed around text. The unrendered span
// holds what a sign marks that no format has a rendering for.
enum class Effect {
  subscript,
  small,
  bold,
  italic,
  big,
  overline,
  expanded,
  superscript,
  code_colour,
  unrendered_span
};

// The program's own markers for signs that it has no character for, shown
// with the sign's number.
enum class MarkerKind { percent, hash };

// Where a line break comes from: the code of the next line of the edition,
// or a line-break character in the text itself.
enum class Break { next_line, in_text };

// A character as one format writes it, ready to copy: eight bytes, of which
// `length` count.
struct EncodedCharacter {
  char text[7];
  char length;
};

// The code points below U+2100 hold every character the text is written
// in: the Greek letters, the combining marks and the punctuation.
inline constexpr int encoded_limit = 0x2100;

// The forms of an encoding: of the code points from 0x80 up to
// encoded_limit, and of every letter index (length 0 where no one precomposed
// character stands for it).
struct CharacterForms {
  const EncodedCharacter* code_points;
  const EncodedCharacter* letters;
};

// Printable ASCII that no format escapes: every renderer writes these bytes
// as they stand wherever text stands, so that text may go into a document
// without a call per byte.
inline constexpr std::array<bool, 256> plain_text = [] {
  std::array<bool, 256> plain{};
  for (int c = 0x20; c < 0x7F; ++c) plain[c] = true;
  for (const char c : std::string_view("<>&{}\\")) plain[static_cast<byte>(c)] = false;
  return plain;
}();

// What decoding tells a document: its text (characters, letters by their
// index in the letter table, blanks), the effects opened and closed, markers,
// line breaks and citations. One renderer per format turns them into the
// document's bytes; its escaping and its state are its own.
class Renderer {
 public:
  virtual ~Renderer() = default;

  // The document's heading and ending.
  virtual void begin() = 0;
  virtual void end() = 0;

  // A character: ASCII, or a code point from 0x80 up to encoded_limit.
  void character(int c) {
    if (c < 0x80) {
      if (plain_text[c] && !care_before_text_) {
        out_.put(static_cast<char>(c));
      } else {
        ascii(static_cast<byte>(c));
      }
    } else if (normalization_ == Normalization::nfc) {
      code_points(nfc_of_code_point(c));
    } else {
      write_encoded(encoded_[c]);
    }
  }
  // Letter `index` of the letter table, one precomposed character where there is one.
  void letter(int index) {
    const EncodedCharacter& form = letter_forms_[index];
    if (form.length != 0) [[likely]] {
      write_encoded(form);
      return;
    }
    write_uncomposed(index);
  }
  // ASCII text, and the decimal text of a number.
  void text(std::string_view s) {
    for (const char ch : s) ascii(static_cast<byte>(ch));
  }
  void number(int n);
  void spaces(int n) {
    for (int i = 0; i < n; ++i) ascii(' ');
  }
  virtual void nonbreaking_blanks(int count) = 0;

  virtual void enter_span(Effect effect, int number) = 0;
  virtual void leave_span(Effect effect) = 0;
  virtual void marker(MarkerKind kind, int number) = 0;
  virtual void line_break(Break kind) = 0;
  virtual void citation(const Citation& citation) = 0;

  // For the composer's run, which writes letters and plain text straight
  // into the document: the letter forms by index (length 0 where letter()
  // must write it), whether plain text may stand at once before the run has
  // written a letter, and the room to write into, handed back when done.
  // Anything a run writes settles what plain text waited for.
  struct Room {
    char* next;
    char* end;
  };
  const EncodedCharacter* letter_forms() const { return letter_forms_; }
  bool text_stands() const { return !care_before_text_; }
  Room room_for_run(std::size_t wanted) {
    out_.reserve(wanted);
    return {out_.next(), out_.end()};
  }
  void run_written(char* next) {
    if (next != out_.next()) care_before_text_ = false;
    out_.advance_to(next);
  }

 protected:
  Renderer(Writer& out, CharacterForms forms, Normalization normalization)
      : out_(out), encoded_(forms.code_points), letter_forms_(forms.letters), normalization_(normalization) {}

  // An ASCII byte of the text, or any byte of a citation's text (above 0x7F
  // no character of its own).
  virtual void ascii(byte b) = 0;

  // The decimal text of a number, written as it stands.
  void write_decimal(int n);
  // A character above ASCII settles what plain text waited for.
  void write_encoded(const EncodedCharacter& e) {
    care_before_text_ = false;
    std::memcpy(out_.reserve(sizeof e), &e, sizeof e);
    out_.advance_to(out_.next() + e.length);
  }
  // The line that a citation opens: the line break, the reference, and
  // blanks that set it off from the text; a line break alone where the
  // reference shows no level.
  void write_reference_line(Reference reference, std::string_view line_end, std::string_view blanks);

  Writer& out_;
  // Set where plain text must wait for something the renderer writes first.
  bool care_before_text_ = false;

 private:
  void code_points(const NfcForm& form);
  [[gnu::noinline]] void write_uncomposed(int index);

  const EncodedCharacter* const encoded_;
  const EncodedCharacter* const letter_forms_;
  const Normalization normalization_;
};

// Where a document comes from, for its heading, its records and its name;
// a TEI edition also says what `edition` holds.
struct DocumentSource {
  int author;
  int work;
  const Edition* edition = nullptr;
};

// The renderer of a format, writing through `out`.
std::unique_ptr<Renderer> make_renderer(Format format, Normalization normalization, Writer& out, DocumentSource source);

}  // namespace scrivel
