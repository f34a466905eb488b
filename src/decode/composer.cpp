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
constexpr int stop_code = Composer::stop_code;
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

// What the letter forms have no one character for, out of the run's loop:
// the letter through the renderer, and the room that is left after it.
[[gnu::noinline]] Renderer::Room write_uncomposed(Renderer& writer, char* next, int index, std::size_t bytes_left) {
  writer.run_written(next);
  writer.letter(index);
  return writer.room_for_run(bytes_left * most_per_byte);
}

// Where a run writes: straight into the document's buffer, the room of
// every byte up to the end of the loaded ones taken at the start. Held by
// value in the run, so that its pointer stays in a register although the
// bytes it writes are chars.
class IntoBuffer {
 public:
  IntoBuffer(const EncodedCharacter* forms, Renderer::Room room) : forms_(forms), next_(room.next) {}

  // False where the forms have no one character for the letter.
  [[gnu::always_inline]] bool letter(int index) {
    const EncodedCharacter& e = forms_[index];
    if (e.length == 0) [[unlikely]]
      return false;
    std::memcpy(next_, &e, sizeof e);
    next_ += e.length;
    return true;
  }
  [[gnu::always_inline]] void text(byte c) { *next_++ = static_cast<char>(c); }
  static constexpr bool stopped() { return false; }
  char* next() const { return next_; }
  void resume(Renderer::Room room) { next_ = room.next; }

 private:
  const EncodedCharacter* forms_;
  char* next_;
};

// Or to a sink one event at a time.
class IntoSink {
 public:
  explicit IntoSink(Sink& sink) : sink_(sink) {}
  bool letter(int index) {
    sink_.letter(index);
    return true;
  }
  void text(byte c) { sink_.character(c); }
  bool stopped() const { return sink_.decoding_stopped(); }
  char* next() const { return nullptr; }
  void resume(Renderer::Room) {}

 private:
  Sink& sink_;
};

}  // namespace

// Every byte stops.
const Composer::RunCodes Composer::no_runs = [] {
  RunCodes codes;
  codes.fill(stop_code);
  return codes;
}();

// Two states alternate: between letters, where diacritics and an asterisk
// wait for the letter they go with, and after a letter, which the next
// letter, asterisk or text writes. The run stops at the first byte it does
// not take, at the latest at the one past the loaded bytes.
template <typename Out>
[[gnu::always_inline]] inline bool Composer::compose(Cursor& in, Out out, const RunCodes& codes) {
  const std::span<const byte> bytes = in.run();
  // The state in locals: the document's bytes, written as chars, would
  // otherwise make every member be read again after each letter.
  int letter = letter_;
  int capital = capital_;
  int flags = diacritics_;
  const byte* p = bytes.data();
  const auto write_letter = [&](int index) __attribute__((always_inline)) {
    if (out.letter(index)) [[likely]]
      return;
    const std::size_t bytes_left = bytes.size() - static_cast<std::size_t>(p - bytes.data());
    out.resume(write_uncomposed(*writer_, out.next(), index, bytes_left));
  };
  // A state is a loop; a transition jumps to the other. After a letter no
  // asterisk or diacritic waits for the next one.
  if (letter != no_letter) {
    capital = flags = 0;
    goto after_letter;
  }
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
      if (out.stopped()) {
        ++p;
        goto stop;
      }
    } else {
      goto stop;
    }
  }
after_letter:
  for (;; ++p) {
    const int code = codes[*p];
    if (code >= 0) {
      write_letter(letter);
      letter = code;
      if (out.stopped()) {
        ++p;
        goto stop;
      }
    } else if (code > asterisk_code) {
      letter |= -code;
    } else if (code == stop_code) {
      goto stop;
    } else {
      // Text after a letter follows it; an asterisk only writes it.
      write_letter(code == word_ending_text_code ? letter + word_end_step : letter);
      if (code == asterisk_code) {
        capital = 1;
      } else {
        out.text(*p);
      }
      letter = no_letter;
      ++p;
      if (out.stopped()) goto stop;
      goto between_letters;
    }
  }
stop:
  letter_ = letter;
  capital_ = capital != 0;
  diacritics_ = static_cast<Diacritics>(flags);
  if (writer_) writer_->run_written(out.next());
  in.take(static_cast<std::size_t>(p - bytes.data()));
  return p != bytes.data();
}


Composer::Composer(Sink& sink)
    : sink_(sink), writer_(sink.run_writer()), codes_(codes_with_text(writer_ ? &writer_->verbatim() : nullptr)) {}

// A sink without a buffer is no document's: it takes its runs apart from
// the documents' loop.
[[gnu::noinline]] bool Composer::compose_into_sink(Cursor& in) { return compose(in, IntoSink(sink_), codes_); }

bool Composer::compose_run(Cursor& in) {
  if (!writer_) return compose_into_sink(in);
  // Where the writer lets fewer bytes stand as they are for now, text ends
  // the run and takes the slower way.
  const bool all_verbatim_now = &writer_->verbatim_now() == &writer_->verbatim();
  const Renderer::Room room = writer_->room_for_run(in.run().size() * most_per_byte);
  return compose(in, IntoBuffer(writer_->letter_forms(), room), all_verbatim_now ? codes_ : letter_codes);
}

}  // namespace scrivel
