#pragma once

#include <charconv>
#include <string_view>

#include "byte.h"
#include "output/citation.h"

namespace scrivel {

class Renderer;

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

// The character that breaks a line inside the text; a citation's text may
// hold it too.
inline constexpr byte line_break_character = 11;

// What decoding tells: the text (characters, letters by their index in the
// letter table, blanks), the effects opened and closed, markers, line breaks
// and citations, between a beginning and an end. A document's renderer is
// one sink; a name's text or the words of a line are others. A sink may
// stop the decoding: once it has called stop_decoding(), the decoder reads
// no further and ends it, closing what is open.
class Sink {
 public:
  virtual ~Sink() = default;

  virtual void begin() = 0;
  virtual void end() = 0;

  // A character: ASCII, or a code point from 0x80 up to encoded_limit.
  virtual void character(int c) = 0;
  // Letter `index` of the letter table.
  virtual void letter(int index) = 0;
  // ASCII text, as from a sign: each byte as character() takes it.
  virtual void text(std::string_view ascii) = 0;
  // The decimal text of a number.
  void number(int n) {
    char digits[16];
    text({digits, static_cast<std::size_t>(std::to_chars(digits, digits + sizeof digits, n).ptr - digits)});
  }
  void spaces(int n) {
    for (int i = 0; i < n; ++i) character(' ');
  }
  virtual void nonbreaking_blanks(int count) = 0;

  virtual void enter_span(Effect effect, int number) = 0;
  virtual void leave_span(Effect effect) = 0;
  virtual void marker(MarkerKind kind, int number) = 0;
  virtual void line_break(Break kind) = 0;
  virtual void citation(const Citation& citation) = 0;

  // A sink that writes a document may take runs of letters and plain text
  // straight into its buffer; the others take them one event at a time.
  virtual Renderer* run_writer() { return nullptr; }

  bool decoding_stopped() const { return stopped_; }

 protected:
  void stop_decoding() { stopped_ = true; }

 private:
  bool stopped_ = false;
};

}  // namespace scrivel
