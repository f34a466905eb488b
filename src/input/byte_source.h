#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "byte.h"
#include "files.h"
#include "messages.h"

namespace scrivel {

constexpr std::size_t block_size = 8192;

// Thrown by next() when the file has no byte left to hand out: it ended
// inside the text.
struct EndOfData {};

// Finds the block in which a work begins and then hands out the work's bytes
// one at a time, loading the following blocks as they are needed. It is the
// position that messages report while it exists.
class ByteSource : public Position {
 public:
  ByteSource(InputFile& file, Messages& messages);
  ~ByteSource();
  ByteSource(const ByteSource&) = delete;
  ByteSource& operator=(const ByteSource&) = delete;

  // Positions the source on the header of `work`. Returns false, after
  // Error 003, when the work is not in the file; throws FatalExit after
  // Errors 001 and 002.
  bool find_work(int work);
  // Positions the source on the file's first byte, for a text that is no
  // work of an author file.
  void start_at_first_byte();

  // The next byte of the work; throws EndOfData past the file's end.
  byte next() {
    if (++bo_ >= length_) load_next_block();
    return buf_[bo_];
  }

  // The byte most recently handed out and those after it in the loaded
  // block, for a reader that takes a run of them at once: hand_out(n) hands
  // out the n after it. The byte past them is `past_loaded`.
  std::span<const byte> from_current() const { return {buf_ + bo_, buf_ + length_}; }
  // Follows the loaded bytes: a code that no text contains where it stands,
  // so that a reader of runs stops at it without counting.
  static constexpr byte past_loaded = 0xFF;
  void hand_out(std::size_t n) { bo_ += static_cast<int>(n); }

  // The file offset of the byte most recently handed out (`count`).
  std::uint32_t offset() const override { return block_start_ + static_cast<std::uint32_t>(bo_); }
  // Blocks loaded as the work went on, not counting the one the search loaded.
  int blocks_read() const { return blocks_read_; }

 private:
  int walk_block_starts(int work, std::optional<int>& stop_number);
  void load_block(int block);
  void load_next_block();
  int find_header(int work) const;
  void start_at(int block, int index);
  void set_length(std::size_t n) {
    length_ = static_cast<int>(n);
    buf_[length_] = past_loaded;
  }

  InputFile& file_;
  Messages& messages_;
  byte buf_[block_size + 1] = {};
  int bo_ = 0;                     // index in buf_ of the byte most recently handed out
  int length_ = 0;                 // bytes of buf_ that the last read delivered
  std::uint32_t block_start_ = 0;  // file offset of buf_[0]
  int blocks_read_ = 0;
};

}  // namespace scrivel
