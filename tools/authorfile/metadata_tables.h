// The corpus's metadata: an author's ID table (tlgNNNN.idt) and the author table (authtab.dir).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "author_file_builder.h"

namespace authorfile {

// A unit as laid out: the block it begins in, the block it ends in (later only when it was cut
// at a block's end), and what its citation codes set.
struct UnitRecord {
  std::size_t first_block;
  std::size_t last_block;
  std::vector<CitationSetting> citations;
  bool out_of_order;
};

struct WorkRecord {
  int number;
  std::string title;                // empty: none
  std::vector<std::string> levels;  // highest first
  std::size_t first_block;          // where its header is
  std::vector<UnitRecord> units;
};

// The names and titles stand in the tables as they are given: printable ASCII, since a byte
// above 0x7F ends a field of the author table, and at most 255 bytes, the ID table's length byte.
std::string stored_text(std::string_view text, std::string_view what);

constexpr std::size_t max_synonyms = 5;
constexpr std::size_t max_levels = 5;

Bytes id_table(const AuthorEntry& author, const std::vector<WorkRecord>& works);

}  // namespace authorfile
