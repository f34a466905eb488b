#include "corpus/records.h"

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "input/byte_source.h"

namespace scrivel::corpus {

std::string joined(const std::vector<std::string>& parts, std::string_view separator) {
  std::string text;
  for (const std::string& part : parts) {
    if (!text.empty()) text += separator;
    text += part;
  }
  return text;
}

void write_json_line(std::ostream& out, const nlohmann::ordered_json& value) {
  out << value.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
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
  write_json_line(out, {{"author", record.author},
                        {"name", record.author_name},
                        {"work", work.work},
                        {"block", work.header / block_size},
                        {"offset", work.header % block_size},
                        {"bytes", work.bytes},
                        {"abbreviation", work.abbreviation},
                        {"title", record.title},
                        {"levels", record.levels}});
}

const char* const authors_header = "author\tname\tsynonyms\tlanguage\tworks\n";

void write_tsv(std::ostream& out, const AuthorRecord& record) {
  out << record.author << '\t' << record.name << '\t' << joined(record.synonyms, "; ") << '\t' << record.language
      << '\t' << record.works << '\n';
}

void write_json(std::ostream& out, const AuthorRecord& record) {
  write_json_line(out, {{"author", record.author},
                        {"name", record.name},
                        {"synonyms", record.synonyms},
                        {"language", record.language},
                        {"works", record.works}});
}

}  // namespace scrivel::corpus
