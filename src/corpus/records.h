#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "input/author_table.h"
#include "input/id_table.h"
#include "input/work_list.h"

namespace scrivel::corpus {

// What the corpus says of its authors and works besides the author files:
// the names in its author table (authtab.dir) and the titles and level
// names in the ID table beside each author file (tlgNNNN.idt). The files'
// names may be in any case. A missing table is normal and says nothing; a
// damaged one is named once on `err`, with the offset and what is wrong, and
// what could be read before it is used.
class Catalogue {
 public:
  // `prefix` is what stands before an author file's name in the directory.
  Catalogue(const std::filesystem::path& directory, std::string prefix, std::ostream& err);

  // The author table's entry of an author, if it has one.
  const AuthorEntry* entry(int author) const;
  // The works that an author's ID table names, by number; read at the first asking.
  const std::map<int, IdWork>& works_of(int author);

 private:
  std::optional<std::string> read(const std::string& name) const;
  void warn(const std::filesystem::path& file, const TableFault& fault) const;

  std::filesystem::path directory_;
  std::string prefix_;
  std::ostream& err_;
  std::map<std::string, std::filesystem::path> files_;  // by name in lower case
  std::map<int, AuthorEntry> authors_;
  std::map<int, std::map<int, IdWork>> works_;
};

// A work as `list` writes it.
struct WorkRecord {
  int author = 0;
  std::string author_name;  // plain text
  ListedWork work;          // its abbreviation in plain text
  std::string title;        // plain text
  std::vector<std::string> levels;  // from the highest down to the line
};

WorkRecord record_of(int author, const ListedWork& work, Catalogue& catalogue);

// One tab-separated line under list_header, or one line of JSON.
extern const char* const list_header;
void write_tsv(std::ostream& out, const WorkRecord& record);
void write_json(std::ostream& out, const WorkRecord& record);

// An author file as `authors` writes it.
struct AuthorRecord {
  int author = 0;
  std::string name;  // plain text, as the synonyms
  std::vector<std::string> synonyms;
  std::string language;
  std::size_t works = 0;
};

AuthorRecord author_record_of(int author, std::size_t works, const Catalogue& catalogue);

extern const char* const authors_header;
void write_tsv(std::ostream& out, const AuthorRecord& record);
void write_json(std::ostream& out, const AuthorRecord& record);

}  // namespace scrivel::corpus
