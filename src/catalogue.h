#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "files.h"
#include "input/author_table.h"
#include "input/id_table.h"
#include "input/work_list.h"
#include "output/citation.h"
#include "profile.h"

namespace scrivel {

// What the corpus's tables name, as plain text: the author, the work, and
// the work's levels (x, y, z and the line); empty where they name nothing.
struct WorkNames {
  std::string author;
  std::string title;
  std::array<std::string, level_count> levels;
  // The language of the author's name and of the title, as xml:lang names
  // it: Greek where the table's text opens in Greek ($), else Latin.
  std::string_view author_language = profile::table_language;
  std::string_view title_language = profile::table_language;
};

// Where `path` is absent, a file in its directory whose name differs from
// its only in case (the discs name the author files TLG0005.TXT), the first
// in byte order; nothing when there is none.
std::optional<std::string> file_in_any_case(FileSystem& files, const std::string& path);

// The title and the author's name as an edition gives them: as the tables
// name them, else by number (tlg0012.tlg001, tlg0012).
std::string title_of(const WorkNames& names, int author, int work);
std::string author_name_of(const WorkNames& names, int author);

// What the corpus says of its authors and works besides the author files:
// the author table authtab.dir and the ID table beside each author file
// (tlgNNNN.idt), read once each, at the first asking, by scrivel and
// scrivel-corpus alike, so that both give a work the same names:
// - where: the tables stand in the directory of the author files, the
//   directory part of the configured prefix (up to its last "/"); an ID
//   table's name starts as the author files' names do after it
//   (prefix corpus/g- : corpus/authtab.dir, corpus/g-tlg0005.idt);
// - case: a table is found whatever the case of its name, since the discs
//   name them AUTHTAB.DIR and TLG0005.IDT and copies vary;
// - duplicates: the first entry of an author in the author table, and the
//   first entry of a work in an ID table, is the one used, as a reader of
//   the table from its top would find it;
// - a missing table names nothing; one that cannot be read (no regular
//   file, too large, not permitted) is told to `report` and not used; of a
//   damaged one, what stands before the damage is used, and the damage is
//   told to `report`. Each table is told of once.
class Catalogue {
 public:
  // Takes a message that names the table: "corpus/authtab.dir: offset 12: ...".
  using FaultReport = std::function<void(const std::string& message)>;

  Catalogue(FileSystem& files, std::string_view prefix, FaultReport report = {});

  // The author table's entry of an author, if it has one.
  const AuthorEntry* entry(int author) const;
  // The ID table's entry of a work, if it has one.
  const IdWork* work(int author, int work);
  // What the tables name of a work, as plain text.
  WorkNames names(int author, int work);

 private:
  // A table's text and its path as it stands in the directory.
  std::optional<std::string> read(const std::string& name, std::string& path) const;
  void report_damage(const std::string& path, const TableFault& fault) const;

  FileSystem& files_;
  std::string directory_;
  std::string name_start_;
  FaultReport report_;
  std::map<std::string, std::string> names_;  // the directory's names, by their lower case
  std::map<int, AuthorEntry> authors_;
  std::map<int, std::map<int, IdWork>> works_;
};

// A work as `scrivel-corpus list` writes it.
struct WorkRecord {
  int author = 0;
  std::string author_name;  // plain text
  ListedWork work;          // its abbreviation in plain text
  std::string title;        // plain text
  std::vector<std::string> levels;  // from the highest down to the line
};

WorkRecord record_of(int author, const ListedWork& work, Catalogue& catalogue);

// An author file as `scrivel-corpus authors` writes it.
struct AuthorRecord {
  int author = 0;
  std::string name;  // plain text, as the synonyms
  std::vector<std::string> synonyms;
  std::string language;
  std::size_t works = 0;
};

AuthorRecord author_record_of(int author, std::size_t works, const Catalogue& catalogue);

}  // namespace scrivel
