#include "input/byte_source.h"

#include "input/id_data.h"

#include <algorithm>
#include <cstring>

namespace scrivel {
namespace {

// A block start header and a work header are both EF 81 and three digit
// bytes, then FF; the block start header follows the author header.
constexpr std::size_t start_header_index = id::author_header_size;
constexpr std::size_t first_number_index = start_header_index + 2;
constexpr std::size_t walk_read = 32;

unsigned long block_offset(int block) { return static_cast<unsigned long>(block) * block_size; }

}  // namespace

ByteSource::ByteSource(InputFile& file, Messages& messages) : file_(file), messages_(messages) {
  messages_.follow(this);
}

ByteSource::~ByteSource() { messages_.follow(nullptr); }

// Phase 1: reads only the first bytes of each block until one shows a work
// number at least as great as the one wanted, or the file ends. Returns the
// block where the walk stopped; `stop_number` is that block's work number,
// or none when the walk ran off the end (no number can stand for that: a
// header's digits make negative numbers too).
int ByteSource::walk_block_starts(int work, std::optional<int>& stop_number) {
  stop_number.reset();
  for (int block = 0;; ++block) {
    if (block > 0 && !file_.seek(block_offset(block))) return block;
    const std::size_t n = file_.read(buf_, walk_read);
    if (n == 0 && block > 0) return block;
    if (n < first_number_index + 3 || buf_[start_header_index] != id::escape ||
        buf_[start_header_index + 1] != id::work_code) {
      messages_.fatal(1, ": Unexpected data, count=%lX\n", block_offset(block) + start_header_index);
      throw FatalExit{1};
    }
    const int number = id::work_number(buf_ + first_number_index);
    if (number >= work) {
      stop_number = number;
      return block;
    }
  }
}

void ByteSource::load_block(int block) {
  if (!file_.seek(block_offset(block))) {
    messages_.fatal(2, ": cannot 'fseek' at %lX\n", block_offset(block));
    throw FatalExit{1};
  }
  set_length(file_.read(buf_, block_size));
}

// Index of the first header of `work` in the loaded block, or -1. Only the
// bytes that the read delivered are looked at.
int ByteSource::find_header(int work) const {
  constexpr int header_bytes = id::work_header_size;
  const int last = std::min(length_ - header_bytes, int{block_size} - header_bytes - 1);
  if (last < int{start_header_index}) return -1;
  const byte* const end = buf_ + last + 1;
  // memchr finds the candidates: the block is mostly text, in which EF is rare.
  for (const byte* p = buf_ + start_header_index; p < end; ++p) {
    p = static_cast<const byte*>(std::memchr(p, id::escape, static_cast<std::size_t>(end - p)));
    if (p == nullptr) break;
    if (p[1] == id::work_code && id::work_number(p + 2) == work) return static_cast<int>(p - buf_);
  }
  return -1;
}

void ByteSource::start_at(int block, int index) {
  bo_ = index - 1;
  block_start_ = static_cast<std::uint32_t>(block_offset(block));
}

void ByteSource::start_at_first_byte() {
  load_block(0);
  start_at(0, 0);
}

bool ByteSource::find_work(int work) {
  std::optional<int> stop_number;
  const int stop_block = walk_block_starts(work, stop_number);
  const int chosen = stop_block > 0 ? stop_block - 1 : 0;
  load_block(chosen);
  if (const int index = find_header(work); index >= 0) {
    start_at(chosen, index);
    return true;
  }
  // A work that opens a block has that block's start header as its own
  // header, and the block before holds nothing of it.
  if (stop_number == work && stop_block != chosen) {
    load_block(stop_block);
    start_at(stop_block, int{start_header_index});
    return true;
  }
  messages_.fatal(3, ": EF 81 not found (wrong work-number?)\n");
  return false;
}

// The offset stays on the last byte handed out when there is none after it.
void ByteSource::load_next_block() {
  --bo_;
  // A short block is the file's last: there is nothing after it.
  if (length_ < int{block_size}) throw EndOfData{};
  const std::size_t n = file_.read(buf_, block_size);
  if (n == 0) throw EndOfData{};
  set_length(n);
  bo_ = 0;
  block_start_ += block_size;
  ++blocks_read_;
}

}  // namespace scrivel
