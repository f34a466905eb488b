#pragma once

#include "decode/citations.h"
#include "decode/composer.h"
#include "decode/context.h"
#include "decode/cursor.h"
#include "decode/signs.h"
#include "greek/letters.h"
#include "input/byte_source.h"
#include "messages.h"
#include "output/commands.h"

namespace scrivel {

// Walks the byte stream of one work, from its header to the header of the
// next work or the file's end code, once, and decides for every byte what
// becomes of it.
class Decoder {
 public:
  Decoder(ByteSource& source, Renderer& renderer, Messages& messages);

  // Converts the work into the document, from heading to ending (the
  // program's `scrivel`), through the renderer of its format. Returns the exit status: 0, or 1 when the author
  // file ended before the work did.
  int scrivel();

 private:
  enum class Step { go_on, work_ended };

  bool starts_run(byte c) const;
  Step dispatch_through_pushback(byte c);
  Step dispatch(byte c);
  void text_byte(byte c);
  Step header_code();
  void block_end();
  void file_end();
  void bf_sequence();
  void finish();

  Cursor in_;
  Renderer& renderer_;
  CommandStack commands_;
  Messages& messages_;
  Context context_;
  Composer composer_;
  CitationTracker citations_;
  SignHandlers signs_;
  int this_work_ = 0;                                   // the number of the first work header seen
  const LetterClass* classes_ = letter_classes.data();  // of the current font: Greek, or a Latin run
};

}  // namespace scrivel
