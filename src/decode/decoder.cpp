#include "decode/decoder.h"

namespace scrivel {
namespace {

constexpr byte line_break_byte = 0x80;
constexpr byte bf_mark = 0xBF;
constexpr byte header_mark = 0xEF;
constexpr byte file_end_mark = 0xF0;
constexpr byte block_end_mark = 0xFE;
constexpr byte terminator = 0xFF;

}  // namespace

void DecoderStream::ReadAtMost(int num, const char* what, int* param) {
  *param = 0;
  for (int digits = 0;;) {
    getnextc();
    if (c < '0' || c > '9') {
      buffered = 1;
      return;
    }
    *param = *param * 10 + (c - '0');
    if (++digits > num) {
      messages_.printf("Error 100: after `%s', offset:%lX\n", what, static_cast<unsigned long>(source.count));
      return;
    }
  }
}

void Decoder::flush() {
  composer_.mnw();
  composer_.resetflags();
}

// The end of the work: the pending letter ends its word, every open effect is
// closed, and the document gets its ending.
void Decoder::finish() {
  composer_.endOfWord = 1;
  flush();
  commands_.printcommand(formatting::close_all, 0);
  messages_.printf("%d blocks were read\n", in_.source.blocks_read + 1);
  document_.printending();
}

int Decoder::scrivel() {
  composer_.resetflags();
  document_.printheading();
  try {
    for (;;) {
      const byte c = in_.source.next();
      if (compose_letter(c)) continue;
      if (dispatch_through_pushback(c) == Step::work_ended) break;
    }
  } catch (const EndOfData&) {
    messages_.printf("Error 004: unexpected end of file, offset:%lX\n", static_cast<unsigned long>(in_.source.count));
    finish();
    return 1;
  }
  finish();
  return 0;
}

// Letters, "*" and the diacritic signs go to the composer; in a Latin run
// the class table has no letters, and they are plain text.
bool Decoder::compose_letter(byte c) {
  switch (classes_[c]) {
    case LetterClass::vowel:
      composer_.take_vowel(c);
      return true;
    case LetterClass::consonant:
      composer_.take_consonant(c);
      return true;
    case LetterClass::asterisk:
      composer_.take_asterisk();
      return true;
    case LetterClass::diacritic:
      composer_.setTonosFlag(c);
      return true;
    case LetterClass::other:
      break;
  }
  return false;
}

// What is not a letter may read on through the current byte and hand the
// byte after it back; that byte is taken next, before any new one.
Decoder::Step Decoder::dispatch_through_pushback(byte c) {
  for (;;) {
    in_.c = c;
    if (dispatch(c) == Step::work_ended) return Step::work_ended;
    if (!in_.buffered) return Step::go_on;
    in_.buffered = 0;
    c = in_.c;
    if (compose_letter(c)) return Step::go_on;
  }
}

Decoder::Step Decoder::dispatch(byte c) {
  if (c < line_break_byte) {
    text_byte(c);
    return Step::go_on;
  }
  // Headers and title markers are not part of the text and end no word.
  if (c != header_mark && c != bf_mark) composer_.endOfWord = 1;
  switch (c) {
    case line_break_byte:
      flush();
      commands_.printcommand(formatting::line_break, 0);
      return Step::go_on;
    case bf_mark:
      bf_sequence();
      return Step::go_on;
    case header_mark:
      return work_header();
    case file_end_mark:
      file_end();
      return Step::work_ended;
    case block_end_mark:
      block_end();
      return Step::go_on;
    default:
      flush();
      citations_.updateCite();
      citations_.write_citation();
      return Step::go_on;
  }
}

// An ASCII byte that is no letter: a sign, or text that stands as it is.
void Decoder::text_byte(byte c) {
  // The apostrophe and the hyphen end no word, so a sigma before them stays medial.
  if (c == '\'' || c == '-') {
    flush();
    document_.print(c);
    return;
  }
  composer_.endOfWord = 1;
  if (SignHandlers::is_sign(c)) {
    signs_.handle();
    classes_ = signs_.RomanFont ? no_letters.data() : letter_classes.data();
    return;
  }
  flush();
  document_.print(c);
}

// EF 80: the author header, five bytes; EF 81: a block start or work header;
// EF 82: a title, up to FF; EF and anything else: that byte is dropped.
Decoder::Step Decoder::work_header() {
  in_.getnextc();
  switch (in_.c) {
    case 0x80:
      for (int i = 1; i <= 5; ++i) in_.getnextc();
      return Step::go_on;
    case 0x81: {
      int param = 0;
      for (int i = 0; i < 3; ++i) {
        in_.getnextc();
        param = param * 10 + (in_.c - 0xB0);
      }
      in_.getnextc();
      if (this_work == 0) this_work = param;
      return this_work == param ? Step::go_on : Step::work_ended;
    }
    case 0x82:
      do in_.getnextc();
      while (in_.c != terminator);
      return Step::go_on;
    default:
      return Step::go_on;
  }
}

// FE ends the text of a block; zero bytes and blanks pad it, and the next
// block opens with a header.
void Decoder::block_end() {
  flush();
  do in_.getnextc();
  while (in_.c == 0x00 || in_.c == 0x20);
  if (in_.c != header_mark)
    messages_.printf("Error 101: block expected after FE block, count=%lX\n",
                     static_cast<unsigned long>(in_.source.count));
  in_.buffered = 1;
}

void Decoder::file_end() {
  in_.getnextc();
  if (in_.c != block_end_mark) messages_.printf("Aborting after `F0' although not `F0 FE' found\n");
}

void Decoder::bf_sequence() {
  in_.getnextc();
  if (in_.c != 0xF4)
    messages_.printf("Error 102: unexpected value in BF block, offset:%lX\n",
                     static_cast<unsigned long>(in_.source.count));
  in_.getnextc();
  if (in_.c != terminator)
    messages_.printf("Error 103: unexpected value in BF block, offset:%lX\n",
                     static_cast<unsigned long>(in_.source.count));
  citations_.flagBF = 1;
}

}  // namespace scrivel
