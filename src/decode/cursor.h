#pragma once

#include "input/byte_source.h"
#include "messages.h"

namespace scrivel {

// The one way the decoding parts read the text: the current byte with a
// one-byte push-back. A reader that has read one byte too far pushes it
// back, and the decoder dispatches that byte next instead of fetching.
class Cursor {
 public:
  Cursor(ByteSource& source, Messages& messages) : source_(source), messages_(messages) {}

  // Fetches the next byte, which becomes the current one; throws EndOfData
  // past the last.
  byte next() { return current_ = source_.next(); }
  byte current() const { return current_; }

  // The current byte and those after it in the block, for a run taken at
  // once: take(n) takes the first n, the last becoming the current byte.
  std::span<const byte> run() const { return source_.from_current(); }
  void take(std::size_t n) {
    if (n <= 1) return;
    source_.hand_out(n - 1);
    current_ = source_.from_current()[0];
  }

  // The current byte is to be dispatched again.
  void push_back() { pushed_back_ = true; }
  // Whether a byte was pushed back; the push-back is cleared.
  bool take_pushed_back() {
    const bool pushed = pushed_back_;
    pushed_back_ = false;
    return pushed;
  }

  // Reads the decimal number behind a sign: up to `digits` digits silently,
  // one more with Error 100 naming the sign `what`; the byte after the
  // number is pushed back.
  int read_number(int digits, const char* what);

 private:
  ByteSource& source_;
  Messages& messages_;
  byte current_ = 0;
  bool pushed_back_ = false;
};

}  // namespace scrivel
