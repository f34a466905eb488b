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
  // words from the current byte up to the first other byte, in one loop
  // that keeps the pending letter at hand: most of the text passes here. A
  // sink that writes a document has the run written straight into its
  // buffer; one that takes the run event by event may stop the decoding in
  // it, and the run ends there. Returns whether it took the current byte,
  // which a writer that lets no text stand as it is for now leaves to the
  // slower way.
  bool compose_run(Cursor& in);

  // What each byte is to a run (see composer.cpp), by byte.
  using RunCodes = std::array<int, 256>;
  // The codes of the runs into this sink, whose bytes other than stop_code
  // may start one; a Latin run takes none.
  const RunCodes& run_codes() const { return codes_; }
  static const RunCodes no_runs;
  static constexpr int stop_code = -256;

  // The byte after the pending letter ends its word: a sigma is final.
  void end_word() { word_ended_ = true; }
  // Writes the pending letter and starts afresh; done before anything that is no letter.
  void flush() {
    if (letter_ != no_letter) sink_.letter(word_ended_ ? letter_ + word_end_step : letter_);
    clear();
  }

  // A letter's index with no letter: what the composer holds between letters.
  static constexpr int no_letter = -1;

 private:
  void clear() {
    letter_ = no_letter;
    capital_ = false;
    diacritics_ = 0;
    word_ended_ = false;
  }
  template <typename Out>
  bool compose(Cursor& in, Out out, const RunCodes& codes);
  bool compose_into_sink(Cursor& in);

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
