#pragma once

#include <array>
#include <optional>
#include <string>

#include "output/citation.h"

namespace scrivel {

// How a TEI edition holds its lines: each line an <l> element, or each a
// <seg type="line"> of a paragraph, opening with an <lb/>.
enum class LineForm { verse, prose };

// What the caller chooses of a TEI edition: verse or prose whatever the
// work's levels, and a citeStructure tree beside the CTS reference patterns
// (DTS reads it; EpiDoc 8, which the CTS collections validate against,
// does not allow it).
struct TeiChoices {
  std::optional<LineForm> lines;
  bool cite_structure = false;
};

// What a TEI edition says of its work beyond the text: the names of the
// work and its author, the author file it comes from, the unit name of
// every level, and the caller's choices. The edition divides the text
// by the levels above the line that the work's first citation gives a value
// (a level that the tables name but the text does not set would make
// passages that no record names); a work with at most one of them is verse,
// unless the choices say otherwise.
struct Edition {
  std::string title;
  std::string author_name;
  bool greek_title = false;   // tagged as Greek, where the tables' text opens in Greek
  bool greek_author = false;
  std::string file_name;
  std::array<std::string, level_count> units;
  TeiChoices choices;
};

}  // namespace scrivel
