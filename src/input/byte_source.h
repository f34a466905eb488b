#pragma once

#include <cstddef>
#include <cstdint>

#include "files.h"
#include "messages.h"

namespace scrivel {

using byte = unsigned char;

constexpr std::size_t block_size = 8192;

// Thrown by getnextc when the author file has no byte left to hand out.
struct EndOfData {};

// Finds the block in which a work begins and then hands out the work's bytes
// one at a time, loading the following blocks as they are needed and keeping
// the file offset that every message prints.
class ByteSource {
 public:
  ByteSource(InputFile& file, Messages& messages) : file_(file), messages_(messages) {}

  // Positions the source on the header of `work`. Returns false, after
  // Error 003, when the work is not in the file; throws FatalExit after
  // Errors 001 and 002.
  bool find_work(int work);

  // Stores the next byte of the work in *c; throws EndOfData past the file's end.
  void getnextc(byte* c) { *c = next(); }
  byte next() {
    if (++bo >= length_) load_next_block();
    ++count;
    return buf[bo];
  }

  byte buf[block_size] = {};
  int bo = 0;                  // index in buf of the byte most recently handed out
  std::uint32_t count = 0;     // file offset of the byte most recently handed out
  int blocks_read = 0;         // blocks loaded by getnextc, not by the search

 private:
  int walk_block_starts(int work, int& stop_number);
  void load_block(int block);
  void load_next_block();
  int find_header(int work) const;
  void start_at(int block, int index);

  InputFile& file_;
  Messages& messages_;
  int length_ = 0;  // bytes of buf that the last read delivered
};

}  // namespace scrivel
