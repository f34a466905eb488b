#include "corpus/records.h"

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "input/byte_source.h"

namespace scrivel::corpus {
namespace {

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
