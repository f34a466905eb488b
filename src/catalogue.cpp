#include "catalogue.h"

#include <algorithm>
#include <cctype>

#include "decode/plain_text.h"
#include "input/config.h"
#include "output/passage.h"

namespace scrivel {
namespace {

constexpr const char* author_table_name = "authtab.dir";

std::string lower_case(std::string text) {
  for (char& ch : text) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  return text;
}

// A table's name or title opens in Latin type; "$" at its start switches to Greek.
std::string_view language_of_name(std::string_view name) {
  return name.starts_with('$') ? profile::language : profile::table_language;
}

}  // namespace

std::optional<std::string> file_in_any_case(FileSystem& files, const std::string& path) {
  const CorpusPrefix split = split_prefix(path);
  const std::string wanted = lower_case(split.name_start);
  std::vector<std::string> listed = files.names_in(split.directory);
  std::sort(listed.begin(), listed.end());
  const auto found = std::ranges::find_if(listed, [&](const std::string& name) { return lower_case(name) == wanted; });
  if (found == listed.end()) return std::nullopt;
  return split.directory + *found;
}

std::string title_of(const WorkNames& names, int author, int work) {
  return names.title.empty() ? text_group_name(author) + "." + work_name(work) : names.title;
}

std::string author_name_of(const WorkNames& names, int author) {
  return names.author.empty() ? text_group_name(author) : names.author;
}

Catalogue::Catalogue(FileSystem& files, std::string_view prefix, FaultReport report)
    : files_(files), report_(std::move(report)) {
  CorpusPrefix split = split_prefix(prefix);
  directory_ = std::move(split.directory);
  name_start_ = std::move(split.name_start);
  // Of names that differ only in case, the one in lower case is taken,
  // else the first in byte order, so that the choice is the same on every
  // system whatever order its directories list in.
  std::vector<std::string> listed = files_.names_in(directory_);
  std::sort(listed.begin(), listed.end());
  for (std::string& name : listed) {
    std::string lower = lower_case(name);
    if (lower == name) {
      names_.insert_or_assign(std::move(lower), std::move(name));
    } else {
      names_.emplace(std::move(lower), std::move(name));
    }
  }
  std::string path;
  const std::optional<std::string> table = read(author_table_name, path);
  if (!table) return;
  AuthorTable authors = read_author_table(*table);
  if (authors.fault) report_damage(path, *authors.fault);
  for (AuthorEntry& author : authors.entries)
    if (const std::optional<int> number = author_number_of(author.file_name))
      authors_.emplace(*number, std::move(author));
}

std::optional<std::string> Catalogue::read(const std::string& name, std::string& path) const {
  const auto found = names_.find(lower_case(name));
  if (found == names_.end()) return std::nullopt;
  path = directory_ + found->second;
  FileText read = files_.read_text(path);
  if (!read.why.empty() && report_)
    report_("cannot read the table " + path + " (" + read.why + "); going on without it");
  return std::move(read.text);
}

void Catalogue::report_damage(const std::string& path, const TableFault& fault) const {
  if (report_) report_(path + ": offset " + std::to_string(fault.offset) + ": " + fault.what);
}

const AuthorEntry* Catalogue::entry(int author) const {
  const auto found = authors_.find(author);
  return found == authors_.end() ? nullptr : &found->second;
}

const IdWork* Catalogue::work(int author, int work) {
  auto known = works_.find(author);
  if (known == works_.end()) {
    std::map<int, IdWork>& works = works_[author];
    std::string path;
    if (const std::optional<std::string> table = read(name_start_ + id_table_file_name(author), path)) {
      IdTable ids = read_id_table(*table);
      if (ids.fault) report_damage(path, *ids.fault);
      for (IdWork& listed : ids.works) works.emplace(listed.number, std::move(listed));
    }
    known = works_.find(author);
  }
  const auto found = known->second.find(work);
  return found == known->second.end() ? nullptr : &found->second;
}

WorkNames Catalogue::names(int author, int work) {
  WorkNames names;
  if (const AuthorEntry* listed = entry(author)) {
    names.author = plain_text_of_name(listed->name);
    names.author_language = language_of_name(listed->name);
  }
  const IdWork* named = this->work(author, work);
  if (!named) return names;
  names.title = plain_text_of_name(named->title);
  names.title_language = language_of_name(named->title);
  for (int level = 0; level < level_count; ++level)
    if (!named->level_names[level].empty()) names.levels[level] = plain_text_of_name(named->level_names[level]);
  return names;
}

WorkRecord record_of(int author, const ListedWork& work, Catalogue& catalogue) {
  WorkRecord record{author, "", work, "", {}};
  if (const AuthorEntry* entry = catalogue.entry(author)) record.author_name = plain_text_of_name(entry->name);
  record.work.abbreviation = plain_text_of_name(work.abbreviation);
  if (const IdWork* named = catalogue.work(author, work.work)) {
    record.title = plain_text_of_name(named->title);
    for (const std::string& name : named->level_names)
      if (!name.empty()) record.levels.push_back(plain_text_of_name(name));
  }
  return record;
}

AuthorRecord author_record_of(int author, std::size_t works, const Catalogue& catalogue) {
  AuthorRecord record{author, "", {}, "", works};
  const AuthorEntry* entry = catalogue.entry(author);
  if (!entry) return record;
  record.name = plain_text_of_name(entry->name);
  for (const std::string& synonym : entry->synonyms) record.synonyms.push_back(plain_text_of_name(synonym));
  record.language = plain_text_of_name(entry->language);
  return record;
}

}  // namespace scrivel
