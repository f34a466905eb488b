#include "decode/decoder.h"

#include <array>
#include <string>

#include "input/id_data.h"

namespace scrivel {
namespace {

// The line level's increment: the next line of the edition.
constexpr byte line_break_byte = id::code(id::line_level, id::increment);
// The x level's string form, met as the sequence BF F4 FF.
constexpr byte bf_mark = id::code(id::x_level, id::string);
constexpr byte bf_character = 0xF4;

}  // namespace

Decoder::Decoder(ByteSource& source, profile::Script start, Sink& sink, Messages& messages)
    : in_(source, messages),
      sink_(sink),
      commands_(sink, messages),
      messages_(messages),
      context_{in_, sink, commands_, messages},
      composer_(sink),
      signs_(start),
      run_codes_(&runs_of_script()) {}

// The end of the text: the pending letter ends its word, every open effect
// is closed, and the sink is ended.
void Decoder::finish() {
  composer_.end_word();
  composer_.flush();
  commands_.close_all();
  sink_.end();
}

// One byte, or a run of them that the composer takes at once.
[[gnu::always_inline]] inline Decoder::Step Decoder::step() {
  const byte c = in_.next();
  if (starts_run(c) && composer_.compose_run(in_)) return Step::go_on;
  return dispatch_through_pushback(c);
}

// Letters, "*", the diacritic signs and text that the sink takes as it
// stands go to the composer; in a Latin run, none do.
bool Decoder::starts_run(byte c) const { return (*run_codes_)[c] != Composer::stop_code; }

// In a Latin run, letters, diacritic signs and text are text one at a time.
const Composer::RunCodes& Decoder::runs_of_script() const {
  return signs_.in_latin_run() ? Composer::no_runs : composer_.run_codes();
}

// What is not a letter may read on through the current byte and push the
// byte after it back; that byte is taken next, before any new one.
[[gnu::always_inline]] inline Decoder::Step Decoder::dispatch_through_pushback(byte c) {
  for (;;) {
    if (dispatch(c) == Step::text_ended) return Step::text_ended;
    if (!in_.take_pushed_back()) return Step::go_on;
    c = in_.current();
    if (starts_run(c) && composer_.compose_run(in_)) return Step::go_on;
  }
}

[[gnu::always_inline]] inline Decoder::Step Decoder::dispatch(byte c) {
  if (c < line_break_byte) {
    text_byte(c);
    return Step::go_on;
  }
  // Headers and title markers are not part of the text and end no word.
  if (c != id::escape && c != bf_mark) composer_.end_word();
  switch (c) {
    case line_break_byte:
      composer_.flush();
      sink_.line_break(Break::next_line);
      return Step::go_on;
    case bf_mark: bf_sequence(); return Step::go_on;
    case id::escape: return header_code();
    case id::file_end: file_end(); return Step::text_ended;
    case id::block_end: block_end(); return Step::go_on;
    default:
      composer_.flush();
      citations_.read_codes(context_);
      citations_.report_citation(context_);
      return Step::go_on;
  }
}

// The text ran out when the source had no byte left to hand out, which a
// work that is whole never meets.
Ending Decoder::run() {
  sink_.begin();
  Step last = Step::go_on;
  try {
    do last = step();
    while (last == Step::go_on && !sink_.decoding_stopped());
  } catch (const EndOfData&) {
    finish();
    return Ending::bytes_ran_out;
  }
  finish();
  return last == Step::text_ended ? Ending::text_ended : Ending::stopped;
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
    run_codes_ = &runs_of_script();
    return;
  }
  // A line-break character shows as a line break, as the line code does.
  if (c == line_break_character) {
    sink_.line_break(Break::in_text);
    return;
  }
  sink_.character(c);
}

// EF 80: the author header, five bytes; EF 81: a block start or work header,
// which ends the work when it names another; EF 82: a title, up to FF; EF
// and anything else: that byte is dropped.
Decoder::Step Decoder::header_code() {
  switch (in_.next()) {
    case id::author_code:
      for (std::size_t i = 2; i < id::author_header_size; ++i) in_.next();
      return Step::go_on;
    case id::work_code: {
      std::array<byte, 3> digits;
      for (byte& digit : digits) digit = in_.next();
      in_.next();
      const int number = id::work_number(digits.data());
      if (this_work_ == 0) this_work_ = number;
      return this_work_ == number ? Step::go_on : Step::text_ended;
    }
    case id::abbreviation_code:
      while (in_.next() != id::string_end) continue;
      return Step::go_on;
    default: return Step::go_on;
  }
}

// FE ends the text of a block; zero bytes and blanks pad it, and the next
// block opens with a header.
void Decoder::block_end() {
  composer_.flush();
  byte c;
  do c = in_.next();
  while (c == 0x00 || c == 0x20);
  if (c != id::escape) messages_.error(101, ": block expected after FE block, count=%lX\n", messages_.offset());
  in_.push_back();
}

void Decoder::file_end() {
  if (in_.next() != id::block_end)
    messages_.unnumbered_warning("Aborting after `F0' although not `F0 FE' found\n");
}

void Decoder::bf_sequence() {
  if (in_.next() != bf_character) messages_.error(102, ": unexpected value in BF block, offset:%lX\n", messages_.offset());
  if (in_.next() != id::string_end)
    messages_.error(103, ": unexpected value in BF block, offset:%lX\n", messages_.offset());
  citations_.note_bf_sequence();
}

Ending decode(ByteSource& bytes, profile::Script start, Sink& sink, Messages& messages) {
  return Decoder(bytes, start, sink, messages).run();
}

// The text ends as a work ends: the end code follows it.
Ending decode(std::string_view bytes, profile::Script start, Sink& sink, Messages& messages) {
  std::string text;
  text.reserve(bytes.size() + 2);
  text.append(bytes).append("\xF0\xFE");
  MemoryInput input(text);
  ByteSource source(input, messages);
  source.start_at_first_byte();
  return decode(source, start, sink, messages);
}

}  // namespace scrivel
