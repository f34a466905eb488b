#include "edition.h"

#include "decode/plain_text.h"
#include "input/config.h"
#include "output/passage.h"

namespace scrivel {
namespace {

// A level's unit in the citation scheme: a token that XML allows in an
// attribute of names, made of ASCII letters, digits, "-" and "_", every
// other run of characters one "_".
std::string unit_name(const std::string& name, Level level) {
  std::string unit;
  for (const char ch : name) {
    const bool kept = (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9') || ch == '-';
    if (kept) {
      unit += ch;
    } else if (!unit.empty() && unit.back() != '_') {
      unit += '_';
    }
  }
  while (!unit.empty() && unit.back() == '_') unit.pop_back();
  if (!unit.empty()) return unit;
  constexpr std::array<const char*, level_count> letters = {"x", "y", "z", "line"};
  return letters[static_cast<int>(level)];
}

std::string table_name(std::string name, bool upper) {
  if (upper)
    for (char& ch : name) ch = static_cast<char>(ch >= 'a' && ch <= 'z' ? ch - 'a' + 'A' : ch);
  return name;
}

// A table of the corpus, its name in lower case or in upper case.
std::optional<std::string> read_table(FileSystem& files, const std::string& directory, const std::string& name) {
  for (const bool upper : {false, true})
    if (std::optional<std::string> table = files.read_text(directory + table_name(name, upper))) return table;
  return std::nullopt;
}

}  // namespace

WorkNames names_of(const AuthorEntry* author, const IdWork* work) {
  WorkNames names;
  if (author) names.author = plain_text_of_name(author->name);
  if (!work) return names;
  names.title = plain_text_of_name(work->title);
  for (int level = 0; level < level_count; ++level)
    if (!work->level_names[level].empty()) names.levels[level] = plain_text_of_name(work->level_names[level]);
  return names;
}

WorkNames names_in_corpus(FileSystem& files, const std::string& directory, int author, int work) {
  std::optional<AuthorEntry> entry;
  if (const std::optional<std::string> table = read_table(files, directory, "authtab.dir")) {
    for (AuthorEntry& listed : read_author_table(*table).entries)
      if (author_number_of(listed.file_name) == author) entry = std::move(listed);
  }
  IdTable ids;
  if (const std::optional<std::string> table = read_table(files, directory, id_table_file_name(author)))
    ids = read_id_table(*table);
  const IdWork* named = nullptr;
  for (const IdWork& listed : ids.works)
    if (listed.number == work) named = &listed;
  return names_of(entry ? &*entry : nullptr, named);
}

std::string title_of(const WorkNames& names, int author, int work) {
  return names.title.empty() ? text_group_name(author) + "." + work_name(work) : names.title;
}

std::string author_name_of(const WorkNames& names, int author) {
  return names.author.empty() ? text_group_name(author) : names.author;
}

Edition edition_of(int author, int work, const WorkNames& names, std::optional<LineForm> lines) {
  Edition edition;
  edition.title = title_of(names, author, work);
  edition.author_name = author_name_of(names, author);
  edition.file_name = author_file_name(author);
  for (int level = 0; level < level_count; ++level) {
    edition.units[level] = unit_name(names.levels[level], static_cast<Level>(level));
    if (level < 3) edition.named_levels[level] = !names.levels[level].empty();
  }
  edition.lines = lines;
  return edition;
}

}  // namespace scrivel
