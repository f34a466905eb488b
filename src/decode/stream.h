#pragma once

#include "input/byte_source.h"
#include "messages.h"

namespace scrivel {

// The decoder's current byte with its one-byte push-back. Every reader (the
// decoder loop, the sign handlers, the citation tracker) fetches into the one
// byte `c`, and one that has read a byte too far sets `buffered`, so that the
// decoder dispatches that byte next instead of fetching.
class DecoderStream {
 public:
  DecoderStream(ByteSource& source, Messages& messages) : source(source), messages_(messages) {}

  void getnextc() { source.getnextc(&c); }

  // Reads the decimal number behind a sign into *param: up to `num` digits
  // silently, one more with Error 100; the byte after the number is pushed back.
  void ReadAtMost(int num, const char* what, int* param);

  ByteSource& source;
  byte c = 0;
  byte buffered = 0;

 private:
  Messages& messages_;
};

}  // namespace scrivel
