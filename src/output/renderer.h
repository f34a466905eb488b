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
#include "output/sink.h"
#include "output/verbatim.h"
#include "output/writer.h"

namespace scrivel {

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

// A sink that writes a document through a Writer, one per format: it turns
// the events into the document's bytes; its escaping and its state are its
// own. An ASCII byte that the format's table of byte forms lets stand as it
// is goes straight into the buffer; every other one through its ascii().
class Renderer : public Sink {
 public:
  void character(int c) override {
    if (c < 0x80) {
      if (verbatim_[c]) {
        out_->put(static_cast<char>(c));
      } else {
        ascii(static_cast<byte>(c));
      }
    } else if (normalization_ == Normalization::nfc) {
      code_points(nfc_of_code_point(c));
    } else {
      write_encoded(encoded_[c]);
    }
  }
  // One precomposed character where there is one.
  void letter(int index) final {
    const EncodedCharacter& form = letter_forms_[index];
    if (form.length != 0) [[likely]] {
      write_encoded(form);
      return;
    }
    write_uncomposed(index);
  }
  void text(std::string_view s) final {
    for (const char ch : s) ascii(static_cast<byte>(ch));
  }
  // A marker is text that every format shows as it shows the text.
  void marker(MarkerKind kind, int number) final {
    text(kind == MarkerKind::percent ? "<<%" : "<<#");
    Sink::number(number);
    text(">>");
  }

  // For the composer's run, which writes letters and plain text straight
  // into the document: the letter forms by index (length 0 where letter()
  // must write it), the bytes that stand as they are, and the room to write
  // into, handed back when done. A format may have bytes that cannot stand
  // as they are for a while (after markup that the next byte could
  // continue): verbatim_now() says which may stand at this point.
  Renderer* run_writer() final { return this; }
  struct Room {
    char* next;
    char* end;
  };
  const EncodedCharacter* letter_forms() const { return letter_forms_; }
  const VerbatimBytes& verbatim() const { return verbatim_; }
  virtual const VerbatimBytes& verbatim_now() const { return verbatim_; }
  Room room_for_run(std::size_t wanted) {
    out_->reserve(wanted);
    return {out_->next(), out_->end()};
  }
  void run_written(char* next) { out_->advance_to(next); }

  // What the format had to leave out of its markup, for a warning once the
  // document is written; empty when nothing was.
  virtual std::string_view markup_left_out() const { return {}; }

 protected:
  Renderer(Writer& out, CharacterForms forms, Normalization normalization, const VerbatimBytes& verbatim)
      : out_(&out),
        encoded_(forms.code_points),
        letter_forms_(forms.letters),
        normalization_(normalization),
        verbatim_(verbatim) {}

  // An ASCII byte of the text, or any byte of a citation's text (above 0x7F
  // no character of its own).
  virtual void ascii(byte b) = 0;

  // The decimal text of a number, written as it stands.
  void write_decimal(int n);
  void write_encoded(const EncodedCharacter& e) {
    std::memcpy(out_->reserve(sizeof e), &e, sizeof e);
    out_->advance_to(out_->next() + e.length);
  }
  // The line that a citation opens: the line break, the reference, and
  // blanks that set it off from the text; a line break alone where the
  // reference shows no level.
  // One line opens at every reference, so its three pieces go into the
  // buffer in one step, a short reference as a copy of fixed size.
  [[gnu::always_inline]] void write_reference_line(Reference reference, std::string_view line_end,
                                                   std::string_view blanks) {
    if (reference.text.size() <= 2) {
      out_->write(line_end);
      return;
    }
    if (!reference.plain || reference.text.size() > Reference::short_size) {
      write_reference_line_in_pieces(reference, line_end, blanks);
      return;
    }
    char* next = out_->reserve(line_end.size() + Reference::short_size + blanks.size());
    std::memcpy(next, line_end.data(), line_end.size());
    next += line_end.size();
    std::memcpy(next, reference.text.data(), Reference::short_size);
    next += reference.text.size();
    std::memcpy(next, blanks.data(), blanks.size());
    out_->advance_to(next + blanks.size());
  }
  void write_reference_line_in_pieces(Reference reference, std::string_view line_end, std::string_view blanks);
  // Where the document's bytes go from now on: a renderer may hold text back.
  void write_to(Writer& out) { out_ = &out; }

  Writer* out_;

 private:
  void code_points(const NfcForm& form);
  [[gnu::noinline]] void write_uncomposed(int index);

  const EncodedCharacter* const encoded_;
  const EncodedCharacter* const letter_forms_;
  const Normalization normalization_;
  const VerbatimBytes& verbatim_;
};

// Where a document comes from, for its heading, its records and its name;
// a TEI edition also says what `edition` holds. An HTML document may be
// asked for as the web library's reading page instead: its body alone,
// each line anchored by its passage.
struct DocumentSource {
  int author;
  int work;
  const Edition* edition = nullptr;
  bool reading_page = false;
};

// The renderer of a format, writing through `out`.
std::unique_ptr<Renderer> make_renderer(Format format, Normalization normalization, Writer& out, DocumentSource source);

}  // namespace scrivel
