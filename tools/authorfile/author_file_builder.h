// Builds TLG author files (Beta Code text with binary codes, in 8192-byte blocks)
// from a readable notation, so that tests and samples can be written as text.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string_view>
#include <vector>

namespace authorfile {

constexpr std::size_t block_size = 8192;

struct BuildError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

using Bytes = std::vector<unsigned char>;

// Translates one unit of content in the readable notation (`~~`, `~[ tokens ]`) into bytes.
Bytes translate(std::string_view text);

// Lays works out in blocks. Calls are recorded and laid out by finish(), which needs to know
// whether anything follows a unit to tell how much room the block has left for it.
class Builder {
 public:
  explicit Builder(int author);
  Builder& work(int number);             // starts a work (header inline, or the next block's start header)
  Builder& block();                      // the next unit starts at a fresh block
  Builder& unit(std::string_view text);  // one unit in the readable notation
  Builder& raw(const Bytes& bytes);      // one unit of bytes as they stand
  Bytes finish() const;                  // closes the last block with F0 FE and padding

 private:
  enum class Kind { work, block, unit };
  struct Item {
    Kind kind;
    int work;     // for Kind::work
    Bytes bytes;  // for Kind::unit
  };

  int author_;
  std::vector<Item> items_;
  bool has_work_ = false;
};

// Builds a whole author file from the readable source form (see README.md).
Bytes build(std::string_view source);

// One work whose units are the '\n'-separated lines of `content`, each translated,
// as work `work` of author `author`, the only work of the file.
Bytes single_work(std::string_view content, int author = 1, int work = 1);

}  // namespace authorfile
