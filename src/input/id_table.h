#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace scrivel {

// The first thing found wrong in a metadata table: where, and what. What
// stands before it has been read.
struct TableFault {
  std::size_t offset;
  std::string what;
};

// A work as the ID table names it.
struct IdWork {
  int number = 0;
  int block = 0;      // the 8192-byte block in which it begins
  std::string title;  // Beta Code as stored, which starts in Latin type
  // The names of its citation levels, by scrivel's level: x, y, z and the
  // line (the table's w, x, y and z); empty where the table names none.
  std::array<std::string, 4> level_names;
};

// What an author's ID table (tlgNNNN.idt) says of the author and the works.
struct IdTable {
  std::string author;       // the author's number as the table writes it, e.g. "0005"
  std::string author_name;  // Beta Code as stored, which starts in Latin type
  std::vector<IdWork> works;
  std::optional<TableFault> fault;
};

// Reads an ID table entry by entry, by type: the lengths that some entries
// carry are not relied on, since tables on the discs do not keep to them.
// The citations that the table summarises (types 8 to 13) are passed over.
IdTable read_id_table(std::string_view table);

}  // namespace scrivel
