#pragma once

#include "decode/cursor.h"
#include "decode/letters.h"
#include "output/document.h"

namespace scrivel {

// Turns a Beta Code letter with its diacritics into one precomposed
// character. The latest letter stays pending until the next byte shows
// whether more diacritics follow and whether the word ends (final sigma).
class Composer {
 public:
  explicit Composer(Document& document) : document_(document) {}

  // A small vowel drops the diacritics that came before it; a capital vowel
  // keeps those that stood between "*" and it. Either waits for those that follow.
  void take_vowel(byte c) {
    mnw();
    if (!cap_) resetflags();
    letter_ = c;
  }
  void take_consonant(byte c) {
    mnw();
    letter_ = c;
  }
  void take_asterisk() {
    mnw();
    cap_ = 1;
  }
  // Records one diacritic sign for the pending (or coming) letter (`setTonosFlag`).
  void setTonosFlag(byte c) { tonosFlag_ |= diacritic_flags[c]; }

  // Takes the letters, asterisks, diacritic signs and plain text between
  // words that follow in the block, up to the first other byte, in one loop
  // that keeps the pending letter and the document's room at hand: most of
  // the text passes here.
  void compose_run(Cursor& in);

  // The byte after the pending letter ends its word: a sigma is final.
  void end_word() { endOfWord_ = 1; }
  // Writes the pending letter and starts afresh; done before anything that is no letter.
  void flush() {
    mnw();
    resetflags();
  }

 private:
  // Writes the pending letter, if any (`mnw`).
  void mnw() {
    if (letter_ == 0) return;
    if (!document_.print_letter(letter_index(cap_, endOfWord_, letter_, tonosFlag_))) write_uncomposed();
    resetflags();
  }
  void resetflags() { letter_ = cap_ = tonosFlag_ = endOfWord_ = 0; }
  void write_uncomposed();
  // The pending letter of a run that the table has no form for, out of the run's loop.
  [[gnu::noinline, gnu::cold]] Document::Room write_uncomposed_in_run(bool word_end, std::size_t room_wanted);

  Document& document_;
  byte letter_ = 0;  // the pending Beta Code capital, 0 when none
  byte cap_ = 0;
  Diacritics tonosFlag_ = 0;  // the diacritics recorded
  byte endOfWord_ = 0;
};

}  // namespace scrivel
