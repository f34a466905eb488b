#pragma once

#include <array>
#include <string>
#include <vector>

#include "output/citation.h"

namespace scrivel {

// How a TEI edition holds its lines: each line an <l> element, or each the
// stretch after an <lb/> milestone in a paragraph.
enum class LineForm { verse, prose };

// What a TEI edition says of its work beyond the text: the names of the
// work and its author, the author file it comes from, and the citation
// scheme, that is the levels above the line that it divides the text by
// (the highest first) and the unit name of every level.
struct Edition {
  std::string title;
  std::string author_name;
  std::string file_name;
  std::vector<Level> divisions;
  std::array<std::string, level_count> units;
  LineForm lines = LineForm::verse;
};

}  // namespace scrivel
