#pragma once

#include <array>
#include <optional>
#include <string>

#include "files.h"
#include "input/author_table.h"
#include "input/id_table.h"
#include "output/edition.h"

namespace scrivel {

// What the corpus's tables name, as plain text: the author, the work, and
// the work's levels (x, y, z and the line); empty where they name nothing.
struct WorkNames {
  std::string author;
  std::string title;
  std::array<std::string, level_count> levels;
};

// The title and the author's name as an edition gives them: as the tables
// name them, else by number (tlg0012.tlg001, tlg0012).
std::string title_of(const WorkNames& names, int author, int work);
std::string author_name_of(const WorkNames& names, int author);

// The names of the author table's entry and of the ID table's work, either
// of which may be missing.
WorkNames names_of(const AuthorEntry* author, const IdWork* work);

// The names that the tables in `directory` (ending in its separator) give
// a work: the author table authtab.dir and the ID table tlgNNNN.idt, each in
// lower or upper case. A missing table names nothing; of a damaged one, what
// stands before the damage is used. The author's name is the author
// table's, as scrivel-corpus lists it.
WorkNames names_in_corpus(FileSystem& files, const std::string& directory, int author, int work);

// What the TEI edition of a work says beyond its text, from the names the
// tables give it; `lines` forces verse or prose.
Edition edition_of(int author, int work, const WorkNames& names, std::optional<LineForm> lines);

}  // namespace scrivel
