#pragma once

#include <optional>

#include "catalogue.h"
#include "output/edition.h"

namespace scrivel {

// What the TEI edition of a work says beyond its text, from the names the
// tables give it; `lines` forces verse or prose.
Edition edition_of(int author, int work, const WorkNames& names, std::optional<LineForm> lines);

}  // namespace scrivel
