#include "corpus/catalogue.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <sstream>

#include "input/byte_source.h"
#include "input/config.h"
#include "scrivel.h"

namespace scrivel::corpus {
namespace {

namespace fs = std::filesystem;

constexpr const char* author_table_name = "authtab.dir";

std::string lower_case(std::string text) {
  for (char& ch : text) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  return text;
}

// The names of a work's levels from the highest down to the line: the ones the table gives.
std::vector<std::string> levels_of(const IdWork& work) {
  std::vector<std::string> levels;
  for (const std::string& name : work.level_names)
    if (!name.empty()) levels.push_back(plain_text_of_name(name));
  return levels;
}

std::string joined(const std::vector<std::string>& parts, const char* separator) {
  std::string text;
  for (const std::string& part : parts) text += (text.empty() ? "" : separator) + part;
  return text;
}

// A JSON line; a text that is no UTF-8 (none should be) is mended, not thrown.
void write_line(std::ostream& out, const nlohmann::ordered_json& record) {
  out << record.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
}

}  // namespace

Catalogue::Catalogue(const fs::path& directory, std::string prefix, std::ostream& err)
    : directory_(directory), prefix_(std::move(prefix)), err_(err) {
  std::error_code error;
  for (fs::directory_iterator entry(directory_, error), end; !error && entry != end; entry.increment(error))
    files_.emplace(lower_case(entry->path().filename().string()), entry->path());
  const std::optional<std::string> table = read(author_table_name);
  if (!table) return;
  AuthorTable authors = read_author_table(*table);
  if (authors.fault) warn(files_.at(author_table_name), *authors.fault);
  for (AuthorEntry& author : authors.entries)
    if (const std::optional<int> number = author_number_of(author.file_name)) authors_.emplace(*number, std::move(author));
}

std::optional<std::string> Catalogue::read(const std::string& name) const {
  const auto found = files_.find(lower_case(name));
  if (found == files_.end()) return std::nullopt;
  std::ifstream file(found->second, std::ios::binary);
  if (!file) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(file), {});
}

void Catalogue::warn(const fs::path& file, const TableFault& fault) const {
  err_ << "scrivel-corpus: " << file.string() << ": offset " << fault.offset << ": " << fault.what << "\n";
}

const AuthorEntry* Catalogue::entry(int author) const {
  const auto found = authors_.find(author);
  return found == authors_.end() ? nullptr : &found->second;
}

const std::map<int, IdWork>& Catalogue::works_of(int author) {
  const auto known = works_.find(author);
  if (known != works_.end()) return known->second;
  std::map<int, IdWork>& works = works_[author];
  const std::string name = prefix_ + id_table_file_name(author);
  if (const std::optional<std::string> table = read(name)) {
    IdTable read_table = read_id_table(*table);
    if (read_table.fault) warn(files_.at(lower_case(name)), *read_table.fault);
    for (IdWork& work : read_table.works) works.emplace(work.number, std::move(work));
  }
  return works;
}

WorkRecord record_of(int author, const ListedWork& work, Catalogue& catalogue) {
  WorkRecord record{author, "", work, "", {}};
  if (const AuthorEntry* entry = catalogue.entry(author)) record.author_name = plain_text_of_name(entry->name);
  record.work.abbreviation = plain_text_of_name(work.abbreviation);
  const std::map<int, IdWork>& works = catalogue.works_of(author);
  if (const auto named = works.find(work.work); named != works.end()) {
    record.title = plain_text_of_name(named->second.title);
    record.levels = levels_of(named->second);
  }
  return record;
}

const char* const list_header = "author\twork\tblock\toffset\tbytes\tabbreviation\ttitle\tlevels\n";

void write_tsv(std::ostream& out, const WorkRecord& record) {
  const ListedWork& work = record.work;
  out << record.author << '\t' << work.work << '\t' << work.header / block_size << '\t' << work.header % block_size
      << '\t' << work.bytes << '\t' << work.abbreviation << '\t' << record.title << '\t' << joined(record.levels, ".")
      << '\n';
}

void write_json(std::ostream& out, const WorkRecord& record) {
  const ListedWork& work = record.work;
  write_line(out, {{"author", record.author},
                   {"name", record.author_name},
                   {"work", work.work},
                   {"block", work.header / block_size},
                   {"offset", work.header % block_size},
                   {"bytes", work.bytes},
                   {"abbreviation", work.abbreviation},
                   {"title", record.title},
                   {"levels", record.levels}});
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

const char* const authors_header = "author\tname\tsynonyms\tlanguage\tworks\n";

void write_tsv(std::ostream& out, const AuthorRecord& record) {
  out << record.author << '\t' << record.name << '\t' << joined(record.synonyms, "; ") << '\t' << record.language
      << '\t' << record.works << '\n';
}

void write_json(std::ostream& out, const AuthorRecord& record) {
  write_line(out, {{"author", record.author},
                   {"name", record.name},
                   {"synonyms", record.synonyms},
                   {"language", record.language},
                   {"works", record.works}});
}

}  // namespace scrivel::corpus
