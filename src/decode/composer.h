#pragma once

#include <array>
#include <string_view>

#include "input/byte_source.h"
#include "messages.h"
#include "output/document.h"

namespace scrivel {

// The Beta Code letters: the vowels (rho goes with them, for its breathing),
// and the consonants, which are the other capitals B to Z. J is among them
// although it is no Greek letter.
inline constexpr std::string_view vow1 = "AEHIOUWR";
inline constexpr std::string_view cons1 = "BCDFGKLMNPQSTVXYZ";

enum class LetterClass : byte { other, vowel, consonant, diacritic };

// The decoder asks for the class of every byte of the text.
inline constexpr std::array<LetterClass, 256> letter_classes = [] {
  std::array<LetterClass, 256> classes{};
  for (int c = 'B'; c <= 'Z'; ++c) classes[c] = LetterClass::consonant;
  for (const char c : vow1) classes[static_cast<byte>(c)] = LetterClass::vowel;
  for (const char c : std::string_view(")(/\\=+|")) classes[static_cast<byte>(c)] = LetterClass::diacritic;
  return classes;
}();

// Turns a Beta Code letter with its diacritics into one precomposed code
// point. The latest letter stays pending until the next byte shows whether
// more diacritics follow and whether the word ends (final sigma).
class Composer {
 public:
  Composer(Document& document, Messages& messages, const ByteSource& source)
      : document_(document), messages_(messages), source_(source) {}

  static byte isvowel(byte c) { return letter_classes[c] == LetterClass::vowel; }
  static byte isconsonant(byte c) { return letter_classes[c] == LetterClass::consonant; }
  static byte istonos(byte c) { return letter_classes[c] == LetterClass::diacritic; }

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
