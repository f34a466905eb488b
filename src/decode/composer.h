#pragma once

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

  static byte isvowel(byte c);
  static byte isconsonant(byte c);
  static byte istonos(byte c);

  // Records one diacritic sign for the pending (or coming) letter.
  void setTonosFlag(byte c);
  // Writes the pending letter, if any.
  void mnw();
  void resetflags();

  unsigned letter = 0;  // the pending Beta Code capital, 0 when none
  byte cap = 0;
  byte psFlag = 0, daFlag = 0, ojFlag = 0, vaFlag = 0, peFlag = 0, diFlag = 0, ypFlag = 0;
  byte tonosFlag = 0;  // at least one of the seven is set
  byte endOfWord = 0;  // the byte after the letter ends the word

 private:
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
