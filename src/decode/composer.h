#pragma once

#include <array>

#include "decode/cursor.h"
#include "greek/letters.h"
#include "output/renderer.h"
#include "output/sink.h"

namespace scrivel {

// Turns a Beta Code letter with its diacritics into one precomposed
// character. The latest letter stays pending until the next byte shows
// whether more diacritics follow and whether the word ends (final sigma).
class Composer {
 public:
  explicit Composer(Sink& sink);

  // Takes the letters, asterisks, diacritic signs and plain text between
  // words from the current byte, which is one of the first three, up to the
  // first other byte, in one loop that keeps the pending letter at hand:
  // most of the text passes here. A sink that writes a document has the
  // run written straight into its buffer. A sink that takes the run event
  // by event may stop the decoding in it: the run ends there.
  void compose_run(Cursor& in);

  // The byte after the pending letter ends its word: a sigma is final.
  void end_word() { word_ended_ = true; }
  // Writes the pending letter and starts afresh; done before anything that is no letter.
  void flush() {
    write_pending();
    clear();
  }

  // A letter's index with no letter: what the composer holds between letters.
  static constexpr int no_letter = -1;

  // What each byte is to a run: see composer.cpp.
  using RunCodes = std::array<int, 256>;

 private:
  void write_pending() {
    if (letter_ == no_letter) return;
    sink_.letter(word_ended_ ? letter_ + word_end_step : letter_);
    clear();
  }
  void clear() {
    letter_ = no_letter;
    capital_ = false;
    diacritics_ = 0;
    word_ended_ = false;
  }
  template <typename Out>
  void compose(Cursor& in, Out out, const RunCodes& codes);
  void compose_into_sink(Cursor& in);

  Sink& sink_;
  Renderer* const writer_;  // the sink's, where it writes a document
  RunCodes codes_;          // with the text that the sink takes as it stands
  // The pending letter as its index in the letter table, with its capital
  // and the diacritics it carries so far, before its word's end is known.
  int letter_ = no_letter;
  // An asterisk and diacritics seen before the letter they go with.
  bool capital_ = false;
  Diacritics diacritics_ = 0;
  bool word_ended_ = false;
};

}  // namespace scrivel
