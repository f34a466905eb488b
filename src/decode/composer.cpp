#include "decode/composer.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "decode/signs.h"

namespace scrivel {
namespace {

constexpr int combining_grave = 0x0300;
constexpr int combining_acute = 0x0301;
constexpr int combining_diaeresis = 0x0308;
constexpr int combining_perispomeni = 0x0342;
constexpr int combining_ypogegrammeni = 0x0345;

// Letter indices as the run keeps them: a letter's index with its
// diacritics added later by OR (they take the low seven bits), and the word's
// end added at the blank.
constexpr int word_end_step = letter_index(0, 1, 'A', 0);
constexpr int capital_step = letter_index(1, 0, 'A', 0);
constexpr int no_letter = -1;
// The most a byte of the run writes: a letter's form and a blank.
constexpr std::size_t most_per_byte = sizeof(EncodedCharacter) + 1;

// What each byte is to a run, in one lookup: a letter is its index (small,
// before no word's end, without diacritics) with vowel_bit for a vowel; a
// diacritic sign is minus its flag; the rest are the codes below. Text is
// an ASCII byte that stands as it is in every format and is no sign: a
// blank or a comma ends the word before it, an apostrophe or a hyphen does
// not, so that a sigma before them stays medial.
constexpr int vowel_bit = 1 << 14;
constexpr int asterisk_code = -128;
constexpr int stop_code = -256;
constexpr int word_ending_text_code = -512;
constexpr int in_word_text_code = -1024;
constexpr std::array<int, 256> run_codes = [] {
  std::array<int, 256> codes{};
  for (int c = 0; c < 256; ++c) {
    switch (letter_classes[c]) {
      case LetterClass::vowel: codes[c] = letter_index(0, 0, static_cast<byte>(c), 0) | vowel_bit; break;
      case LetterClass::consonant: codes[c] = letter_index(0, 0, static_cast<byte>(c), 0); break;
      case LetterClass::diacritic: codes[c] = -diacritic_flags[c]; break;
      case LetterClass::asterisk: codes[c] = asterisk_code; break;
      case LetterClass::other:
        codes[c] = stop_code;
        if (c < 0x80 && !Document::needs_care[c] && !SignHandlers::is_sign(static_cast<byte>(c)))
          codes[c] = c == '\'' || c == '-' ? in_word_text_code : word_ending_text_code;
        break;
    }
  }
  return codes;
}();

}  // namespace

// Two states alternate: between letters, where diacritics and an asterisk
// wait for the letter they go with, and after a letter, which the next
// letter, asterisk or blank writes.
void Composer::compose_run(Cursor& in) {
  const EncodedCharacter* forms = document_.letter_forms();
  Document::Room room = document_.room_for_letters(in.ahead().size() * most_per_byte);
  // A run never writes past its room: it ends where the room would, and the
  // next one gets a fresh buffer.
  const std::span<const byte> bytes =
      in.ahead().first(std::min(in.ahead().size(), static_cast<std::size_t>(room.end - room.next) / most_per_byte));
  // The pending letter in locals, as its index without the diacritics: the
  // document's bytes, written as chars, would otherwise make every member be
  // read again after each letter. `cap` is that of an asterisk before a
  // letter; the pending letter's own is in its index.
  int pending = letter_ != 0 ? letter_index(cap_, 0, letter_, 0) : no_letter;
  int cap = letter_ != 0 ? 0 : cap_;
  int flags = tonosFlag_;
  const byte* p = bytes.data();
  const byte* end = p + bytes.size();
  const auto commit = [&] {
    letter_ = pending == no_letter ? 0 : static_cast<byte>('A' + pending / 128 % 26);
    cap_ = static_cast<byte>(pending == no_letter ? cap : pending >= capital_step);
    tonosFlag_ = static_cast<Diacritics>(flags);
    document_.letters_written(room.next);
  };
  // Writes the pending letter; the slow path takes what the table has no form for.
  const auto write_pending = [&](int index, bool word_end) {
    const EncodedCharacter& e = forms[index];
    if (e.length != 0) [[likely]] {
      std::memcpy(room.next, &e, sizeof e);
      room.next += e.length;
      return;
    }
    commit();
    room = write_uncomposed_in_run(word_end, static_cast<std::size_t>(end - p) * most_per_byte);
    // A fresh buffer may be smaller: the run ends where the room does.
    end = p + std::min<std::size_t>(end - p, static_cast<std::size_t>(room.end - room.next) / most_per_byte);
  };
  // Text stands as it is once no control word waits for its delimiter,
  // which anything the run writes settles.
  bool settled = !document_.delimiter_pending();
  for (bool stopped = false; !stopped && p < end;) {
    if (pending == no_letter) {
      for (; p < end; ++p) {
        const int code = run_codes[*p];
        if (code >= 0) {
          // A small vowel drops the diacritics that came before it.
          if ((code & vowel_bit) && !cap) flags = 0;
          pending = (code & ~vowel_bit) + cap * capital_step;
          cap = 0;
          ++p;
          break;
        }
        if (code > asterisk_code) {
          flags |= -code;
        } else if (code == asterisk_code) {
          cap = 1;
        } else if (code <= word_ending_text_code && settled) {
          *room.next++ = static_cast<char>(*p);
          cap = flags = 0;
        } else {
          stopped = true;
          break;
        }
      }
      continue;
    }
    for (; p < end; ++p) {
      const int code = run_codes[*p];
      if (code >= 0) {
        write_pending(pending | flags, false);
        flags = 0;
        pending = code & ~vowel_bit;
        continue;
      }
      if (code > asterisk_code) {
        flags |= -code;
        continue;
      }
      if (code == stop_code) {
        stopped = true;
        break;
      }
      // Text after a letter follows it; an asterisk only writes it.
      const bool word_end = code == word_ending_text_code;
      write_pending(word_end ? (pending | flags) + word_end_step : pending | flags, word_end);
      if (code == asterisk_code) {
        cap = 1;
      } else {
        *room.next++ = static_cast<char>(*p);
      }
      settled = true;
      pending = no_letter;
      flags = 0;
      ++p;
      break;
    }
  }
  commit();
  in.take(static_cast<std::size_t>(p - bytes.data()));
}

Document::Room Composer::write_uncomposed_in_run(bool word_end, std::size_t room_wanted) {
  if (word_end) end_word();
  mnw();
  return document_.room_for_letters(room_wanted);
}

// What no precomposed character stands for: J, which is no Greek letter and
// stands as the Latin one, and a vowel whose marks no precomposed letter
// carries, written as the base letter and its marks in canonical order.
void Composer::write_uncomposed() {
  if (letter_ == 'J') {
    document_.print('J');
    return;
  }
  const int capital = vow2[composition::letter_positions[letter_]];
  document_.print(cap_ ? capital : capital + small_offset);
  if (tonosFlag_ & diFlag) document_.print(combining_diaeresis);
  if (tonosFlag_ & peFlag) {
    document_.print(combining_perispomeni);
  } else if (tonosFlag_ & ojFlag) {
    document_.print(combining_acute);
  } else if (tonosFlag_ & vaFlag) {
    document_.print(combining_grave);
  }
  if (tonosFlag_ & ypFlag) document_.print(combining_ypogegrammeni);
}

}  // namespace scrivel
