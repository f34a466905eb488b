#pragma once

#include "decode/citations.h"
#include "decode/composer.h"
#include "decode/context.h"
#include "decode/cursor.h"
#include "decode/decode.h"
#include "decode/signs.h"
#include "greek/letters.h"
#include "messages.h"
#include "output/commands.h"

namespace scrivel {

// Walks the byte stream of one text once, and decides for every byte what
// becomes of it.
class Decoder {
 public:
  Decoder(ByteSource& source, profile::Script start, Sink& sink, Messages& messages);

  Ending run();

 private:
  enum class Step { go_on, text_ended };

  Step step();
  bool starts_run(byte c) const;
  const Composer::RunCodes& runs_of_script() const;
  Step dispatch_through_pushback(byte c);
  Step dispatch(byte c);
  void text_byte(byte c);
  Step header_code();
  void block_end();
  void file_end();
  void bf_sequence();
  void finish();

  Cursor in_;
  Sink& sink_;
  CommandStack commands_;
  Messages& messages_;
  Context context_;
  Composer composer_;
  CitationTracker citations_;
  SignHandlers signs_;
  int this_work_ = 0;               // the number of the first work header seen
  const Composer::RunCodes* run_codes_;  // of the current script: Greek, or a Latin run
};

}  // namespace scrivel
