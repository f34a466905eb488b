#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "files.h"

namespace scrivel {

// The document's file and the bytes on their way to it. The bytes go into
// buffers that the file lends, never one library call per character.
class Writer {
 public:
  explicit Writer(std::unique_ptr<OutputFile> file) : file_(std::move(file)) { next_buffer(); }

  // Hands the last bytes to the file and closes it; false when a write failed.
  bool close();

  void write(std::string_view text) {
    if (text.size() > static_cast<std::size_t>(end_ - next_)) {
      write_across_buffers(text);
      return;
    }
    std::memcpy(next_, text.data(), text.size());
    next_ += text.size();
  }
  // Writes text that fits the least room a buffer has into one buffer, so
  // that it can be taken back whole.
  void write_unbroken(std::string_view text) {
    std::memcpy(reserve(text.size()), text.data(), text.size());
    next_ += text.size();
  }
  void put(char ch) {
    if (next_ == end_) next_buffer();
    *next_++ = ch;
  }
  // Room for `n` more bytes, at most OutputFile::min_lent, which the caller
  // fills and then hands back with advance_to.
  char* reserve(std::size_t n) {
    if (static_cast<std::size_t>(end_ - next_) < n) next_buffer();
    return next_;
  }
  void advance_to(char* next) { next_ = next; }
  char* next() const { return next_; }
  char* end() const { return end_; }

  // How many bytes the document holds so far.
  std::uint64_t position() const { return handed_ + static_cast<std::uint64_t>(next_ - lent_.data()); }
  // Takes back the last `n` bytes, which must lie in the buffer being filled.
  void take_back(std::size_t n) { next_ -= n; }
  // Whether the last `n` bytes lie in the buffer being filled, so that they
  // can be taken back or looked at.
  bool holds_last(std::size_t n) const { return n <= static_cast<std::size_t>(next_ - lent_.data()); }
  // The last byte written, where holds_last(1).
  char last() const { return next_[-1]; }

 private:
  void next_buffer();
  void write_across_buffers(std::string_view text);

  std::unique_ptr<OutputFile> file_;
  std::span<char> lent_;  // the buffer that the file lent last
  char* next_ = nullptr;  // where the next byte goes in it
  char* end_ = nullptr;
  std::uint64_t handed_ = 0;  // bytes handed to the file before the buffer being filled
};

}  // namespace scrivel
