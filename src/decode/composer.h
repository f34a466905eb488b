#pragma once

#include "decode/cursor.h"
#include "greek/letters.h"
#include "output/renderer.h"

namespace scrivel {

// Turns a Beta Code letter with its diacritics into one precomposed
// character. The latest letter stays pending until the next byte shows
// whether more diacritics follow and whether the word ends (final sigma).
class Composer {
 public:
  explicit Composer(Renderer& renderer) : renderer_(renderer) {}

  // Takes the letters, asterisks, diacritic signs and plain text between
  // words from the current byte, which is one of the first three, up to the
  // first other byte, in one loop that keeps the pending letter and the
  // document's room at hand: most of the text passes here.
  void compose_run(Cursor& in);

  // The byte after the pending letter ends its word: a sigma is final.
  void end_word() { endOfWord_ = 1; }
  // Writes the pending letter and starts afresh; done before anything that is no letter.
  void flush() {
    mnw();
    resetflags();
  }

  // A letter's index with no letter: what the composer holds between letters.
  static constexpr int no_letter = -1;

 private:
  // Writes the pending letter, if any (`mnw`).
  void mnw() {
    if (letter_ == no_letter) return;
    renderer_.letter(endOfWord_ ? letter_ + word_end_step : letter_);
    resetflags();
  }
  void resetflags() {
    letter_ = no_letter;
    cap_ = tonosFlag_ = endOfWord_ = 0;
  }
  // The pending letter of a run that the table has no form for, out of the run's loop.
  [[gnu::noinline, gnu::cold]] Renderer::Room write_uncomposed_in_run(int index, std::size_t room_wanted);

  Renderer& renderer_;
  // The pending letter as its index in the letter table, with its capital
  // and the diacritics it carries so far, before its word's end is known.
  int letter_ = no_letter;
  // An asterisk and diacritics seen before the letter they go with.
  byte cap_ = 0;
  Diacritics tonosFlag_ = 0;
  byte endOfWord_ = 0;
};

}  // namespace scrivel
