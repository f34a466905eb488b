#include "decode/composer.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "decode/signs.h"

namespace scrivel {
namespace {

// The most a byte of the run writes: a letter's form and a blank.
constexpr std::size_t most_per_byte = sizeof(EncodedCharacter) + 1;

// What each byte is to a run, in one lookup: a letter is its index (small,
// before no word's end, without diacritics), to which the diacritics are
// added by OR (they take the low seven bits); a diacritic sign is minus its
// flag; the rest are the codes below. Text is an ASCII byte that stands as
// it is in every format and is no sign: a blank or a comma ends the word
// before it, an apostrophe or a hyphen does not, so that a sigma before
// them stays medial.
constexpr int asterisk_code = -128;
constexpr int stop_code = -256;
constexpr int word_ending_text_code = -512;
constexpr int in_word_text_code = -1024;
constexpr std::array<int, 256> run_codes = [] {
  std::array<int, 256> codes{};
  for (int c = 0; c < 256; ++c) {
    switch (letter_classes[c]) {
      case LetterClass::vowel:
      case LetterClass::consonant: codes[c] = letter_index(0, 0, static_cast<byte>(c), 0); break;
      case LetterClass::diacritic: codes[c] = -diacritic_flags[c]; break;
      case LetterClass::asterisk: codes[c] = asterisk_code; break;
      case LetterClass::other:
        codes[c] = stop_code;
        if (plain_text[c] && !SignHandlers::is_sign(static_cast<byte>(c)))
          codes[c] = c == '\'' || c == '-' ? in_word_text_code : word_ending_text_code;
        break;
    }
  }
  return codes;
}();

}  // namespace

static_assert(run_codes[ByteSource::past_loaded] == stop_code, "a run stops past the loaded bytes");
static_assert(block_size * most_per_byte <= OutputFile::min_lent, "a block's run fits the least room lent");

// Two states alternate: between letters, where diacritics and an asterisk
// wait for the letter they go with, and after a letter, which the next
// letter, asterisk or blank writes. The run stops at the first byte it does
// not take, at the latest at the one past the loaded bytes, and the room it
// writes into is that of every byte up to there.
void Composer::compose_run(Cursor& in) {
  const EncodedCharacter* forms = renderer_.letter_forms();
  const std::span<const byte> bytes = in.run();
  Renderer::Room room = renderer_.room_for_run(bytes.size() * most_per_byte);
  // The state in locals: the document's bytes, written as chars, would
  // otherwise make every member be read again after each letter.
  int letter = letter_;
  int cap = cap_;
  int flags = tonosFlag_;
  const byte* p = bytes.data();
  const auto commit = [&]() __attribute__((always_inline)) {
    letter_ = letter;
    cap_ = static_cast<byte>(cap);
    tonosFlag_ = static_cast<Diacritics>(flags);
    renderer_.run_written(room.next);
  };
  // Writes the pending letter; the slow path takes what the table has no form for.
  const auto write_pending = [&](int index) __attribute__((always_inline)) {
    const EncodedCharacter& e = forms[index];
    if (e.length != 0) [[likely]] {
      std::memcpy(room.next, &e, sizeof e);
      room.next += e.length;
      return;
    }
    commit();
    const std::size_t left = bytes.size() - static_cast<std::size_t>(p - bytes.data());
    room = write_uncomposed_in_run(index, left * most_per_byte);
  };
  // Text stands as it is once the renderer waits for nothing before it,
  // which anything the run writes settles.
  bool settled = renderer_.text_stands();
  // A state is a loop; a transition jumps to the other.
  if (letter != no_letter) goto after_letter;
between_letters:
  for (;; ++p) {
    const int code = run_codes[*p];
    if (code >= 0) {
      // A small vowel drops the diacritics that came before it.
      if (letter_classes[*p] == LetterClass::vowel && !cap) flags = 0;
      letter = (code + cap * capital_step) | flags;
      cap = flags = 0;
      ++p;
      goto after_letter;
    }
    if (code > asterisk_code) {
      flags |= -code;
    } else if (code == asterisk_code) {
      cap = 1;
    } else if (code <= word_ending_text_code && settled) {
      *room.next++ = static_cast<char>(*p);
      cap = flags = 0;
    } else {
      goto stop;
    }
  }
after_letter:
  for (;; ++p) {
    const int code = run_codes[*p];
    if (code >= 0) {
      write_pending(letter);
      letter = code;
    } else if (code > asterisk_code) {
      letter |= -code;
    } else if (code == stop_code) {
      goto stop;
    } else {
      // Text after a letter follows it; an asterisk only writes it.
      write_pending(code == word_ending_text_code ? letter + word_end_step : letter);
      if (code == asterisk_code) {
        cap = 1;
      } else {
        *room.next++ = static_cast<char>(*p);
      }
      settled = true;
      letter = no_letter;
      ++p;
      goto between_letters;
    }
  }
stop:
  commit();
  in.take(static_cast<std::size_t>(p - bytes.data()));
}

Renderer::Room Composer::write_uncomposed_in_run(int index, std::size_t room_wanted) {
  renderer_.letter(index);
  return renderer_.room_for_run(room_wanted);
}

}  // namespace scrivel
