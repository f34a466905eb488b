#include "decode/composer.h"

#include <cstring>

#include "decode/signs.h"

namespace scrivel {
namespace {

// The most a byte of the run writes: a letter's form and a blank.
constexpr std::size_t most_per_byte = sizeof(EncodedCharacter) + 1;

// What each byte is to a run, in one lookup: a letter is its index (small,
// before no word's end, without diacritics), to which the diacritics are
// added by OR (they take the low seven bits); a diacritic sign is minus its
// flag; the rest are the codes below. Text is an ASCII byte that no sign, no
// letter and no line break claims, and that the sink takes as it stands: a
// blank or a comma ends the word before it, an apostrophe or a hyphen does
// not, so that a sigma before them stays medial. Every other byte stops the run.
constexpr int asterisk_code = -128;
constexpr int stop_code = -256;
constexpr int word_ending_text_code = -512;
constexpr int in_word_text_code = -1024;

// The codes without text.
constexpr Composer::RunCodes letter_codes = [] {
  Composer::RunCodes codes{};
  for (int c = 0; c < 256; ++c) {
    switch (letter_classes[c]) {
      case LetterClass::vowel:
      case LetterClass::consonant: codes[c] = letter_index(0, 0, static_cast<byte>(c), 0); break;
      case LetterClass::diacritic: codes[c] = -diacritic_flags[c]; break;
      case LetterClass::asterisk: codes[c] = asterisk_code; break;
      case LetterClass::other: codes[c] = stop_code; break;
    }
  }
  return codes;
}();

static_assert(letter_codes[ByteSource::past_loaded] == stop_code, "a run stops past the loaded bytes");
static_assert(block_size * most_per_byte <= OutputFile::min_lent, "a block's run fits the least room lent");

// The codes with the text that `verbatim` lets stand (a sink that takes
// every byte of text one at a time lets all of it).
Composer::RunCodes codes_with_text(const VerbatimBytes* verbatim) {
  Composer::RunCodes codes = letter_codes;
  for (int c = 0; c < 0x80; ++c) {
    const bool text = codes[c] == stop_code && !SignHandlers::is_sign(static_cast<byte>(c)) &&
                      c != line_break_character && (!verbatim || (*verbatim)[c]);
    if (text) codes[c] = c == '\'' || c == '-' ? in_word_text_code : word_ending_text_code;
  }
  return codes;
}

// Where a run writes: straight into the document's buffer, the room of
// every byte up to the end of the loaded ones taken at the start.
class IntoBuffer {
 public:
  IntoBuffer(Renderer& writer, std::size_t bytes)
      : writer_(writer), forms_(writer.letter_forms()), room_(writer.room_for_run(bytes * most_per_byte)) {}

  [[gnu::always_inline]] void letter(int index, std::size_t bytes_left) {
    const EncodedCharacter& e = forms_[index];
    if (e.length != 0) [[likely]] {
      std::memcpy(room_.next, &e, sizeof e);
      room_.next += e.length;
      return;
    }
    write_uncomposed(index, bytes_left);
  }
  [[gnu::always_inline]] void text(byte c) { *room_.next++ = static_cast<char>(c); }
  void done() { writer_.run_written(room_.next); }

 private:
  // What the forms have no one character for, out of the run's loop.
  [[gnu::noinline, gnu::cold]] void write_uncomposed(int index, std::size_t bytes_left) {
    writer_.run_written(room_.next);
    writer_.letter(index);
    room_ = writer_.room_for_run(bytes_left * most_per_byte);
  }

  Renderer& writer_;
  const EncodedCharacter* const forms_;
  Renderer::Room room_;
};

// Or to a sink one event at a time.
class IntoSink {
 public:
  explicit IntoSink(Sink& sink) : sink_(sink) {}
  void letter(int index, std::size_t) { sink_.letter(index); }
  void text(byte c) { sink_.character(c); }
  void done() {}

 private:
  Sink& sink_;
};

}  // namespace

// Two states alternate: between letters, where diacritics and an asterisk
// wait for the letter they go with, and after a letter, which the next
// letter, asterisk or text writes. The run stops at the first byte it does
// not take, at the latest at the one past the loaded bytes.
template <typename Out>
[[gnu::always_inline]] inline void Composer::compose(Cursor& in, Out& out, const RunCodes& codes) {
  const std::span<const byte> bytes = in.run();
  // The state in locals: the document's bytes, written as chars, would
  // otherwise make every member be read again after each letter.
  int letter = letter_;
  int capital = capital_;
  int flags = diacritics_;
  const byte* p = bytes.data();
  const auto bytes_left = [&] { return bytes.size() - static_cast<std::size_t>(p - bytes.data()); };
  // A state is a loop; a transition jumps to the other.
  if (letter != no_letter) goto after_letter;
between_letters:
  for (;; ++p) {
    const int code = codes[*p];
    if (code >= 0) {
      // A small vowel drops the diacritics that came before it.
      if (letter_classes[*p] == LetterClass::vowel && !capital) flags = 0;
      letter = (code + capital * capital_step) | flags;
      capital = flags = 0;
      ++p;
      goto after_letter;
    }
    if (code > asterisk_code) {
      flags |= -code;
    } else if (code == asterisk_code) {
      capital = 1;
    } else if (code <= word_ending_text_code) {
      out.text(*p);
      capital = flags = 0;
    } else {
      goto stop;
    }
  }
after_letter:
  for (;; ++p) {
    const int code = codes[*p];
    if (code >= 0) {
      out.letter(letter, bytes_left());
      letter = code;
    } else if (code > asterisk_code) {
      letter |= -code;
    } else if (code == stop_code) {
      goto stop;
    } else {
      // Text after a letter follows it; an asterisk only writes it.
      out.letter(code == word_ending_text_code ? letter + word_end_step : letter, bytes_left());
      if (code == asterisk_code) {
        capital = 1;
      } else {
        out.text(*p);
      }
      letter = no_letter;
      ++p;
      goto between_letters;
    }
  }
stop:
  letter_ = letter;
  capital_ = capital != 0;
  diacritics_ = static_cast<Diacritics>(flags);
  out.done();
  in.take(static_cast<std::size_t>(p - bytes.data()));
}


Composer::Composer(Sink& sink)
    : sink_(sink), writer_(sink.run_writer()), codes_(codes_with_text(writer_ ? &writer_->verbatim() : nullptr)) {}

void Composer::compose_run(Cursor& in) {
  if (!writer_) {
    IntoSink out(sink_);
    compose(in, out, codes_);
    return;
  }
  // Where the writer lets fewer bytes stand as they are for now, text ends
  // the run and takes the slower way.
  const bool text_stands = &writer_->verbatim_now() == &writer_->verbatim();
  IntoBuffer out(*writer_, in.run().size());
  compose(in, out, text_stands ? codes_ : letter_codes);
}

}  // namespace scrivel
