#include "decode/composer.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace scrivel {
namespace {

constexpr int combining_grave = 0x0300;
constexpr int combining_acute = 0x0301;
constexpr int combining_diaeresis = 0x0308;
constexpr int combining_perispomeni = 0x0342;
constexpr int combining_ypogegrammeni = 0x0345;

}  // namespace

namespace {

// Letter indices as the run keeps them: a letter's index with its
// diacritics added later by OR (they take the low seven bits), and the word's
// end added at the blank.
constexpr int word_end_step = letter_index(0, 1, 'A', 0);
constexpr int capital_step = letter_index(1, 0, 'A', 0);
constexpr int no_letter = -1;
constexpr std::array<int, 256> letter_bases = [] {
  std::array<int, 256> bases{};
  for (int c = 'A'; c <= 'Z'; ++c) bases[c] = letter_index(0, 0, static_cast<byte>(c), 0);
  return bases;
}();
// The most a byte of the run writes: a letter's form and a blank.
constexpr std::size_t most_per_byte = sizeof(EncodedCharacter) + 1;

}  // namespace

void Composer::compose_run(Cursor& in, const LetterClass* classes) {
  const EncodedCharacter* forms = document_.letter_forms();
  Document::Room room = document_.room_for_letters(in.ahead().size() * most_per_byte);
  // A run never writes past its room: it ends where the room would, and the
  // next one gets a fresh buffer.
  const std::span<const byte> bytes =
      in.ahead().first(std::min(in.ahead().size(), static_cast<std::size_t>(room.end - room.next) / most_per_byte));
  // The pending letter in locals, as its index without the diacritics: the
  // document's bytes, written as chars, would otherwise make every member be
  // read again after each letter. `cap` is that of the asterisk before a
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
  const auto room_left = [&] { return static_cast<std::size_t>(end - p) * most_per_byte; };
  // Writes the pending letter; the slow path takes what the table has no form for.
  const auto write_pending = [&](int index, bool word_end) {
    const EncodedCharacter& e = forms[index];
    if (e.length != 0) [[likely]] {
      std::memcpy(room.next, &e, sizeof e);
      room.next += e.length;
      return;
    }
    commit();
    room = write_uncomposed_in_run(word_end, room_left());
    // A fresh buffer may be smaller: the run ends where the room does.
    end = p + std::min<std::size_t>(end - p, static_cast<std::size_t>(room.end - room.next) / most_per_byte);
  };
  for (; p < end; ++p) {
    const byte c = *p;
    switch (classes[c]) {
      case LetterClass::diacritic:
        flags |= diacritic_flags[c];
        continue;
      case LetterClass::vowel:
      case LetterClass::consonant:
        if (pending != no_letter) {
          write_pending(pending | flags, false);
          flags = 0;
          pending = letter_bases[c];
          continue;
        }
        // A small vowel drops the diacritics that came before it.
        if (classes[c] == LetterClass::vowel && !cap) flags = 0;
        pending = letter_bases[c] + cap * capital_step;
        cap = 0;
        continue;
      case LetterClass::asterisk:
        if (pending != no_letter) {
          write_pending(pending | flags, false);
          flags = 0;
          pending = no_letter;
        }
        cap = 1;
        continue;
      case LetterClass::other:
        break;
    }
    // A blank after a letter: the letter ends its word, and the blank follows it.
    if (c != ' ' || pending == no_letter) break;
    write_pending((pending | flags) + word_end_step, true);
    *room.next++ = ' ';
    pending = no_letter;
    flags = 0;
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
