#pragma once

#include <array>

#include "decode/letters.h"
#include "input/byte_source.h"
#include "messages.h"
#include "output/document.h"

namespace scrivel {

// A letter without diacritics, most of the text, ready to copy in the form of
// one output mode: indexed by capital (256), word's end (128) and the Beta
// Code capital. Final sigma has its own entries; J, which is no Greek letter,
// and what is no letter have none (length 0).
using PlainLetterForms = std::array<EncodedCharacter, 4 * 128>;

constexpr PlainLetterForms plain_letter_forms(const EncodedCharacters& encoded) {
  PlainLetterForms forms{};
  for (int cap = 0; cap < 2; ++cap) {
    for (int word_end = 0; word_end < 2; ++word_end) {
      for (int l = 0; l < 128; ++l) {
        int code_point = plain_letters[cap][l];
        if (code_point == sigma && word_end) code_point = final_sigma;
        if (code_point >= 0x80) forms[cap << 8 | word_end << 7 | l] = encoded[code_point];
      }
    }
  }
  return forms;
}

inline constexpr PlainLetterForms rtf_plain_letters = plain_letter_forms(rtf_escapes);
inline constexpr PlainLetterForms html_plain_letters = plain_letter_forms(utf8_forms);

// Turns a Beta Code letter with its diacritics into one precomposed code
// point. The latest letter stays pending until the next byte shows whether
// more diacritics follow and whether the word ends (final sigma).
class Composer {
 public:
  Composer(Document& document, Messages& messages, const ByteSource& source)
      : document_(document),
        messages_(messages),
        source_(source),
        plain_forms_(document.rtf ? rtf_plain_letters.data() : html_plain_letters.data()) {}

  static byte isvowel(byte c) { return letter_classes[c] == LetterClass::vowel; }
  static byte isconsonant(byte c) { return letter_classes[c] == LetterClass::consonant; }

  // A small vowel drops the diacritics that came before it; a capital vowel
  // keeps those that stood between "*" and it. Either waits for those that follow.
  void take_vowel(byte c) {
    mnw();
    if (!cap) resetflags();
    letter = c;
  }
  void take_consonant(byte c) {
    mnw();
    letter = c;
  }
  void take_asterisk() {
    mnw();
    cap = 1;
  }
  // The diacritic flags, bits of tonosFlag.
  using Flags = byte;
  static constexpr Flags psFlag = 1, daFlag = 2, ojFlag = 4, vaFlag = 8, peFlag = 16, diFlag = 32, ypFlag = 64;

  // Records one diacritic sign for the pending (or coming) letter.
  void setTonosFlag(byte c) {
    const Flags flag = diacritic_flags[c];
    if (flag == 0) {
      warn_settonos();
      return;
    }
    tonosFlag |= flag;
  }
  // Writes the pending letter, if any.
  void mnw() {
    if (letter == 0) return;
    if (!tonosFlag) {
      const EncodedCharacter& form = plain_forms_[cap << 8 | endOfWord << 7 | (letter & 0x7F)];
      if (form.length != 0) {
        document_.print_encoded(form);
        // No flag is set. The word's end is cleared with the rest wherever
        // it was set: every other caller resets the flags next.
        letter = 0;
        cap = 0;
        return;
      }
    }
    write_letter();
  }
  void resetflags() {
    letter = 0;
    cap = tonosFlag = endOfWord = 0;
  }

  unsigned letter = 0;  // the pending Beta Code capital, 0 when none
  byte cap = 0;
  Flags tonosFlag = 0;  // the diacritics recorded; 0 when none
  byte endOfWord = 0;  // the byte after the letter ends the word

 private:
  // The flag of each diacritic sign: ) psili, ( dasia, / oxeia, \\ vareia,
  // = perispomeni, + dialytika, | ypogegrammeni.
  static constexpr std::array<Flags, 256> diacritic_flags = [] {
    std::array<Flags, 256> flags{};
    flags[')'] = psFlag;
    flags['('] = daFlag;
    flags['/'] = ojFlag;
    flags['\\'] = vaFlag;
    flags['='] = peFlag;
    flags['+'] = diFlag;
    flags['|'] = ypFlag;
    return flags;
  }();

  void warn_settonos() const;
  void write_letter();
  void write_consonant(byte l);
  void write_with_combining_marks(int base);

  Document& document_;
  Messages& messages_;
  const ByteSource& source_;
  const EncodedCharacter* plain_forms_;  // the output mode's plain letter forms
};

// Free-standing diacritic marks for the punctuation numbers 30 to 41.
extern const int punctuation30[12];

}  // namespace scrivel
