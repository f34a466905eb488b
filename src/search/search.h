#pragma once

#include <cstddef>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "corpus/options.h"
#include "search/searcher.h"

namespace scrivel::search {

// What `scrivel-corpus search` asks of the index.
struct SearchRequest {
  std::filesystem::path database;
  std::string query;
  bool exact = false;   // accents and breathings as typed
  bool count = false;   // hits per work and the total, not the hits
  bool json = false;    // JSON lines
  bool colour = false;  // the matches marked in colour, for a terminal
  std::optional<std::size_t> limit;
  std::vector<corpus::Target> within;  // authors and works; none: the whole index
};

// Writes the lines that the query matches, in corpus order, onto `out`:
// "Author, Title passage", a tab and the line; or JSON lines; or the
// count of hits per work. Returns the exit status: 0 (hits or none), 1
// where the index is missing, damaged or of another version, 2 for a query
// that is no query, each with one line on `err`.
int search(const SearchRequest& request, std::ostream& out, std::ostream& err);

// A hit as a JSON object: urn, author, name, work, title, citation, text,
// and matches, the start and end of each in characters of the text. And a
// work's count: urn, author, name, work, title, hits.
nlohmann::ordered_json hit_json(const Hit& hit);
nlohmann::ordered_json count_json(const WorkCount& count);

}  // namespace scrivel::search
