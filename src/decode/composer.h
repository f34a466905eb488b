#pragma once

#include "decode/letters.h"
#include "input/byte_source.h"
#include "messages.h"
#include "output/document.h"

namespace scrivel {

// Turns a Beta Code letter with its diacritics into one precomposed code
// point. The latest letter stays pending until the next byte shows whether
// more diacritics follow and whether the word ends (final sigma).
class Composer {
 public:
  Composer(Document& document, Messages& messages, const ByteSource& source)
      : document_(document), messages_(messages), source_(source) {}

  static byte isvowel(byte c) { return letter_classes[c] == LetterClass::vowel; }
  static byte isconsonant(byte c) { return letter_classes[c] == LetterClass::consonant; }

  // Records one diacritic sign for the pending (or coming) letter.
  void setTonosFlag(byte c);
  // Writes the pending letter, if any.
  void mnw() {
    if (letter == 0) return;
    const byte l = static_cast<byte>(letter & 0xFF);
    if (!tonosFlag && l < 128 && plain_letters[0][l] != 0) {
      write_plain(l);
    } else {
      write_letter();
    }
  }
  void resetflags() {
    letter = 0;
    cap = psFlag = daFlag = ojFlag = vaFlag = peFlag = diFlag = ypFlag = tonosFlag = endOfWord = 0;
  }

  unsigned letter = 0;  // the pending Beta Code capital, 0 when none
  byte cap = 0;
  byte psFlag = 0, daFlag = 0, ojFlag = 0, vaFlag = 0, peFlag = 0, diFlag = 0, ypFlag = 0;
  byte tonosFlag = 0;  // at least one of the seven is set
  byte endOfWord = 0;  // the byte after the letter ends the word

 private:
  // A letter without diacritics, most of the text.
  void write_plain(byte l) {
    const int code_point = plain_letters[cap][l];
    document_.print(code_point == sigma && endOfWord ? final_sigma : code_point);
    // A plain vowel leaves the word's end as it was; everything else is cleared.
    if (isvowel(l) && l != 'R') {
      cap = 0;
      letter = 0;
    } else {
      resetflags();
    }
  }
  void write_letter();
  void write_rho();
  void write_consonant(byte l);
  void write_breathing_vowel(int vowel);
  void write_accented_vowel(int vowel);
  void write_with_combining_marks(int base);
  int accent_index() const;

  Document& document_;
  Messages& messages_;
  const ByteSource& source_;
};

// Free-standing diacritic marks for the punctuation numbers 30 to 41.
extern const int punctuation30[12];

}  // namespace scrivel
