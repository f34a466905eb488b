#pragma once

#include <array>

#include "decode/letters.h"
#include "input/byte_source.h"
#include "messages.h"
#include "output/document.h"

namespace scrivel {

// Every letter with every set of diacritics, ready to copy in the form of one
// output mode: indexed by capital, word's end (for sigma), the Beta Code
// capital and the diacritic flags. J, which is no Greek letter, and the
// vowels that Unicode has no precomposed form for have no entry (length 0).
using LetterForms = std::array<EncodedCharacter, 2 * 2 * 26 * 128>;
extern const LetterForms rtf_letter_forms;
extern const LetterForms html_letter_forms;

// Turns a Beta Code letter with its diacritics into one precomposed code
// point. The latest letter stays pending until the next byte shows whether
// more diacritics follow and whether the word ends (final sigma).
class Composer {
 public:
  Composer(Document& document, Messages& messages, const ByteSource& source)
      : document_(document),
        messages_(messages),
        source_(source),
        letter_forms_(document.rtf ? rtf_letter_forms.data() : html_letter_forms.data()) {}

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
    const EncodedCharacter& form = letter_forms_[form_index(cap, endOfWord, static_cast<byte>(letter), tonosFlag)];
    if (form.length == 0) {
      write_letter();
      return;
    }
    document_.print_encoded(form);
    resetflags();
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

  static constexpr int form_index(byte cap, byte word_end, byte letter, Flags flags) {
    return ((cap * 2 + word_end) * 26 + (letter - 'A')) * 128 + flags;
  }
  friend constexpr LetterForms letter_forms(const EncodedCharacters& encoded);

  void warn_settonos() const;
  void write_letter();
  void write_consonant(byte l);
  void write_with_combining_marks(int base);

  Document& document_;
  Messages& messages_;
  const ByteSource& source_;
  const EncodedCharacter* letter_forms_;  // the output mode's letter forms
};

// Free-standing diacritic marks for the punctuation numbers 30 to 41.
extern const int punctuation30[12];

}  // namespace scrivel
