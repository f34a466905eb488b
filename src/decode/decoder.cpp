#include "decode/decoder.h"

namespace scrivel {
namespace {

constexpr byte line_break_byte = 0x80;
constexpr byte line_break_character = 11;
constexpr byte bf_mark = 0xBF;
constexpr byte header_mark = 0xEF;
constexpr byte file_end_mark = 0xF0;
constexpr byte block_end_mark = 0xFE;
constexpr byte terminator = 0xFF;

}  // namespace

Decoder::Decoder(ByteSource& source, Renderer& renderer, Messages& messages)
    : in_(source, messages),
      renderer_(renderer),
      commands_(renderer, messages),
      messages_(messages),
      context_{in_, renderer, commands_, messages},
      composer_(renderer) {}

// The end of the work: the pending letter ends its word, every open effect is
// closed, and the document gets its ending.
void Decoder::finish() {
  composer_.end_word();
  composer_.flush();
  commands_.close_all();
  messages_.printf("%d blocks were read\n", in_.blocks_read() + 1);
  renderer_.end();
}

int Decoder::scrivel() {
  renderer_.begin();
  try {
    for (;;) {
      const byte c = in_.getnextc();
      if (starts_run(c)) {
        composer_.compose_run(in_);
        continue;
      }
      if (dispatch_through_pushback(c) == Step::work_ended) break;
    }
  } catch (const EndOfData&) {
    messages_.fatal(4, ": unexpected end of file, offset:%lX\n", messages_.offset());
    finish();
    return 1;
  }
  finish();
  return 0;
}

// Letters, "*" and the diacritic signs go to the composer; in a Latin run
// the class table has no letters, and they are plain text.
bool Decoder::starts_run(byte c) const { return classes_[c] != LetterClass::other; }

// What is not a letter may read on through the current byte and push the
// byte after it back; that byte is taken next, before any new one.
Decoder::Step Decoder::dispatch_through_pushback(byte c) {
  for (;;) {
    if (dispatch(c) == Step::work_ended) return Step::work_ended;
    if (!in_.take_pushed_back()) return Step::go_on;
    c = in_.c();
    if (starts_run(c)) {
      composer_.compose_run(in_);
      return Step::go_on;
    }
  }
}

Decoder::Step Decoder::dispatch(byte c) {
  if (c < line_break_byte) {
    text_byte(c);
    return Step::go_on;
  }
  // Headers and title markers are not part of the text and end no word.
  if (c != header_mark && c != bf_mark) composer_.end_word();
  switch (c) {
    case line_break_byte:
      composer_.flush();
      renderer_.line_break(Break::next_line);
      return Step::go_on;
    case bf_mark: bf_sequence(); return Step::go_on;
    case header_mark: return header_code();
    case file_end_mark: file_end(); return Step::work_ended;
    case block_end_mark: block_end(); return Step::go_on;
    default:
      composer_.flush();
      citations_.updateCite(context_);
      citations_.write_citation(context_);
      return Step::go_on;
  }
}

// An ASCII byte that is no letter: a sign, or text that stands as it is.
// The blank between words comes here: kept in the loop, it costs 5 % fewer
// instructions than as a call.
[[gnu::always_inline]] inline void Decoder::text_byte(byte c) {
  // The apostrophe and the hyphen end no word, so a sigma before them stays medial.
  if (c != '\'' && c != '-') composer_.end_word();
  composer_.flush();
  if (SignHandlers::is_sign(c)) {
    signs_.handle(context_);
    classes_ = signs_.in_latin_run() ? no_letters.data() : letter_classes.data();
    return;
  }
  // A line-break character shows as a line break, as the line code does.
  if (c == line_break_character) {
    renderer_.line_break(Break::in_text);
    return;
  }
  renderer_.character(c);
}

// EF 80: the author header, five bytes; EF 81: a block start or work header,
// which ends the work when it names another; EF 82: a title, up to FF; EF
// and anything else: that byte is dropped.
Decoder::Step Decoder::header_code() {
  switch (in_.getnextc()) {
    case 0x80:
      for (int i = 1; i <= 5; ++i) in_.getnextc();
      return Step::go_on;
    case 0x81: {
      int param = 0;
      for (int i = 0; i < 3; ++i) param = param * 10 + (in_.getnextc() - 0xB0);
      in_.getnextc();
      if (this_work_ == 0) this_work_ = param;
      return this_work_ == param ? Step::go_on : Step::work_ended;
    }
    case 0x82:
      while (in_.getnextc() != terminator) continue;
      return Step::go_on;
    default: return Step::go_on;
  }
}

// FE ends the text of a block; zero bytes and blanks pad it, and the next
// block opens with a header.
void Decoder::block_end() {
  composer_.flush();
  byte c;
  do c = in_.getnextc();
  while (c == 0x00 || c == 0x20);
  if (c != header_mark) messages_.error(101, ": block expected after FE block, count=%lX\n", messages_.offset());
  in_.push_back();
}

void Decoder::file_end() {
  if (in_.getnextc() != block_end_mark)
    messages_.unnumbered_warning("Aborting after `F0' although not `F0 FE' found\n");
}

void Decoder::bf_sequence() {
  if (in_.getnextc() != 0xF4) messages_.error(102, ": unexpected value in BF block, offset:%lX\n", messages_.offset());
  if (in_.getnextc() != terminator)
    messages_.error(103, ": unexpected value in BF block, offset:%lX\n", messages_.offset());
  citations_.note_bf_sequence();
}

}  // namespace scrivel
