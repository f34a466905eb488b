#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "catalogue.h"
#include "corpus/batch.h"
#include "corpus/corpus.h"

// The search index: an SQLite database of the corpus's authors, works and
// lines, with a full-text index of every line's words in folded form.
//
//   meta(key, value)          what built it and when: 'scrivel' (the version), 'built'
//   authors(author, name, synonyms)
//   works(author, work, urn, abbreviation, title, levels, lines)
//   lines(id, passage, citation, text)
//   words(folded)             FTS5, contentless: each line's folded words
//
// A line's id is its place in the corpus, which the full-text index's rows
// share: author << 42 | work << 32 | the line's number in its work, so that
// the order of ids is the order of author, work and line, and an author's
// or a work's lines are one range of ids. passage and citation are the tsv
// records' (the URN is the work's URN, ':' and the passage), text the
// line's NFC text. Authors, works and levels are plain text; levels and
// synonyms are joined by '.' and '; ' as scrivel-corpus list writes them.
// The database's user_version is the index's format, its application_id
// says it is scrivel's.

namespace scrivel::search {

inline constexpr int index_format = 1;
inline constexpr std::int32_t index_application_id = 0x53435256;  // "SCRV"

constexpr std::int64_t line_id(int author, int work, std::uint32_t line) {
  return static_cast<std::int64_t>(author) << 42 | static_cast<std::int64_t>(work) << 32 | line;
}
constexpr std::int64_t first_id_of_author(int author) { return line_id(author, 0, 0); }
constexpr std::int64_t first_id_of_work(int author, int work) { return line_id(author, work, 0); }
constexpr int author_of_id(std::int64_t id) { return static_cast<int>(id >> 42); }
constexpr int work_of_id(std::int64_t id) { return static_cast<int>(id >> 32 & 0x3FF); }

// One work to index, with what the tables say of it.
struct IndexWork {
  corpus::Job job;
  WorkRecord record;
};

struct IndexRequest {
  std::filesystem::path database;
  // The authors whose rows the build writes, and their works in corpus
  // order. Every other author's rows of an existing database stay as they
  // are, unless `whole` asks for a database of these authors alone.
  std::vector<AuthorRecord> authors;
  std::vector<IndexWork> works;
  bool whole = false;
  int jobs = 1;
};

// Builds the index into a temporary file beside the database, which
// replaces the database only once it is complete: a build stopped at any
// moment leaves the earlier database as it was. Names on the console's
// standard error each work that failed. Returns the exit status: 0, 1
// where a work failed or the database could not be written, 128 + the
// signal that stopped it.
int build_index(const IndexRequest& request, corpus::Console& console);

}  // namespace scrivel::search
