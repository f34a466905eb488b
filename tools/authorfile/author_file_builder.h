// Builds TLG author files (Beta Code text with binary codes, in 8192-byte blocks) and the
// corpus's metadata (ID tables, the author table) from a readable notation, so that tests and
// samples can be written as text.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace authorfile {

constexpr std::size_t block_size = 8192;

struct BuildError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

using Bytes = std::vector<unsigned char>;

// An author as the author table lists it; the texts are Beta Code as stored, empty for none.
struct AuthorEntry {
  int number = 0;
  std::string name;
  std::vector<std::string> synonyms;  // up to five
  std::string language;

  bool operator==(const AuthorEntry&) const = default;
};

// An author file with its ID table.
struct AuthorFiles {
  AuthorEntry author;
  Bytes text;      // tlgNNNN.txt
  Bytes id_table;  // tlgNNNN.idt
};

// What a citation code of a unit sets: a level of the notation (0 x, 1 y, 2 z, 3 line) to a
// number or a text.
struct CitationSetting {
  std::size_t level;
  std::variant<int, std::string> value;
};

// Translates one unit of content in the readable notation (`~~`, `~[ tokens ]`) into bytes.
Bytes translate(std::string_view text);

// Lays works out in blocks. Calls are recorded and laid out by finish(), which needs to know
// whether anything follows a unit to tell how much room the block has left for it.
class Builder {
 public:
  explicit Builder(int author);
  Builder& name(std::string_view beta_code);     // the author's name
  Builder& synonym(std::string_view beta_code);  // up to five, for the author table
  Builder& language(std::string_view code);      // for the author table
  Builder& work(int number);             // starts a work (header inline, or the next block's start header)
  Builder& title(std::string_view beta_code);                   // the current work's title
  Builder& levels(const std::vector<std::string_view>& names);  // its citation levels, highest first
  Builder& block();                      // the next unit starts at a fresh block
  Builder& unit(std::string_view text);  // one unit in the readable notation
  Builder& out_of_order(std::string_view text);  // a unit whose line stands out of citation order
  Builder& raw(const Bytes& bytes);      // one unit of bytes as they stand
  Bytes finish() const;                  // closes the last block with F0 FE and padding
  AuthorFiles finish_files() const;      // the same author file, and its ID table

 private:
  enum class Kind { work, block, unit };
  struct Item {
    Kind kind;
    int work;                                // for Kind::work
    Bytes bytes;                             // for Kind::unit
    std::vector<CitationSetting> citations;  // for Kind::unit: what its `~[...]` sets
    bool out_of_order = false;
  };
  struct WorkNames {
    std::string title;
    std::vector<std::string> levels;
  };
  // The blocks an item occupies once laid out.
  struct Span {
    std::size_t first_block = 0;
    std::size_t last_block = 0;
  };

  Builder& add_unit(Bytes bytes, std::vector<CitationSetting> citations, bool out_of_order);
  WorkNames& current_work(std::string_view what);
  Bytes lay_out(std::vector<Span>& spans) const;

  AuthorEntry author_;
  std::vector<Item> items_;
  std::vector<WorkNames> works_;  // one for each Kind::work item, in order
};

// Builds a whole author file from the readable source form (see README.md).
Bytes build(std::string_view source);

// Builds the author file, its ID table and the author's entry from the readable source form.
AuthorFiles build_files(std::string_view source);

// The author table (authtab.dir) listing the authors in the order given.
Bytes author_table(const std::vector<AuthorEntry>& authors);

// One work whose units are the '\n'-separated lines of `content`, each translated,
// as work `work` of author `author`, the only work of the file.
Bytes single_work(std::string_view content, int author = 1, int work = 1);

}  // namespace authorfile
