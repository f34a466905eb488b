#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace scrivel {

// A work as the work search finds it: where its header stands in the author
// file, and how far its data reach (to the header of the work after it, to
// the end code F0 FE, or to the end of the file).
struct ListedWork {
  int work = 0;
  std::uint64_t header = 0;  // file offset
  std::uint64_t bytes = 0;
  std::string abbreviation;  // as the work's start carries it (EF 82, a string, FF); Beta Code as stored
};

struct WorkList {
  std::vector<ListedWork> works;  // in the order of their headers
  std::string errors;  // the search's Errors 001 and 002, where it stopped on a damaged block
  // The offsets of the headers left out because their digits are not all
  // digits: EF 81 B0 B0 AF would make work -1, B9 B9 BA work 1000, numbers
  // that no work has and that no one can ask for.
  std::vector<std::uint64_t> damaged_headers;
};

// Every work that `scrivel <author> <work>` finds in `author_file`, and no
// other. The search itself decides, asked for every number that a header in
// the file carries, since those are the only numbers it can find.
WorkList list_works(std::string_view author_file);

}  // namespace scrivel
