#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "input/id_table.h"

namespace scrivel {

// An author as the corpus's author table names them.
struct AuthorEntry {
  std::string file_name;  // the author file's name without its extension, e.g. "TLG0005"
  std::string name;       // Beta Code as stored, which starts in Latin type
  std::vector<std::string> synonyms;
  std::string language;  // the language code, empty where none is given
};

struct AuthorTable {
  std::vector<AuthorEntry> entries;
  std::optional<TableFault> fault;
};

// Reads the author table (authtab.dir): its entries in the order they
// stand, which need not be the authors' order; library headings are passed
// over, and `*END` ends the table.
AuthorTable read_author_table(std::string_view table);

}  // namespace scrivel
